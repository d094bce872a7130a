// The program's main routine: set-up, form, record files, return driver, end.
#pragma once

#include <string>

namespace app {

// Runs the whole program and returns the exit code.
int MainFlow();

// The period to propose in block 1: the last day of the calendar quarter
// before the working date, packed and in the digit form of date fields.
// Both are the empty date ("" digits) when the working date has no valid month.
struct PeriodEnd {
  std::string packed;
  std::string digits;
};
PeriodEnd ProposedPeriodEnd(const std::string& packedSysDate);

// ---- steps of the main routine (app/main_steps.cpp) ---------------------------
// Loads DataRoot + "FORMS\" + FormName + ".JPN"; false, after showing why
// on the screen, when the program cannot go on without it.
bool LoadProgramForm();
// The form file's refusal on standard error (after the console is stopped).
void ReportFormError();
// Presets block 1 (mode, period end, owner range, payment, annual summary).
void PresetSelection(const PeriodEnd& period);
// Opens the seven record files.
void OpenDataFiles();
// [Presentador] "Poblacio" and "CCC" of the user settings file into block 2.
void ReadPresenterSettings();
// Block 2 (town and account, trailing blanks removed) into PresenterTown and
// PresenterAccount.
void TakePresenterFromForm();
// The return driver: the whole dialogue and all outputs.
void RunReturnDriver();
// Block 2 back into [Presentador] of the user settings file; false (after
// a message to the operator) when the file could not be written.
bool SavePresenterSettings();
// Closes every open file and resets the record manager.
void CloseDataFiles();

// Presenter town and bank account as the main routine holds them.
extern std::string PresenterTown;
extern std::string PresenterAccount;
// The period proposed at start.
extern PeriodEnd ProposedPeriod;

}  // namespace app
