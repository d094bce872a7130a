// The seven data files of the program and their record buffers, opened once
// by the main routine and read by the form hooks and the return.
#pragma once

#include <string>

namespace records {

// File numbers.
constexpr int kOwnerFile = 6;        // "DADES\VPropiet"
constexpr int kFiscalFile = 162;     // "DADES\UFiscal"
constexpr int kOfficeFile = 163;     // "TAULES\UHisenda"
constexpr int kGroupFile = 7;        // "DADES\VGrups"
constexpr int kPeriodFile = 30;      // "DADES\VCapPeri"
constexpr int kLineFile = 31;        // "DADES\VLinPeri"
constexpr int kTerritoryFile = 270;  // "TAULES\UTerrito"

// Record buffers, registered at open; every read lands in its file's buffer.
extern std::string OwnerRecord, FiscalRecord, OfficeRecord, GroupRecord, PeriodRecord,
    LineRecord, TerritoryRecord;

// The file's name under DataRoot ("DADES\\VPropiet"); "" for another number.
const char* DataFileName(int number);

// Opens the seven files in order, each with DataRoot + its relative name. A
// file that cannot be opened stops the program inside BtrOpen.
void OpenDataFiles();

}  // namespace records
