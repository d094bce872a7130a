// The earlier versions of the outputs that a run replaces or removes, kept
// under DataRoot in "HISTORIC\303M<year>.<quarter>T\<agency>\", named after
// the file and the id of the run that replaced it (run_log.h):
// "P0042.20240715-101500", "NRC_BANC.SOL.20240715-101500". A filing file or
// an NRC file is kept by a hard link made before the rename or deletion
// that replaces it, so no byte is copied and the agency folders hold only
// the current files. The payment map, changed in place, is kept as a copy
// ("HISTORIC\303M2024.2T\V303.MAP.20240715-101500", the quarter of the run)
// before the first byte the run changes. A run keeps the version it found
// only: a file it replaces twice, or one it wrote itself, is not kept again,
// and a file put back with the same bytes is no new version.
//
// A run killed between keeping a file and replacing it leaves a kept
// version equal to the file that stayed; readers pass it over.
#pragma once

#include <string>
#include <vector>

namespace vat303 {

// Whether KeepVersion would keep the file `path` now: a run is going (with
// the history on), the path is in an agency folder
// "<AGENCY>/303M<year>.<quarter>T/", and the run has neither kept it nor
// written it.
bool KeepsVersionOf(const std::string& path);

// Keeps the file `path` as the version the current run replaces or
// removes, when KeepsVersionOf(path). False (the operator told) when it
// cannot be kept: the caller must leave the file as it is.
bool KeepVersion(const std::string& path);

// The current run has written the file `path` itself: it is not kept when
// the run replaces it again.
void NoteRunWrote(const std::string& path);

// Keeps a copy of the payment map before the run's first change to it.
// False (the operator told) when it cannot be kept: the map must not be
// changed.
bool KeepPaymentMap();

// ---- reading (kap history) ---------------------------------------------------------
struct KeptVersion {
  std::string path;      // the whole path
  std::string relative;  // "HISTORIC/303M2024.2T/AEAT/P0042.20240715-101500"
  std::string quarter;   // "303M2024.2T"
  std::string agency;    // "AEAT" ("" for the map's copies)
  std::string file;      // "P0042", "NRC_BANC.SOL", "V303.MAP"
  std::string runId;     // the run that replaced it
  bool leftover = false; // a temporary copy a killed run left
};

// Every kept version under dataRoot's HISTORIC (of the quarter folder
// `quarter` and of the file `file` only, when given), of each file the
// newest first.
std::vector<KeptVersion> KeptVersions(const std::string& dataRoot, const std::string& quarter,
                                      const std::string& file = "");

}  // namespace vat303
