// kap demo DIR [--owners N]: a realistic office in an empty data tree.
//
// Territories, tax offices, owners (persons and companies), their fiscal
// records, one to three groups (properties) per owner, and a period record
// with its lines for every group and each of the last eight complete
// quarters before today. The random sequence is fixed, so the same date and
// owner count give the same data; --today YYYYMMDD sets the date the
// quarters count back from.
#include <cmath>
#include <iostream>
#include <map>
#include <set>

#include "platform/os/os.h"
#include "tools/kap/demo_people.h"
#include "tools/kap/kap.h"

namespace kap {
namespace {

using demo::Pick;

constexpr std::uint32_t kDemoSequence = 303;

struct TableRecords {
  const records::TableLayout* table = nullptr;
  std::vector<std::string> records;
};

// Builds records field by field from UTF-8 values.
struct Builder {
  std::map<std::string, TableRecords> tables;
  bool ok = true;

  std::string Start(const std::string& table) {
    TableRecords& t = tables[table];
    t.table = records::FindLayout(table);
    return EmptyRecord(*t.table);
  }
  void Set(const std::string& table, std::string& record, const std::string& field,
           const std::string& value) {
    const records::FieldLayout* f = records::FindField(*tables[table].table, field);
    std::string reason;
    if (!f || !EncodeField(*f, value, record, reason)) {
      Error("demo: " + table + "." + field + ": " + reason);
      ok = false;
    }
  }
  void Add(const std::string& table, const std::string& record) {
    tables[table].records.push_back(record);
  }
};

std::string Digits(long value, int width) {
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return s;
}

struct Quarter {
  int year = 0;
  int number = 0;  // 1..4
  std::string endDate() const {
    static const char* const ends[] = {"0331", "0630", "0930", "1231"};
    return Digits(year, 4) + ends[number - 1];
  }
};

// The eight complete quarters before `today`, oldest first.
std::vector<Quarter> LastQuarters(const os::DateTime& today) {
  Quarter q{today.year, (today.month - 1) / 3 + 1};
  std::vector<Quarter> out;
  for (int i = 0; i < 8; ++i) {
    if (--q.number == 0) {
      q.number = 4;
      --q.year;
    }
    out.insert(out.begin(), q);
  }
  return out;
}

long Cents(double euros) { return std::lround(euros * 100.0); }
long Percent(long amount, long hundredths) {
  return std::lround(static_cast<double>(amount) * static_cast<double>(hundredths) / 10000.0);
}

const char* const kMonths[] = {"gener",  "febrer", "març",     "abril",   "maig",     "juny",
                               "juliol", "agost",  "setembre", "octubre", "novembre", "desembre"};

void Territories(Builder& b) {
  const std::pair<const char*, const char*> list[] = {
      {"01", "ESTAT"}, {"02", "ARABA"}, {"04", "BISCAIA"}, {"05", "NAVARRA"}};
  for (const auto& [code, name] : list) {
    std::string r = b.Start("UTerrito");
    b.Set("UTerrito", r, "TerritoryCode", code);
    b.Set("UTerrito", r, "TerritoryName", name);
    b.Add("UTerrito", r);
  }
  const std::pair<const char*, const char*> offices[] = {
      {"0801", "Delegació de Barcelona"},       {"0802", "Administració de Sabadell"},
      {"1701", "Delegació de Girona"},          {"2801", "Delegación de Madrid"},
      {"4801", "Hacienda Foral de Bizkaia"},    {"3101", "Hacienda Foral de Navarra"},
      {"0101", "Hacienda Foral de Álava"},      {"4601", "Delegación de València"}};
  for (const auto& [code, name] : offices) {
    std::string r = b.Start("UHisenda");
    b.Set("UHisenda", r, "OfficeCode", code);
    b.Set("UHisenda", r, "OfficeName", name);
    b.Add("UHisenda", r);
  }
}

// Period records and their lines of one group, with compensation carried.
void Periods(Builder& b, const std::string& group, const std::vector<Quarter>& quarters,
             bool cash, const std::string& regimeDate) {
  const long rent = Pick(350, 3500);
  const bool reduced = Pick(1, 100) <= 15;    // slot A at 10 %
  const bool superReduced = Pick(1, 100) <= 4;  // slot C at 4 %
  const int prorata = Pick(1, 100) <= 10 ? Pick(55, 90) : 100;
  const std::size_t first = Pick(1, 100) <= 12 ? static_cast<std::size_t>(Pick(1, 5)) : 0;
  long pending = 0;
  for (std::size_t i = first; i < quarters.size(); ++i) {
    const Quarter& q = quarters[i];
    long months = Pick(1, 100) <= 8 ? Pick(0, 2) : 3;
    long base = Cents(static_cast<double>(rent * months));
    long baseA = 0, baseC = 0;
    if (reduced) {
      baseA = base / 3;
      base -= baseA;
    }
    if (superReduced) {
      baseC = Cents(Pick(100, 900));
    }
    long quotaB = Percent(base, 2100), quotaA = Percent(baseA, 1000), quotaC = Percent(baseC, 400);
    long expenses = (base + baseA) * Pick(0, 25) / 100;
    if (Pick(1, 100) <= 6) expenses += Cents(Pick(5000, 40000));  // works on the property
    long inputVat = Percent(expenses, 2100);
    long deductible = inputVat * prorata / 100;
    long deductibleBase = expenses * prorata / 100;
    long regularisation = (prorata < 100 && q.number == 4) ? Pick(-5000, 5000) : 0;
    long result = quotaA + quotaB + quotaC - deductible - regularisation;
    long compensation = -pending;
    long balance = result - pending;
    pending = std::max(0L, pending - result);

    const std::string date = q.endDate();
    std::string r = b.Start("VCapPeri");
    auto set = [&](const char* field, long value) { b.Set("VCapPeri", r, field, std::to_string(value)); };
    b.Set("VCapPeri", r, "PeriodGroup", group);
    b.Set("VCapPeri", r, "PeriodKeyDate", date);
    set("BaseB", base);
    set("RateB", base ? 2100 : 0);
    set("QuotaB", quotaB);
    set("BaseA", baseA);
    set("RateA", baseA ? 1000 : 0);
    set("QuotaA", quotaA);
    set("BaseC", baseC);
    set("RateC", baseC ? 400 : 0);
    set("QuotaC", quotaC);
    set("InputVat", inputVat);
    set("ProrataPct", prorata);
    set("DeductibleQuota", deductible);
    set("DeductibleBase", deductibleBase);
    set("Regularisation", regularisation);
    set("CompensationAmt", compensation);
    set("Balance", balance);
    if (cash && date >= regimeDate) {
      set("CashAmount1", base + baseA + baseC);
      set("CashAmount2", quotaA + quotaB + quotaC);
      set("CashAmount3", expenses);
      set("CashAmount4", inputVat);
    }
    b.Add("VCapPeri", r);

    int line = 0;
    for (long m = 0; m < months; ++m) {
      std::string l = b.Start("VLinPeri");
      b.Set("VLinPeri", l, "LineGroup", group);
      b.Set("VLinPeri", l, "LineDate", date);
      b.Set("VLinPeri", l, "LineNumber", std::to_string(++line));
      b.Set("VLinPeri", l, "LineText",
            std::string("Lloguer ") + kMonths[(q.number - 1) * 3 + static_cast<int>(m)]);
      b.Set("VLinPeri", l, "LineAmount", std::to_string(Cents(static_cast<double>(rent))));
      b.Add("VLinPeri", l);
    }
    if (expenses > 0) {
      std::string l = b.Start("VLinPeri");
      b.Set("VLinPeri", l, "LineGroup", group);
      b.Set("VLinPeri", l, "LineDate", date);
      b.Set("VLinPeri", l, "LineNumber", std::to_string(++line));
      b.Set("VLinPeri", l, "LineText", "Despeses i reparacions");
      b.Set("VLinPeri", l, "LineAmount", std::to_string(-expenses));
      b.Add("VLinPeri", l);
    }
  }
}

void Owners(Builder& b, int count, const std::vector<Quarter>& quarters) {
  std::set<std::string> taxIds;
  const char* const territories[] = {"02", "04", "05"};
  for (int code = 1; code <= count; ++code) {
    const bool company = Pick(1, 100) <= 30;
    std::string name, fiscalName, id;
    const char* country = "ES";
    if (company) {
      bool isSa = false;
      name = demo::MakeCompany(isSa);
      fiscalName = name;
    } else {
      demo::Person p = demo::MakePerson();
      name = p.ownerName;
      fiscalName = p.fiscalName;
    }
    const int kind = Pick(1, 100);
    do {
      if (kind <= 3) {
        static const char* const foreign[] = {"FR", "PT", "DE", "GB"};
        country = demo::PickOf(foreign);
        id = std::to_string(Pick(100000000, 999999999));
      } else if (company) {
        id = demo::CompanyCif(Pick(1, 5) == 1 ? 'A' : 'B');
      } else if (kind <= 8) {
        id = demo::ForeignerNie();
      } else {
        id = demo::PersonNif();
      }
    } while (!taxIds.insert(std::string(country) + id).second);
    const bool noTaxId = Pick(1, 100) <= 1;
    std::string taxId = std::string(country) + (noTaxId ? "" : id);

    const bool cash = Pick(1, 100) <= 10;
    std::string regimeDate;
    if (cash) {
      regimeDate = Pick(1, 2) == 1 ? "20150101" : quarters[static_cast<std::size_t>(Pick(1, 6))].endDate().substr(0, 6) + "01";
      // The regime starts on the first day of a quarter.
      int month = std::stoi(regimeDate.substr(4, 2));
      regimeDate = regimeDate.substr(0, 4) + Digits(((month - 1) / 3) * 3 + 1, 2) + "01";
    } else if (Pick(1, 100) <= 3) {
      regimeDate = "20130101";  // left the regime long ago
    }

    std::string r = b.Start("VPropiet");
    b.Set("VPropiet", r, "OwnerCode", Digits(code, 4));
    b.Set("VPropiet", r, "OwnerName", name);
    b.Set("VPropiet", r, "OwnerAccount", Pick(1, 100) <= 7 ? "" : demo::SpanishIban());
    b.Set("VPropiet", r, "OwnerStatus", Pick(1, 100) <= 3 ? "1" : "0");
    b.Set("VPropiet", r, "RegimeDate", regimeDate);
    b.Set("VPropiet", r, "RegimeCode", cash ? "C" : "");
    b.Set("VPropiet", r, "OwnerTaxId", taxId);
    b.Add("VPropiet", r);

    if (!noTaxId && Pick(1, 100) > 2) {
      std::string f = b.Start("UFiscal");
      b.Set("UFiscal", f, "FiscalName", fiscalName);
      b.Set("UFiscal", f, "FiscalTaxId", taxId);
      b.Add("UFiscal", f);
    }

    const int groups = Pick(1, 100) <= 55 ? 1 : Pick(2, 3);
    const char* home = Pick(1, 100) <= 88 ? "01" : demo::PickOf(territories);
    for (int g = 1; g <= groups; ++g) {
      const std::string group = Digits(code, 4) + Digits(g, 4);
      const char* territory = (g == 2 && Pick(1, 100) <= 10) ? demo::PickOf(territories) : home;
      std::string gr = b.Start("VGrups");
      b.Set("VGrups", gr, "GroupCode", group);
      b.Set("VGrups", gr, "GroupName", demo::PropertyName());
      b.Set("VGrups", gr, "GroupTerritory", territory);
      b.Add("VGrups", gr);
      Periods(b, group, quarters, cash, regimeDate);
    }
  }
}

}  // namespace

int CmdDemo(const std::vector<std::string>& args) {
  int owners = 300;
  os::DateTime today = os::Now();
  std::string dirArg;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--owners" && i + 1 < args.size()) {
      const std::string& n = args[++i];
      if (n.empty() || n.size() > 4 || n.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(n) < 1) {
        Error("--owners takes a number from 1 to 9999");
        return 2;
      }
      owners = std::stoi(n);
    } else if (args[i] == "--today" && i + 1 < args.size()) {
      // The reference date instead of today's (repeatable data sets).
      const std::string& d = args[++i];
      std::string unused;
      std::string record(4, '\0');
      if (!EncodeField({"today", 0, records::FieldType::Date, 4}, d, record, unused) || d.empty()) {
        Error("--today takes a date YYYYMMDD");
        return 2;
      }
      today.year = std::stoi(d.substr(0, 4));
      today.month = std::stoi(d.substr(4, 2));
      today.day = std::stoi(d.substr(6, 2));
    } else if (dirArg.empty() && args[i].rfind("--", 0) != 0) {
      dirArg = args[i];
    } else {
      Error("usage: kap demo DIR [--owners N] [--today YYYYMMDD]");
      return 2;
    }
  }
  if (dirArg.empty()) {
    Error("usage: kap demo DIR [--owners N] [--today YYYYMMDD]");
    return 2;
  }
  const std::string dir = DirArg(dirArg);
  UseDataStore(dir);

  // Every file must exist and be empty: the demo never mixes with real data.
  std::vector<RecordFile> files(records::Layouts().size());
  bool ok = true;
  for (std::size_t i = 0; i < files.size() && ok; ++i) {
    const records::TableLayout& table = records::Layouts()[i];
    if (!TableExists(dir, table)) {
      Error("no record file " + TablePath(dir, table) + " (run kap init first)");
      ok = false;
      break;
    }
    int status = OpenTable(dir, table, files[i]);
    if (status == 0 && !recman::LockFileExclusive(files[i].path)) status = recman::kStatusFileLocked;
    std::vector<std::string> existing;
    if (status == 0) status = ReadAll(files[i], existing);
    if (status != 0) {
      Error("cannot use " + files[i].path + ": " + StatusText(status));
      ok = false;
    } else if (!existing.empty()) {
      Error(files[i].path + " already holds records; the demo needs an empty data tree");
      ok = false;
    }
  }

  Builder b;
  if (ok) {
    os::SeedRandom(kDemoSequence);
    Territories(b);
    Owners(b, owners, LastQuarters(today));
    ok = b.ok;
  }
  std::size_t total = 0;
  for (std::size_t i = 0; i < files.size() && ok; ++i) {
    std::string error;
    const std::vector<std::string>& list = b.tables[records::Layouts()[i].baseName].records;
    if (!StoreAll(files[i], list, false, error)) {
      Error(error);
      ok = false;
      // Empty again the files already filled.
      for (std::size_t k = 0; k < i; ++k) StoreAll(files[k], {}, true, error);
    }
    total += list.size();
  }
  for (RecordFile& f : files) {
    if (f.open) recman::UnlockFileExclusive(f.path);
    CloseTable(f);
  }
  if (!ok) return 1;
  std::cout << "Demo data: " << owners << " owners, " << total << " records in " << dir << "\n";
  return 0;
}

}  // namespace kap
