// A filing run of kap run303 killed (SIGKILL) just before one of its writes,
// renames or directory creations, at moments spread evenly over the calls
// a whole run makes: every filing file, NRC file and the payment map is
// whole, the earlier one or the new one; each folder's requests go with its
// files both ways, or its journal is left and the next run (one over no
// owner at all) makes them so; a run after that gives exactly what a run
// never killed gives. The killed run's log entry has no end, and the next
// run's entry names it. Besides: two runs at once, and kap history.
#include <fcntl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>

#include "format/text.h"
#include "tests/records/records_helpers.h"
#include "tests/tools/filing_run.h"
#include "vat303/history.h"
#include "vat303/run_log.h"

namespace filingrun {
namespace {

constexpr int kMoments = 20;

class KilledRun : public FilingRunTest {
 protected:
  // The calls of a clean run from `tree` (copied to `run` first).
  long CallsOfARun(const std::string& tree, const std::string& run) {
    EXPECT_TRUE(testsupport::CopyTree(tree, run));
    const testsupport::RefusedRun r = Run(run, "any:0");
    EXPECT_EQ(r.code, 0) << r.err;
    long write = 0, rename = 0, mkdir = 0;
    EXPECT_EQ(std::sscanf(r.calls.c_str(), "calls write %ld rename %ld mkdir %ld", &write, &rename, &mkdir), 3);
    return write + rename + mkdir;
  }

  // Kills a run from `from` at `moments` calls spread over its length and
  // checks what each leaves against `before` and `clean`.
  void KillAtMoments(const std::string& from, const Files& before, const Files& clean, int moments) {
    const std::string run = work.path + "run/";
    const long calls = CallsOfARun(from, run);
    ASSERT_GT(calls, moments);
    for (int i = 0; i < moments; ++i) {
      const long n = 1 + i * (calls - 1) / (moments - 1);
      ASSERT_TRUE(testsupport::CopyTree(from, run));
      const testsupport::RefusedRun killed = testsupport::RunRefused(RunArgs(run), "any:" + std::to_string(n) + ":KILL", "", Env());
      const std::string trace = "killed before call " + std::to_string(n) + " of " + std::to_string(calls) + " (" +
                                killed.where + ")";
      ASSERT_TRUE(killed.struck) << trace;
      EXPECT_NE(killed.code, 0) << trace;
      ExpectWhole(Outputs(run), before, clean, trace);
      ExpectChecked(run, "20240630", trace, true);
      // The killed run's entry, when it began one, has no end.
      std::vector<std::string> cut;
      if (!vat303::ReadRunLog(run).back().ended) cut.push_back(vat303::ReadRunLog(run).back().id);

      std::vector<std::string> none = RunArgs(run);
      none.insert(none.end(), {"--from", "9999", "--to", "9999"});
      const testsupport::RefusedRun repair = testsupport::RunRefused(none, "write:0", "", Env());
      EXPECT_EQ(repair.code, 0) << trace << "\n" << repair.err;
      ExpectChecked(run, "20240630", trace + ", then repaired", false);
      EXPECT_EQ(vat303::ReadRunLog(run).back().unended, cut) << trace;

      const testsupport::RefusedRun again = Run(run);
      EXPECT_EQ(again.code, 0) << trace << "\n" << again.err;
      ExpectClean(Outputs(run), clean, trace + ", then run again");
      EXPECT_TRUE(vat303::ReadRunLog(run).back().unended.empty()) << trace;
    }
  }
};

TEST_F(KilledRun, ARerunOfTheQuarterKilledAtAnyMomentLeavesOldOrNewFiles) {
  KillAtMoments(old, oldOut, newOut, kMoments);
}

TEST_F(KilledRun, AFirstRunKilledAtAnyMomentLeavesWholeFilesOrNone) {
  KillAtMoments(fresh, Files(), firstOut, kMoments / 2);
}

// Two terminals filing the quarter at once (both held up by the period
// file, which a third holds for a while): each run's entry is two whole
// lines, and neither names the other as a run without end.
TEST_F(FilingRunTest, TwoRunsAtOnceEachLogAWholeEntry) {
  const std::string run = work.path + "run/";
  ASSERT_TRUE(testsupport::CopyTree(old, run));
  recordstest::Child holder = recordstest::StartChild(Kap(), {"lock", run, "VCapPeri", "--file"});
  ASSERT_EQ(recordstest::ReadLine(holder), "locked");
  // The runs must not inherit the holder's input, which ends its hold.
  ::fcntl(holder.toChild, F_SETFD, FD_CLOEXEC);
  std::vector<std::string> second = RunArgs(run);
  second.insert(second.end(), {"--from", "11"});
  testsupport::RefusedRun a, b;
  std::thread one([&] { a = testsupport::RunRefused(RunArgs(run, "GIRONA", "10"), "write:0", "", Env()); });
  std::thread other([&] { b = testsupport::RunRefused(second, "write:0", "", Env()); });
  os::SleepMs(1500);
  EXPECT_EQ(recordstest::FinishChild(holder), 0);
  one.join();
  other.join();
  EXPECT_EQ(a.code, 0) << a.err;
  EXPECT_EQ(b.code, 0) << b.err;
  std::string log;
  ASSERT_TRUE(os::ReadFile(run + "DADES/V303.LOG", log));
  const std::vector<vat303::RunEntry> runs = vat303::ReadRunLog(run);
  ASSERT_EQ(runs.size(), 3u);  // with the earlier run's
  const std::vector<std::string> lines = format::SplitText(log, '\n');
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(std::string() + lines[2][0] + lines[3][0], "BB") << "the two runs did not overlap:\n" << log;
  for (const vat303::RunEntry& r : runs) EXPECT_TRUE(r.ended && r.status == 0 && r.unended.empty()) << r.id;
}

// kap history after a rerun: both runs, an owner's current and kept files,
// a kept file shown as show303 shows it; prune removes the kept versions of
// runs before its day, and nothing else.
TEST_F(FilingRunTest, KapHistoryListsShowsAndPrunesWhatARerunKept) {
  const std::string run = work.path + "run/";
  ASSERT_TRUE(testsupport::CopyTree(old, run));
  ASSERT_EQ(Run(run).code, 0);
  const std::vector<vat303::KeptVersion> kept = vat303::KeptVersions(run, "");
  auto file = std::find_if(kept.begin(), kept.end(), [&](const vat303::KeptVersion& v) {
    return v.file[0] == 'P' && os::FileExists(run + v.agency + "/303M2024.2T/" + v.file);  // replaced
  });
  ASSERT_NE(file, kept.end());
  EXPECT_EQ(file->runId, "20240715-120000-2");
  // An end line cut short (a disk that filled) is passed over.
  os::AppendFile(run + "DADES/V303.LOG", "E|20240715-120000-2|20240715|1||\n");
  const testsupport::RefusedRun listed =
      Plain({Kap(), "history", run, "--date", "20240630", "--owner", file->file.substr(1)});
  EXPECT_EQ(listed.code, 0) << listed.err;
  for (const std::string& said : {std::string("run 20240715-120000 by "), std::string("run 20240715-120000-2 by "),
                                  std::string("12:00:00, exit 0\n"),
                                  file->agency + "/303M2024.2T/" + file->file + "  current  type ",
                                  file->relative + "  until run 20240715-120000-2 ("})
    EXPECT_NE(listed.out.find(said), std::string::npos) << said << " not in\n" << listed.out;
  const testsupport::RefusedRun shown = Plain({Kap(), "history", run, "--show", file->relative});
  EXPECT_EQ(shown.code, 0) << shown.err;
  EXPECT_EQ(shown.out.find(file->path + ": 3767 bytes"), 0u) << shown.out;

  const Files outputs = Outputs(run);
  EXPECT_EQ(Plain({Kap(), "history", run, "--prune", "20240715"}).out.find("removed 0 kept versions"), 0u);
  long long bytes = 0;
  for (const vat303::KeptVersion& v : kept) bytes += os::FileSize(v.path);
  EXPECT_EQ(Plain({Kap(), "history", run, "--prune", "20240716"}).out,
            "removed " + std::to_string(kept.size()) + " kept versions of runs before 16/07/2024, " +
                std::to_string(bytes) + " bytes\n");
  EXPECT_TRUE(vat303::KeptVersions(run, "").empty());
  EXPECT_FALSE(os::DirExists(run + "HISTORIC/303M2024.2T"));
  EXPECT_TRUE(Outputs(run) == outputs);
}

}  // namespace
}  // namespace filingrun
