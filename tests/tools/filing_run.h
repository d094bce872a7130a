// A filing run (kap run303 --mode S) over a small demo office, for the tests
// that crash it or refuse its writes: the office with the outputs of an
// earlier run of the quarter ("old"), the data changed since, what a clean
// run gives over it ("new") and over a tree never filed ("first"), and the
// check that outputs as they lie after a crash or a refusal are whole.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "tests/support/test_support.h"

namespace filingrun {

using Files = std::map<std::string, std::string>;  // relative path -> bytes

constexpr std::size_t kNrcRecord = 258;  // an NRC record with its CR LF

// A temporary file of a writer: "~NAME.tmp" or "NAME.PID.RANDOM.tmp".
inline bool IsTemporary(const std::string& path) {
  const std::string base = path.substr(path.rfind('/') + 1);
  return base[0] == '~' || (base.size() > 4 && base.compare(base.size() - 4, 4, ".tmp") == 0);
}

inline void Collect(const std::string& root, const std::string& relative, Files& out) {
  std::vector<os::DirEntry> entries;
  if (!os::ListDir(root + relative, entries)) return;
  for (const os::DirEntry& e : entries) {
    if (e.isDir) Collect(root, relative + e.name + "/", out);
    else if (e.name.size() < 4 || e.name.compare(e.name.size() - 4, 4, ".lck") != 0)
      os::ReadFile(root + relative + e.name, out[relative + e.name]);
  }
}

// Every file under the agency folders, the payment map and any temporary
// file beside it.
inline Files Outputs(const std::string& tree) {
  Files out;
  for (const char* agency : {"ATC", "AEAT", "DFA", "DFG", "DFB", "DFN", "ATIC", "ATA", "ATF"})
    Collect(tree, std::string(agency) + "/", out);
  std::vector<os::DirEntry> entries;
  os::ListDir(tree + "DADES/", entries);
  for (const os::DirEntry& e : entries)
    if (e.name.find("V303.MAP") != std::string::npos && e.name.find(".lck") == std::string::npos)
      os::ReadFile(tree + "DADES/" + e.name, out["DADES/" + e.name]);
  return out;
}

inline std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }
inline std::string Base(const std::string& path) { return path.substr(path.rfind('/') + 1); }
inline bool IsFiling(const std::string& path) { return Base(path).size() == 5 && Base(path)[0] == 'P'; }
inline bool IsNrc(const std::string& path) { return Base(path) == "NRC_BANC.SOL"; }
inline bool IsJournal(const std::string& path) { return Base(path) == "V303.JNL"; }
inline std::string DetailTaxId(const std::string& nrc, std::size_t at) { return nrc.substr(at + 18, 9); }
// A detail without its sequence number.
inline std::string DetailBody(const std::string& nrc, std::size_t at) {
  return nrc.substr(at, 2) + nrc.substr(at + 7, kNrcRecord - 7);
}
inline long Number(const std::string& s, std::size_t at, std::size_t width) {
  return std::stol(s.substr(at, width));
}

inline const std::string* Find(const Files& files, const std::string& path) {
  auto at = files.find(path);
  return at == files.end() ? nullptr : &at->second;
}

// The details of an NRC file by tax identifier.
inline std::map<std::string, std::string> Details(const std::string* nrc) {
  std::map<std::string, std::string> out;
  if (nrc == nullptr) return out;
  for (std::size_t at = kNrcRecord; at + kNrcRecord < nrc->size(); at += kNrcRecord)
    out[DetailTaxId(*nrc, at)] = DetailBody(*nrc, at);
  return out;
}

// kap check303 over the quarter of `date` in `tree`: every filing file by
// the filing rules, and every folder's requests and map bytes against its
// filing files both ways. With `skipJournaled` a folder where a pass left
// its journal may fail (the next run repairs it), and a run stopped early
// may have left no folder; nothing else may fail.
inline void ExpectChecked(const std::string& tree, const std::string& date, const std::string& trace,
                          bool skipJournaled) {
  const std::string out = testsupport::CommandOutput(testsupport::ShellQuote(testsupport::BinDir() + "kap") +
                                                     " check303 " + testsupport::ShellQuote(tree) + " --date " + date +
                                                     " 2>&1; echo \"exit $?\"");
  std::istringstream lines(out);
  int code = -1, folders = 0;
  bool skipped = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("exit ", 0) == 0) code = std::stoi(line.substr(5));
    else if (line.size() > 7 && line.compare(line.size() - 7, 7, " faults") == 0) ++folders;
    else if (line.rfind("kap: check303: ", 0) == 0 && line.find(" fault(s) in ") != std::string::npos) continue;
    // A run stopped before its first pass leaves no folder.
    else if (skipJournaled && line.rfind("kap: check303: no agency folder ", 0) == 0) skipped = true;
    else {
      // A fault: "AGENCY/303M....T[/FILE]: rule ...".
      const std::string folder = line.substr(0, line.find_first_of("/:", line.find('/') + 1));
      const bool journaled = skipJournaled && os::FileExists(tree + folder + "/V303.JNL");
      skipped = skipped || journaled;
      if (!journaled) ADD_FAILURE() << trace << ": " << line;
    }
  }
  EXPECT_TRUE(folders > 0 || skipped) << trace << ": no folder checked\n" << out;
  EXPECT_TRUE(code == 0 || (code == 1 && skipped)) << trace << ": exit " << code;
}
// Outputs as a crash or a refused write left them, against the outputs
// before the run (`before`) and after a clean run (`after`):
// - a filing file is the one before or the one after, or absent where one
//   of them has none; no other file lies in the folders but temporary ones;
// - the payment map is whole, each owner's byte the one before or after
//   (a map made anew starts blank);
// - an NRC file is whole: a header (the one before or after), details
//   numbered 1.., a trailer that counts them and their amounts; every
//   request is the one before or after (ExpectChecked checks that they go
//   with the filing files beside them);
// - nothing there before is gone unless a clean run takes it away too.
inline void ExpectWhole(const Files& now, const Files& before, const Files& after, const std::string& trace) {
  for (const auto& [path, bytes] : now) {
    if (IsTemporary(path) || IsJournal(path)) continue;
    const std::string* was = Find(before, path);
    const std::string* will = Find(after, path);
    if (was == nullptr && will == nullptr) {
      ADD_FAILURE() << trace << ": " << path << " is neither an earlier nor a clean run's output";
      continue;
    }
    if (IsFiling(path)) {
      EXPECT_TRUE((was && bytes == *was) || (will && bytes == *will)) << trace << ": " << path << " is cut or mixed";
    } else if (Base(path) == "V303.MAP") {
      ASSERT_TRUE(will != nullptr) << trace << ": a map where a clean run leaves none";
      ASSERT_EQ(bytes.size(), will->size()) << trace << ": the map is cut";
      for (std::size_t i = 0; i < bytes.size(); ++i)
        EXPECT_TRUE(bytes[i] == (*will)[i] || bytes[i] == (was ? (*was)[i] : ' '))
            << trace << ": map byte " << i << " is '" << bytes[i] << "'";
    }
  }
  for (const auto& [path, bytes] : before)
    if (!Find(now, path) && Find(after, path)) ADD_FAILURE() << trace << ": the earlier " << path << " is lost";
  for (const auto& [path, bytes] : now) {
    if (!IsNrc(path)) continue;
    SCOPED_TRACE(trace + ": " + path);
    ASSERT_EQ(bytes.size() % kNrcRecord, 0u) << "cut";
    if (bytes.empty()) continue;
    ASSERT_GE(bytes.size(), 2 * kNrcRecord);
    const std::string* wasFile = Find(before, path);
    const std::string* willFile = Find(after, path);
    EXPECT_TRUE((wasFile && bytes.compare(0, kNrcRecord, *wasFile, 0, kNrcRecord) == 0) ||
                (willFile && bytes.compare(0, kNrcRecord, *willFile, 0, kNrcRecord) == 0))
        << "a header of neither run";
    const std::size_t last = bytes.size() - kNrcRecord;
    ASSERT_EQ(bytes.substr(last, 2), "08") << "no trailer";
    const std::map<std::string, std::string> was = Details(Find(before, path));
    const std::map<std::string, std::string> will = Details(Find(after, path));
    long total = 0, count = 0;
    for (std::size_t at = kNrcRecord; at < last; at += kNrcRecord) {
      ++count;
      EXPECT_EQ(bytes.substr(at, 2), "05");
      EXPECT_EQ(Number(bytes, at + 2, 5), count) << "numbered out of order";
      total += Number(bytes, at + 74, 12);
      const std::string taxId = DetailTaxId(bytes, at);
      const std::string body = DetailBody(bytes, at);
      EXPECT_TRUE((was.count(taxId) && was.at(taxId) == body) || (will.count(taxId) && will.at(taxId) == body))
          << "the request for " << taxId << " is neither run's";
    }
    EXPECT_EQ(Number(bytes, last + 2, 5), count + 2);
    EXPECT_EQ(Number(bytes, last + 7, 5), count);
    EXPECT_EQ(Number(bytes, last + 12, 12), total);
  }
}

// The clean outputs, exactly, and no temporary file or journal left.
inline void ExpectClean(const Files& now, const Files& clean, const std::string& trace) {
  for (const auto& [path, bytes] : now) {
    EXPECT_FALSE(IsTemporary(path)) << trace << ": " << path << " left behind";
    const std::string* want = Find(clean, path);
    if (want == nullptr) ADD_FAILURE() << trace << ": " << path << " is not a clean run's output";
    else EXPECT_TRUE(bytes == *want) << trace << ": " << path << " differs from a clean run's";
  }
  for (const auto& [path, bytes] : clean)
    EXPECT_TRUE(now.count(path)) << trace << ": " << path << " is missing";
}

// The office: `old` holds a demo office of 20 owners filed once for the
// second quarter of 2024 (owners 1 to 16, presenter's town VIC), with the
// data changed since (one owner's periods of the quarter gone, others'
// amounts changed); `fresh` the same office never filed. The run the tests
// make is the quarter for every owner with the town GIRONA.
class FilingRunTest : public ::testing::Test {
 protected:
  testsupport::TempDir work;
  std::string old, fresh, tmp, exe;
  Files oldOut, newOut, firstOut;  // before; a clean run over old; a clean run over fresh

  std::string Kap() const { return testsupport::BinDir() + "kap"; }
  std::string Printed() const { return exe + "printed"; }
  std::vector<std::string> Env() const {
    return {"KAPTMP=" + tmp, "KAPEXE=" + exe, "KOVA_NOW=20240715", "DISPLAY="};
  }
  std::vector<std::string> RunArgs(const std::string& tree, const std::string& town = "GIRONA",
                                   const std::string& to = "20") const {
    return {Kap(), "run303", tree, "--mode", "S", "--date", "20240630", "--to", to, "--payment", "N",
            "--town", town, "--account", "21000418450200051332"};
  }
  testsupport::RefusedRun Run(const std::string& tree, const std::string& plan = "write:0") const {
    return testsupport::RunRefused(RunArgs(tree), plan, "", Env());
  }

  void SetUp() override {
    old = work.path + "old/";
    fresh = work.path + "fresh/";
    tmp = work.path + "tmp/";
    exe = work.path + "exe/";
    ASSERT_TRUE(os::MakeDirs(tmp));
    ASSERT_TRUE(os::MakeDirs(exe));
    // The stand-in print program says it ran.
    ASSERT_TRUE(os::WriteFile(exe + "ZEDIRIDI", "#!/bin/sh\ntouch " + testsupport::ShellQuote(Printed()) + "\n"));
    os::RunShell("chmod +x " + testsupport::ShellQuote(exe + "ZEDIRIDI"));
    ASSERT_TRUE(os::WriteFile(tmp + "KovaTerm.ini", "[Sistema]\r\nSortida=PDF\r\nIdioma=CAT\r\n"));
    ASSERT_EQ(Plain({Kap(), "init", old}).code, 0);
    ASSERT_EQ(Plain({Kap(), "demo", old, "--owners", "20", "--today", "20240715"}).code, 0);
    ASSERT_TRUE(os::WriteFile(old + "Kova.ini", "[Titular]\r\nNom=GESTORIA\r\nNIF=ESB12345674\r\n"));
    const testsupport::RefusedRun earlier = testsupport::RunRefused(RunArgs(old, "VIC", "16"), "write:0", "", Env());
    ASSERT_EQ(earlier.code, 0) << earlier.err;
    ASSERT_NO_FATAL_FAILURE(ChangeQuarter(old));
    ASSERT_TRUE(testsupport::CopyTree(old, fresh));
    for (const char* agency : {"AEAT", "DFA", "DFB", "DFN", "DFG", "ATC", "ATIC", "ATA", "ATF"})
      testsupport::RemoveTree(fresh + agency + "/");
    os::DeleteFile(fresh + "DADES/V303.MAP");
    oldOut = Outputs(old);

    const std::string scratch = work.path + "scratch/";
    ASSERT_TRUE(testsupport::CopyTree(old, scratch));
    testsupport::RefusedRun r = Run(scratch);
    ASSERT_EQ(r.code, 0) << r.err;
    newOut = Outputs(scratch);
    ASSERT_TRUE(testsupport::CopyTree(fresh, scratch));
    r = Run(scratch);
    ASSERT_EQ(r.code, 0) << r.err;
    firstOut = Outputs(scratch);
    ExpectChecked(old, "20240630", "the earlier run", false);
    testsupport::RemoveTree(scratch);
    // The earlier run differs from the new one in every way a run can.
    int dropped = 0, added = 0, otherRequests = 0;
    for (const auto& [path, bytes] : oldOut) dropped += IsFiling(path) && !newOut.count(path);
    for (const auto& [path, bytes] : newOut) added += IsFiling(path) && !oldOut.count(path);
    for (const auto& [path, bytes] : oldOut) {
      if (!IsNrc(path) || !newOut.count(path)) continue;
      const std::map<std::string, std::string> was = Details(&bytes), will = Details(&newOut.at(path));
      for (const auto& [taxId, body] : was) otherRequests += will.count(taxId) && will.at(taxId) != body;
    }
    EXPECT_GT(dropped, 0);
    EXPECT_GT(added, 0);
    EXPECT_GT(otherRequests, 0);
    EXPECT_NE(oldOut.at("DADES/V303.MAP"), newOut.at("DADES/V303.MAP"));
  }

  testsupport::RefusedRun Plain(const std::vector<std::string>& argv) {
    return testsupport::RunRefused(argv, "write:0", "", Env());
  }

  // The quarter's periods changed after the earlier run: the first owner
  // with a filing file loses them (its file goes), every third period
  // record gets more output VAT and balance (its owner's amount changes).
  void ChangeQuarter(const std::string& tree) {
    const testsupport::RefusedRun dump = Plain({Kap(), "dump", tree, "VCapPeri"});
    ASSERT_EQ(dump.code, 0) << dump.err;
    std::string gone;
    for (const auto& [path, bytes] : Outputs(tree))
      if (IsFiling(path) && gone.empty()) gone = Base(path).substr(1);
    ASSERT_FALSE(gone.empty());
    std::istringstream in(dump.out);
    std::string line, csv;
    std::getline(in, line);
    csv = line + "\n";
    std::vector<std::string> names;
    for (std::istringstream h(line); std::getline(h, line, ',');) names.push_back(line);
    int row = 0, changed = 0, dropped = 0;
    while (std::getline(in, line)) {
      std::vector<std::string> v;
      for (std::istringstream l(line); std::getline(l, line, ',');) v.push_back(line);
      ASSERT_EQ(v.size(), names.size());
      const bool quarter = v[1] == "20240630";
      if (quarter && v[0].compare(0, 4, gone) == 0) {
        ++dropped;
        continue;
      }
      if (quarter && ++row % 3 == 0) {
        for (std::size_t i = 0; i < names.size(); ++i)
          if (names[i] == "QuotaA" || names[i] == "Balance") v[i] = std::to_string(std::stol(v[i]) + 2100);
        ++changed;
      }
      for (std::size_t i = 0; i < v.size(); ++i) csv += (i ? "," : "") + v[i];
      csv += "\n";
    }
    ASSERT_GT(changed, 0);
    ASSERT_GT(dropped, 0);
    ASSERT_TRUE(os::WriteFile(work.path + "periods.csv", csv));
    const testsupport::RefusedRun load = Plain({Kap(), "load", tree, "VCapPeri", work.path + "periods.csv", "--replace"});
    ASSERT_EQ(load.code, 0) << load.err;
  }
};

}  // namespace filingrun
