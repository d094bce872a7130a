// What only the engine on a server has: table names, transactions spanning
// files, and the server failing.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "platform/os/os.h"
#include "tests/recman/other_process.h"
#include "tests/recman/recman_test_util.h"

using namespace recmantest;
using namespace recman;

namespace {

class RecmanServer : public EngineTest {
 protected:
  const std::string spec = Spec(8, {{{1, 4, 0}}});
};

TEST_P(RecmanServer, TablesAreNamedAfterThePathBelowTheDataRoot) {
  const std::string own = "Own/";
  UseServer(TestServer(), dir.path + "one");
  ASSERT_EQ(Create(dir.path + "one/" + own + "DADES\\VPropiet", spec), 0);
  EXPECT_EQ(Create(dir.path + "one/" + own + "dades/vpropiet.DAT", spec), kStatusFileExists);  // the same table
  File f;
  ASSERT_EQ(Open(f, dir.path + "one/" + own + "DADES/VPropiet.dat"), 0);
  ASSERT_EQ(Insert(f, Record(8, "AAAA")), 0);
  // Another machine mounts the data folder elsewhere: the same tables.
  UseServer(TestServer(), dir.path + "two/");
  File g;
  ASSERT_EQ(Open(g, dir.path + "two/" + own + "DADES/VPropiet"), 0);
  EXPECT_EQ(Walk(g), "AAAA ");
  EXPECT_EQ(Open(g, dir.path + "two/" + own + "DADES/VPropiet.btr"), kStatusFileNotFound);  // another extension
  EXPECT_EQ(Create(dir.path + "two/", spec), kStatusBadFileName);
  // Names beyond the server's 63 bytes stay apart.
  const std::string deep = dir.path + "two/" + own + std::string(70, 'x') + "/";
  ASSERT_EQ(Create(deep + "a", spec), 0);
  ASSERT_EQ(Create(deep + "b", spec), 0);
  ASSERT_EQ(Open(f, deep + "a"), 0);
  ASSERT_EQ(Insert(f, Record(8, "BBBB")), 0);
  ASSERT_EQ(Open(g, deep + "b"), 0);
  EXPECT_EQ(Walk(g), "");
}

TEST_P(RecmanServer, TransactionsOfOneProcessCommitTogether) {
  ASSERT_EQ(Create(Path("a"), spec), 0);
  ASSERT_EQ(Create(Path("b"), spec), 0);
  File a, b, watchA, watchB;
  for (auto [f, name] : {std::pair{&a, "a"}, {&b, "b"}, {&watchA, "a"}, {&watchB, "b"}}) ASSERT_EQ(Open(*f, Path(name)), 0);
  ASSERT_EQ(Write(a, kOpBeginTransaction, ""), 0);
  ASSERT_EQ(Write(b, kOpBeginTransaction, ""), 0);
  ASSERT_EQ(Insert(a, Record(8, "AAAA")), 0);
  ASSERT_EQ(Insert(b, Record(8, "BBBB")), 0);
  ASSERT_EQ(Write(a, kOpEndTransaction, ""), 0);
  EXPECT_EQ(Walk(watchA), "");  // committed with the last one
  ASSERT_EQ(Write(b, kOpEndTransaction, ""), 0);
  EXPECT_EQ(Walk(watchA), "AAAA ");
  EXPECT_EQ(Walk(watchB), "BBBB ");
  // An abort of one rolls back both.
  ASSERT_EQ(Write(a, kOpBeginTransaction, ""), 0);
  ASSERT_EQ(Write(b, kOpBeginTransaction, ""), 0);
  ASSERT_EQ(Insert(a, Record(8, "CCCC")), 0);
  ASSERT_EQ(Insert(b, Record(8, "DDDD")), 0);
  ASSERT_EQ(Write(b, kOpAbortTransaction, ""), 0);
  EXPECT_EQ(Write(a, kOpEndTransaction, ""), kStatusNoTransaction);
  EXPECT_EQ(Walk(watchA), "AAAA ");
  EXPECT_EQ(Walk(watchB), "BBBB ");
}

TEST_P(RecmanServer, StatCountsOthersChangesWithinASecond) {
  ASSERT_EQ(Create(Path("s"), Spec(16, {{{1, 4, 0}}})), 0);
  File f;
  ASSERT_EQ(Open(f, Path("s")), 0);
  ASSERT_EQ(Insert(f, Record(16, "AAAA")), 0);
  EXPECT_EQ(Get32(Read(f, kOpStat, 0).data, 6), 1u);  // our own insert: at once
  Other other;
  ASSERT_EQ(other.Ask("use " + TestServer()), 0);
  ASSERT_EQ(other.Ask("open " + Path("s")), 0);
  ASSERT_EQ(other.Ask("insert BBBB"), 0);
  std::uint32_t count = 0;
  for (int i = 0; i < 60 && count != 2; ++i) {
    if (i > 0) os::SleepMs(50);
    count = Get32(Read(f, kOpStat, 0).data, 6);
  }
  EXPECT_EQ(count, 2u);
}

TEST_P(RecmanServer, ALostConnectionFailsItsFilesAndNamesTheServer) {
  const std::string name = "kovadrop" + std::to_string(getpid());
  UseServer(TestServer() + " application_name=" + name, "");
  ASSERT_EQ(Create(Path("c"), spec), 0);
  File f;
  ASSERT_EQ(Open(f, Path("c")), 0);
  ASSERT_EQ(Insert(f, Record(8, "AAAA")), 0);
  const std::string kill = "psql \"" + TestServer() + "\" -qAtc \"SELECT pg_terminate_backend(pid) FROM pg_stat_activity"
                           " WHERE application_name = '" + name + "'\" >/dev/null";
  ASSERT_EQ(std::system(kill.c_str()), 0);
  EXPECT_EQ(Read(f, kOpGetFirst, 0).status, kStatusIoError);
  EXPECT_NE(ServerProblem().find("connection lost"), std::string::npos) << ServerProblem();
  EXPECT_NE(ServerProblem().find("dbname="), std::string::npos) << ServerProblem();
  EXPECT_EQ(Read(f, kOpGetFirst, 0).status, kStatusIoError);  // its lock and position are gone
  File g;
  ASSERT_EQ(Open(g, Path("c")), 0);  // a new connection for new files
  EXPECT_EQ(Walk(g), "AAAA ");
}

TEST_P(RecmanServer, ALoginRefusedNamesTheServer) {
  UseServer(TestServer() + " user=nosuchrole password=s3cret", "");
  File f;
  EXPECT_EQ(Open(f, Path("c")), kStatusIoError);
  EXPECT_EQ(Create(Path("c"), spec), kStatusIoError);
  EXPECT_NE(ServerProblem().find("nosuchrole"), std::string::npos) << ServerProblem();
  EXPECT_NE(ServerProblem().find("dbname="), std::string::npos) << ServerProblem();
  EXPECT_EQ(ServerProblem().find("s3cret"), std::string::npos) << ServerProblem();
}

INSTANTIATE_TEST_SUITE_P(Engines, RecmanServer, ::testing::Values(Engine::kServer), EngineName);

// Needs no server at all: nothing listens on port 1.
TEST(RecmanNoServer, AnUnreachableServerGivesIoErrorAndItsName) {
  testsupport::TempDir dir;
  UseServer("host=127.0.0.1 port=1 dbname=office password=s3cret connect_timeout=5", dir.path);
  File f;
  EXPECT_EQ(Open(f, dir.path + "DADES/VPropiet"), kStatusIoError);
  const std::string problem = ServerProblem();
  EXPECT_NE(problem.find("host=127.0.0.1 port=1 dbname=office"), std::string::npos) << problem;
  EXPECT_EQ(problem.find("s3cret"), std::string::npos) << problem;
  EXPECT_FALSE(LockFileExclusive(dir.path + "DADES/VPropiet"));
  UseServer("", "");
  EXPECT_EQ(ServerProblem(), "");
  EXPECT_EQ(Open(f, dir.path + "DADES/VPropiet"), kStatusFileNotFound);  // the files again
}

}  // namespace
