// A filing run of kap run303 once per n with its n-th write, rename or
// directory creation refused (a full disk, a refused permission), until a
// run no longer reaches the n-th call: the failure is on standard error with
// a failing exit code (or it was overcome: nothing said, the clean result),
// every territory's count of files written is true, no earlier output is
// lost or cut, and the next run gives the clean result. A print spool that
// cannot be written is said and not printed (exit code 1); the filing files
// are written all the same. Under the sanitizers (slow) only every third n is tried.
#include <string>

#include "tests/tools/filing_run.h"

namespace filingrun {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kStride = 3;
#else
constexpr int kStride = 1;
#endif
constexpr int kMaxRuns = 2000;  // far more calls than the run makes

// The name a message gives for the refused call's file: a temporary file
// ("~P0003.tmp", "Kova.ini.123.456.tmp") stands for the file it replaces.
std::string NamedFile(const std::string& where) {
  std::string base = where.substr(where.rfind('/') + 1);
  if (!base.empty() && base[0] == '~') base.erase(0, 1);
  if (base.size() <= 4 || base.compare(base.size() - 4, 4, ".tmp") != 0) return base;
  base.resize(base.size() - 4);
  for (int i = 0; i < 2; ++i) {  // ".PID.RANDOM"
    const std::size_t dot = base.rfind('.');
    if (dot == std::string::npos || dot + 1 == base.size() ||
        base.find_first_not_of("0123456789", dot + 1) != std::string::npos)
      break;
    base.resize(dot);
  }
  return base;
}

class RefusedRun303 : public FilingRunTest {
 protected:
  // Each "INFORME : GENERATS N FITXERS A DIR" line: DIR holds at least N
  // filing files of this run (the clean run's bytes, which differ from the
  // earlier run's in the town).
  void ExpectCountsTrue(const std::string& err, const Files& now, const std::string& trace) {
    const std::string said = "INFORME : GENERATS ";
    for (std::size_t at = err.find(said); at != std::string::npos; at = err.find(said, at + 1)) {
      const std::size_t end = err.find('\n', at);
      const std::string line = err.substr(at, end - at);
      const long count = std::stol(line.substr(said.size()));
      const std::size_t from = line.find(" FITXERS A ") + 11;
      const std::string dir = line.substr(from, line.find(';', from) - from);
      long found = 0;
      for (const auto& [path, bytes] : now)
        if (IsFiling(path) && (Folder(work.path + "run/" + path) == dir || Folder(work.path + "run/" + path) == dir + "/")) {
          const std::string* want = Find(newOut.count(path) ? newOut : firstOut, path);
          if (want && *want == bytes) ++found;
        }
      EXPECT_GE(found, count) << trace << ": " << line;
    }
  }

  // Runs from `from` with the n-th call of `kind` refused, n = 1, 2, ...
  // Returns how many runs met the refusal.
  int RefuseEach(const std::string& kind, const std::string& from, const Files& before, const Files& clean) {
    const std::string run = work.path + "run/";
    int struck = 0;
    for (int n = 1;; n += kStride) {
      EXPECT_LT(n, kMaxRuns) << kind;
      if (n >= kMaxRuns) break;
      EXPECT_TRUE(testsupport::CopyTree(from, run));
      const std::string plan = kind + ":" + std::to_string(n);
      os::DeleteFile(Printed());
      const testsupport::RefusedRun r = Run(run, plan);
      const Files now = Outputs(run);
      if (!r.struck) {
        EXPECT_EQ(r.code, 0) << r.err;
        ExpectClean(now, clean, plan + " (not reached)");
        EXPECT_TRUE(os::FileExists(Printed()));
        break;
      }
      ++struck;
      const std::string trace = plan + " (" + r.where + ")";
      if (r.where.find(tmp + "zediridi.tmp") != std::string::npos) {
        // The print spool: said, and not printed (it may hold an earlier
        // report); the filing files are written all the same, the exit
        // code still tells of the failure.
        EXPECT_EQ(r.code, 1) << trace;
        EXPECT_NE(r.err.find("NO ES POT CREAR EL FITXER D'IMPRESSI"), std::string::npos) << trace << "\n" << r.err;
        EXPECT_FALSE(os::FileExists(Printed())) << trace;
        ExpectClean(now, clean, trace);
        continue;
      }
      if (r.code == 0) {
        // Overcome (a rename tried again): nothing said, the clean result.
        EXPECT_EQ(r.err.find("NO ES POT"), std::string::npos) << trace << ": a failure shown, code 0\n" << r.err;
        ExpectClean(now, clean, trace + ", overcome");
        continue;
      }
      EXPECT_EQ(r.code, 1) << trace << "\n" << r.err;
      EXPECT_NE(r.err.find(NamedFile(r.where)), std::string::npos) << trace << ": not named in\n" << r.err;
      ExpectCountsTrue(r.err, now, trace);
      ExpectWhole(now, before, clean, trace);
      ExpectChecked(run, "20240630", trace, true);

      const testsupport::RefusedRun again = Run(run);
      EXPECT_EQ(again.code, 0) << trace << ", then run again\n" << again.err;
      ExpectClean(Outputs(run), clean, trace + ", then run again");
      if (::testing::Test::HasFailure()) break;  // one failing n tells enough
    }
    EXPECT_GT(struck, 0) << kind << ": no call was ever refused";
    return struck;
  }
};

TEST_F(RefusedRun303, ARerunWithAnyWriteRefusedSaysSoAndLosesNothing) {
  RecordProperty("runs", RefuseEach("write", old, oldOut, newOut));
}

TEST_F(RefusedRun303, ARerunWithAnyRenameRefusedSaysSoAndLosesNothing) {
  RecordProperty("runs", RefuseEach("rename", old, oldOut, newOut));
}

// Only a first run makes the agency folders.
TEST_F(RefusedRun303, AFirstRunWithAnyDirectoryRefusedSaysSoAndLeavesWholeFilesOrNone) {
  RecordProperty("runs", RefuseEach("mkdir", fresh, Files(), firstOut));
}

}  // namespace
}  // namespace filingrun
