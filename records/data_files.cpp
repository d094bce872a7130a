// The seven data files of the program.
#include "records/data_files.h"

#include <string>

#include "records/btr.h"
#include "settings/config.h"

namespace records {

std::string OwnerRecord, FiscalRecord, OfficeRecord, GroupRecord, PeriodRecord, LineRecord,
    TerritoryRecord;

namespace {

struct DataFile {
  int number;
  const char* name;
  std::string* record;
};
const DataFile kFiles[] = {
    {kOwnerFile, "DADES\\VPropiet", &OwnerRecord},
    {kFiscalFile, "DADES\\UFiscal", &FiscalRecord},
    {kOfficeFile, "TAULES\\UHisenda", &OfficeRecord},
    {kGroupFile, "DADES\\VGrups", &GroupRecord},
    {kPeriodFile, "DADES\\VCapPeri", &PeriodRecord},
    {kLineFile, "DADES\\VLinPeri", &LineRecord},
    {kTerritoryFile, "TAULES\\UTerrito", &TerritoryRecord},
};

}  // namespace

const char* DataFileName(int number) {
  for (const DataFile& f : kFiles)
    if (f.number == number) return f.name;
  return "";
}

void OpenDataFiles() {
  // One shared status: BtrOpen itself reports a file it cannot open and ends
  // the program.
  int status = 0;
  for (const DataFile& f : kFiles) BtrOpen(f.number, settings::DataRoot + f.name, *f.record, status);
}

}  // namespace records
