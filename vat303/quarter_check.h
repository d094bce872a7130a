// The checks of a quarter's outputs before they leave the office, one agency
// folder at a time: every filing file by the filing rules (filing_rules.h),
// the NRC request file read whole, exactly one request for each filing file
// that asks for one and no request besides, and the payment map's byte of
// each owner whose latest filing file is in the folder. Reads only, so a
// read-only folder or an office whose record files are on a server is
// checked the same way.
#pragma once

#include <string>
#include <vector>

#include "vat303/filing_rules.h"

namespace vat303 {

struct FolderFault {
  std::string file;     // its name in the folder ("P0042", "NRC_BANC.SOL"); "" for the folder itself
  std::string rule;     // the rule's short name
  std::string fields;   // a filing rule's fields ("01/13 03/374"); "" otherwise
  int record = 0;       // the NRC file's record (from 1) the fault was found at; 0 none
  std::string message;  // in the operator's language
};

struct FolderCheck {
  std::string folder;  // as given
  int files = 0;       // filing files
  int requests = 0;    // requests of the NRC file
  std::vector<FolderFault> faults;
};

// One agency folder of the quarter `year` (4 digits), `quarter` (1-4).
// `dataRoot` is the data folder: its DADES\V303.MAP holds the payment form of
// each owner's last filing file, which may lie in any agency folder of any
// quarter under it, so a byte is compared only with the owner's most
// recently written filing file (by modification time).
// Files "~NAME.tmp" of a writer at work are passed over; a journal "V303.JNL"
// left by an interrupted run is a fault of the folder. `checked`, when
// given, holds by owner number what the caller knows of the filing files it
// has just checked by the filing rules and whose map byte it has just set
// (a run, before and after it put them in place; null for the others):
// those files are not read again, and each is taken as its owner's latest
// file.
FolderCheck CheckAgencyFolder(const std::string& dataRoot, const std::string& folder, const std::string& year,
                              int quarter, const std::vector<const FilingPayment*>* checked = nullptr);

// The rules of a folder beyond those of its filing files: its journal, its
// files, its NRC file, the requests against the filing files, the map.
const std::vector<FilingRule>& FolderRules();

// The year and quarter of a folder named 303M<year>.<quarter>T (the last
// part of `path`, with or without a separator after it); false for any
// other name.
bool QuarterOfFolder(const std::string& path, std::string& year, int& quarter);
// The other way: "303M2024.2T" of year "2024" and quarter 2.
std::string QuarterFolderName(const std::string& year, int quarter);
// The year and quarter (1-4) of a date YYYYMMDD.
void QuarterOfDate(const std::string& date, std::string& year, int& quarter);

// Every quarter folder of every agency under dataRoot.
std::vector<std::string> AllQuarterFolders(const std::string& dataRoot);
// "AEAT/303M2024.2T" of a folder's path, however the path was spelt.
std::string AgencyAndQuarter(const std::string& folder);

// The agency folders of the quarter that exist under dataRoot, in the order
// of the territory codes.
std::vector<std::string> QuarterFolders(const std::string& dataRoot, const std::string& year, int quarter);

}  // namespace vat303
