// An agency folder of a quarter checked as a whole: its files, its NRC
// requests against its filing files, and the payment map.
#include "vat303/quarter_check.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstdint>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "vat303/driver.h"
#include "vat303/filing_file.h"
#include "vat303/filing_rules.h"
#include "vat303/nrc_reader.h"

namespace vat303 {
namespace {

constexpr std::size_t kMapSize = 9999;
constexpr const char* kNrcName = "NRC_BANC.SOL";
constexpr const char* kJournalName = "V303.JNL";

// The rules of a folder beyond those of each filing file, in the order of
// kFolderRules (a fault names its file and NRC record instead of fields).
enum FolderRule {
  kJournal, kStray, kUnreadable,
  // In the order of NrcProblem.
  kNrcRecord, kNrcHeader, kNrcType, kNrcNumbering, kNrcAmount, kNrcEnding, kNrcCounts, kNrcTotal,
  kNrcPeriod, kMissingRequest, kExtraRequest, kMapByte, kNoMap,
};

const FilingRule kFolderRules[] = {
    {"diari", "", "UNA GENERACI\xE0 INTERROMPUDA HA DEIXAT EL SEU DIARI: TORNEU A GENERAR EL TRIMESTRE"},
    {"fitxer-estrany", "", "AQUEST FITXER NO \x90S DE LA CARPETA (NI DE PRESENTACI\xE0 NI NRC)"},
    {"llegir", "", "NO ES POT LLEGIR EL FITXER"},
    {"nrc-registre", "", "EL FITXER NRC T\x90 UN REGISTRE DE LLARGADA INCORRECTA O SENSE CR LF"},
    {"nrc-capcalera", "", "EL FITXER NRC NO COMEN\x80" "A AMB UNA CAP\x80" "ALERA DE VERSI\xE0 01 O 02"},
    {"nrc-tipus", "", "EL FITXER NRC T\x90 UN REGISTRE D'UN TIPUS DESCONEGUT O FORA DE LLOC"},
    {"nrc-numeracio", "", "ELS DETALLS DEL FITXER NRC NO S\xE0N NUMERATS D'1 ENDAVANT"},
    {"nrc-import", "", "UN DETALL DEL FITXER NRC T\x90 UN IMPORT QUE NO \x90S UN NOMBRE"},
    {"nrc-final", "", "EL FITXER NRC NO ACABA AMB UN SOL REGISTRE FINAL"},
    {"nrc-recompte", "", "EL REGISTRE FINAL DEL FITXER NRC NO COMPTA B\x90 ELS REGISTRES O ELS DETALLS"},
    {"nrc-total", "", "EL TOTAL DEL REGISTRE FINAL DEL FITXER NRC NO \x90S LA SUMA DELS DETALLS"},
    {"nrc-periode", "", "UNA SOL\xFALICITUD NRC \x90S D'UN ALTRE MODEL, EXERCICI O PER\xD6ODE"},
    {"sollicitud-falta", "", "AQUEST FITXER DE PRESENTACI\xE0 NO T\x90 LA SEVA SOL\xFALICITUD NRC"},
    {"sollicitud-sobrant", "", "SOL\xFALICITUD NRC SENSE EL SEU FITXER DE PRESENTACI\xE0 (NIF, NOM I IMPORT)"},
    {"mapa", "", "LA FORMA DE PAGAMENT DEL MAPA (DADES\\V303.MAP) NO CORRESPON A L'\xE9LTIM FITXER DEL PROPIETARI"},
    {"mapa-falta", "", "FALTA EL MAPA DE FORMES DE PAGAMENT (DADES\\V303.MAP) O \x90S INCOMPLET"},
};

void Fault(FolderCheck& out, const std::string& file, FolderRule rule, int record = 0) {
  out.faults.push_back({file, kFolderRules[rule].name, "", record, settings::Translate(kFolderRules[rule].message)});
}

std::string WithSlash(const std::string& dir) {
  return dir.empty() || dir.back() == '/' || dir.back() == '\\' ? dir : dir + "/";
}

}  // namespace

std::vector<std::string> AllQuarterFolders(const std::string& dataRoot) {
  std::vector<std::string> out;
  std::string year;
  int quarter = 0;
  for (int code = 0; !AgencyDir(code).empty(); ++code) {
    std::vector<os::DirEntry> entries;
    if (!os::ListDir(dataRoot + AgencyDir(code), entries)) continue;
    for (const os::DirEntry& e : entries)
      if (e.isDir && QuarterOfFolder(e.name, year, quarter)) out.push_back(dataRoot + AgencyDir(code) + e.name + "/");
  }
  return out;
}

std::string AgencyAndQuarter(const std::string& folder) {
  std::string path = os::HostPath(folder);
  while (!path.empty() && path.back() == '/') path.pop_back();
  const std::size_t quarter = path.rfind('/');
  const std::size_t agency =
      quarter == std::string::npos || quarter == 0 ? std::string::npos : path.rfind('/', quarter - 1);
  return agency == std::string::npos ? path : path.substr(agency + 1);
}

namespace {

// Which owners of the folder have here their most recently written filing
// file under dataRoot. A file elsewhere written in the same clock tick
// leaves it unknown which came last: the map is then not compared. The
// owners `checked` by the caller are taken as having theirs here.
std::vector<bool> LatestHere(const std::string& dataRoot, const std::string& folder, const std::vector<int>& owners,
                             const std::vector<const FilingPayment*>* checked) {
  std::vector<bool> latest(kMapSize + 1, false);
  std::vector<std::int64_t> written(kMapSize + 1, -1);
  for (int owner : owners) latest[static_cast<std::size_t>(owner)] = true;
  // Files elsewhere are looked at only for the owners left.
  std::vector<bool> open = latest;
  if (checked)
    for (std::size_t owner = 0; owner < checked->size() && owner < open.size(); ++owner)
      if ((*checked)[owner]) open[owner] = false;
  const std::string here = AgencyAndQuarter(folder);
  for (const std::string& other : AllQuarterFolders(dataRoot)) {
    if (AgencyAndQuarter(other) == here) continue;
    std::vector<os::DirEntry> entries;
    if (!os::ListDir(other, entries)) continue;
    for (const os::DirEntry& e : entries) {
      const std::size_t owner = static_cast<std::size_t>(OwnerOfFileName(e.name));
      if (owner == 0 || e.isDir || !latest[owner] || !open[owner]) continue;
      if (written[owner] < 0) written[owner] = os::ModifiedNs(folder + e.name);
      if (os::ModifiedNs(other + e.name) >= written[owner]) latest[owner] = false;
    }
  }
  return latest;
}

// A filing file's request, if it asks for one: its key and how sure that is.
struct RequestSlot {
  int needed = 0;  // files that must have a request with this key
  int maybe = 0;   // files whose payment form is unknown: a request or none
  std::vector<const std::string*> needing;  // their names
  std::vector<int> records;  // the NRC details with this key
};

// Tax identifier, name and amount, in a key of fixed length (a folder
// holds thousands).
using SlotKey = std::array<char, 9 + 38 + 19>;

SlotKey RequestKey(std::string_view taxId, std::string_view name, std::int64_t amount) {
  SlotKey key{};
  taxId.copy(key.data(), std::min<std::size_t>(taxId.size(), 9));
  name.copy(key.data() + 9, std::min<std::size_t>(name.size(), 38));
  const std::string digits = std::to_string(amount);
  digits.copy(key.data() + 9 + 38, std::min<std::size_t>(digits.size(), 19));
  return key;
}

// One filing file: its rules, its byte of the map, the request it asks for.
// One filing file; `bytes` null for a file the caller checked itself, whose
// rules are not run again.
void CheckFilingFile(const std::string& name, const FilingPayment& payment, const std::string* bytes,
                     const std::string& year, int quarter, char mapByte, std::map<SlotKey, RequestSlot>& slots,
                     FolderCheck& out) {
  const bool mapFits = (mapByte == 'N' || mapByte == 'D' || mapByte == 'E') && TypeFitsPayment(payment.type, mapByte);
  if (mapByte != 0 && !mapFits) Fault(out, name, kMapByte);

  FilingContext context;
  context.year = year;
  context.quarter = quarter;
  if (mapFits) context.payment = mapByte;
  if (bytes)
    for (const RuleBreak& b : CheckFilingRules(*bytes, context))
      out.faults.push_back({name, b.rule->name, b.rule->fields, 0, b.message});

  if (!payment.resultKnown || payment.result <= 0 || payment.type == 'U') return;
  RequestSlot& slot = slots[RequestKey(payment.taxId, payment.name, payment.result)];
  if (context.payment == 'N') {
    ++slot.needed;
    slot.needing.push_back(&name);
  } else if (context.payment == 0) {
    ++slot.maybe;
  }
}

// The NRC file's requests into their slots.
void ReadRequests(const std::string& path, const std::string& year, int quarter,
                  std::map<SlotKey, RequestSlot>& slots, FolderCheck& out) {
  std::string bytes;
  if (!os::ReadFile(path, bytes)) {
    Fault(out, kNrcName, kUnreadable);
    return;
  }
  const NrcReading nrc = ReadNrcText(bytes);
  for (const NrcProblemAt& p : nrc.problems)
    Fault(out, kNrcName, static_cast<FolderRule>(kNrcRecord + static_cast<int>(p.problem)), p.record);
  out.requests = static_cast<int>(nrc.details.size());
  const std::string period = std::to_string(quarter) + "T";
  for (const NrcDetailRead& d : nrc.details) {
    if (d.model != "303" || d.year != year || d.period != period) {
      Fault(out, kNrcName, kNrcPeriod, d.record);
    } else if (d.amountKnown) {
      slots[RequestKey(d.taxId, d.name, d.amount)].records.push_back(d.record);
    }
  }
}

}  // namespace

FolderCheck CheckAgencyFolder(const std::string& dataRoot, const std::string& folderGiven, const std::string& year,
                              int quarter, const std::vector<const FilingPayment*>* checked) {
  FolderCheck out;
  out.folder = folderGiven;
  const std::string folder = WithSlash(folderGiven);
  std::vector<os::DirEntry> entries;
  if (!os::ListDir(folder, entries)) {
    Fault(out, "", kUnreadable);
    return out;
  }
  std::vector<int> owners;
  std::vector<std::string> names;
  bool nrc = false;
  for (const os::DirEntry& e : entries) {
    const std::string& n = e.name;
    if (!e.isDir && IsTempFileName(n)) continue;
    if (!e.isDir && n == kJournalName) Fault(out, n, kJournal);
    else if (!e.isDir && n == kNrcName) nrc = true;
    else if (!e.isDir && OwnerOfFileName(n) > 0) owners.push_back(OwnerOfFileName(n)), names.push_back(n);
    else Fault(out, n, kStray);
  }

  std::string map;
  const bool mapWhole = os::ReadFile(WithSlash(dataRoot) + "DADES/V303.MAP", map) && map.size() >= kMapSize;
  if (!owners.empty() && !mapWhole) Fault(out, "", kNoMap);
  const std::vector<bool> latest = LatestHere(WithSlash(dataRoot), folder, owners, checked);

  std::map<SlotKey, RequestSlot> slots;
  for (std::size_t i = 0; i < owners.size(); ++i) {
    const std::size_t owner = static_cast<std::size_t>(owners[i]);
    const std::string& name = names[i];
    const char mapByte = mapWhole && latest[owner] ? map[owner - 1] : 0;
    if (checked && owner < checked->size() && (*checked)[owner]) {
      ++out.files;
      CheckFilingFile(name, *(*checked)[owner], nullptr, year, quarter, mapByte, slots, out);
      continue;
    }
    std::string bytes;
    if (!os::ReadFile(folder + name, bytes)) {
      Fault(out, name, kUnreadable);
      continue;
    }
    ++out.files;
    CheckFilingFile(name, ReadFilingPayment(bytes), &bytes, year, quarter, mapByte, slots, out);
  }
  if (nrc) ReadRequests(folder + kNrcName, year, quarter, slots, out);

  for (const auto& [key, slot] : slots) {
    const int found = static_cast<int>(slot.records.size());
    for (int i = found; i < slot.needed; ++i) Fault(out, *slot.needing[static_cast<std::size_t>(i)], kMissingRequest);
    for (int i = slot.needed + slot.maybe; i < found; ++i)
      Fault(out, kNrcName, kExtraRequest, slot.records[static_cast<std::size_t>(i)]);
  }
  return out;
}

const std::vector<FilingRule>& FolderRules() {
  static const std::vector<FilingRule> rules(std::begin(kFolderRules), std::end(kFolderRules));
  return rules;
}

bool QuarterOfFolder(const std::string& path, std::string& year, int& quarter) {
  std::string name = os::HostPath(path);
  while (!name.empty() && name.back() == '/') name.pop_back();
  name.erase(0, name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
  if (name.size() != 11 || name.compare(0, 4, "303M") != 0 || name[8] != '.' || name[10] != 'T' ||
      name.find_first_not_of("0123456789", 4) != 8 || name[9] < '1' || name[9] > '4')
    return false;
  year = name.substr(4, 4);
  quarter = name[9] - '0';
  return true;
}

std::string QuarterFolderName(const std::string& year, int quarter) {
  return "303M" + year + "." + std::to_string(quarter) + "T";
}

void QuarterOfDate(const std::string& date, std::string& year, int& quarter) {
  year = date.substr(0, 4);
  quarter = (std::atoi(date.substr(4, 2).c_str()) - 1) / 3 + 1;
}

std::vector<std::string> QuarterFolders(const std::string& dataRoot, const std::string& year, int quarter) {
  std::vector<std::string> out;
  for (int code = 0; !AgencyDir(code).empty(); ++code) {
    const std::string folder = WithSlash(dataRoot) + AgencyDir(code) + QuarterFolderName(year, quarter) + "/";
    if (os::DirExists(folder)) out.push_back(folder);
  }
  return out;
}

}  // namespace vat303
