// A filing run of kap run303 killed (SIGKILL) just before one of its writes,
// renames or directory creations, at moments spread evenly over the calls
// a whole run makes: every filing file, NRC file and the payment map is
// whole, the earlier one or the new one; each folder's requests go with its
// files both ways, or its journal is left and the next run (one over no
// owner at all) makes them so; a run after that gives exactly what a run
// never killed gives.
#include <cstdio>
#include <string>

#include "tests/tools/filing_run.h"

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

      std::vector<std::string> none = RunArgs(run);
      none.insert(none.end(), {"--from", "9999", "--to", "9999"});
      const testsupport::RefusedRun repair = testsupport::RunRefused(none, "write:0", "", Env());
      EXPECT_EQ(repair.code, 0) << trace << "\n" << repair.err;
      ExpectChecked(run, "20240630", trace + ", then repaired", false);

      const testsupport::RefusedRun again = Run(run);
      EXPECT_EQ(again.code, 0) << trace << "\n" << again.err;
      ExpectClean(Outputs(run), clean, trace + ", then run again");
    }
  }
};

TEST_F(KilledRun, ARerunOfTheQuarterKilledAtAnyMomentLeavesOldOrNewFiles) {
  KillAtMoments(old, oldOut, newOut, kMoments);
}

TEST_F(KilledRun, AFirstRunKilledAtAnyMomentLeavesWholeFilesOrNone) {
  KillAtMoments(fresh, Files(), firstOut, kMoments / 2);
}

}  // namespace
}  // namespace filingrun
