// kap run303 DIR --mode S|R --date YYYYMMDD [--from N] [--to N]
//   [--payment N|D|E] [--annual S|N] [--town TEXT] [--account CCC]
// One run of the return without the screen: the interactive program's own
// set-up, form, presets, field rules and run, with the options standing for
// what the operator types into blocks 1 and 2.
#include <cstdio>
#include <string>
#include <vector>

#include "app/config_setup.h"
#include "app/main_flow.h"
#include "format/dates.h"
#include "forms/block_runner.h"
#include "forms/form_model.h"
#include "forms/hooks.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "records/btr.h"
#include "screen/field_editor.h"
#include "screen/windows.h"
#include "settings/config.h"
#include "tools/kap/kap.h"
#include "vat303/driver.h"

namespace kap {
namespace {

// An option and the field of the form it fills.
struct OptionField {
  const char* name;
  int block;
  int field;
};
// In this order, as the operator would fill them: the output mode first,
// since its rule opens and closes the fields after it.
const OptionField kOptions[] = {
    {"--mode", 1, 1},    {"--date", 1, 2},   {"--from", 1, 3},    {"--to", 1, 4},
    {"--payment", 1, 5}, {"--annual", 1, 6}, {"--town", 2, 1},    {"--account", 2, 2},
};

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// One of the codes of the field's choice list, as a whole: "SX" is not "S".
bool IsChoiceCode(const forms::Field& field, const std::string& value) {
  std::string description;
  return screen::FindChoice(field.Mask, value, description);
}

int Refused(const std::string& option, const std::string& value, const std::string& why) {
  Error("run303: " + option + " " + value + ": " + why);
  app::CloseDataFiles();
  return 2;
}

// What the operator would type for the option: dates as day/month/year.
bool TypedValue(const std::string& option, const std::string& value, std::string& typed, std::string& why) {
  typed = value;
  if (option == "--date") {
    if (value.size() != 8 || !AllDigits(value)) {
      why = "a date is written YYYYMMDD";
      return false;
    }
    typed = value.substr(6, 2) + "/" + value.substr(4, 2) + "/" + value.substr(0, 4);
  } else if (option == "--from" || option == "--to") {
    if (value.size() > 4 || !AllDigits(value)) {
      why = "an owner number is 1 to 4 digits";
      return false;
    }
  } else if (option == "--town" || option == "--account") {
    std::string cp850;
    if (!Utf8ToCp850(value, cp850)) {
      why = "the text holds characters the program cannot store";
      return false;
    }
    typed = cp850;
  }
  return true;
}

std::string ProblemOption(forms::SelectionCheck check, std::string& why) {
  switch (check) {
    case forms::kSelectionNotQuarterEnd:
      why = "the date is not the last day of a quarter (31/3, 30/6, 30/9 or 31/12)";
      return "--date";
    case forms::kSelectionRangeReversed:
      why = "the first owner is above the last";
      return "--from";
    case forms::kSelectionNoTown:
      why = "a filing run needs the presenter's town";
      return "--town";
    case forms::kSelectionNoAccount:
      why = "payment N needs a real charge account (not blank, not all zeros)";
      return "--account";
    default:
      why.clear();
      return "";
  }
}

// The run's settings as the interactive program reads them, with DIR as the
// data root, the temporary folder KAPTMP or DIR, and the program folder
// KAPEXE or kap's own.
void SetUpLikeTheProgram(const std::string& dir) {
  std::string root = DirArg(dir);
  if (root.empty() || root[0] != '/') root = os::CurrentDir() + root;
  os::SetEnv("KAPROOT", root);
  if (os::GetEnv("KAPTMP").empty()) os::SetEnv("KAPTMP", root);
  if (os::GetEnv("KAPEXE").empty()) os::SetEnv("KAPEXE", os::ExecutableDir());
  app::ConfigSetup();
  // The working date is the clock's.
  const os::DateTime now = os::Now();
  char today[9];
  std::snprintf(today, sizeof today, "%04d%02d%02d", now.year, now.month, now.day);
  settings::SysDate = format::PackDigits(today);
  if (!settings::DataRoot.empty()) os::SetCurrentDir(settings::DataRoot);
  settings::FormName = "RUVOZ303";
}

}  // namespace

int CmdRun303(const std::vector<std::string>& args) {
  if (args.empty() || args[0].rfind("--", 0) == 0) {
    Error("run303: the data folder comes first: kap run303 DIR --mode S|R --date YYYYMMDD [options]");
    return 2;
  }
  std::vector<std::pair<const OptionField*, std::string>> given;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const OptionField* option = nullptr;
    for (const OptionField& o : kOptions)
      if (args[i] == o.name) option = &o;
    if (option == nullptr) {
      Error("run303: unknown option '" + args[i] + "'");
      return 2;
    }
    if (i + 1 >= args.size()) {
      Error("run303: " + args[i] + " needs a value");
      return 2;
    }
    given.emplace_back(option, args[++i]);
  }
  for (const char* required : {"--mode", "--date"}) {
    bool found = false;
    for (const auto& g : given) found = found || std::string(g.first->name) == required;
    if (!found) {
      Error(std::string("run303: ") + required + " is required");
      return 2;
    }
  }

  // No screen: the console is the in-memory one, every message box is also a
  // line on standard error, and a record file that cannot be opened ends
  // the run with exit code 1.
  console::Start(console::Backend::Headless);
  screen::SetMessageEcho(true);
  records::SetStopExitCode(1);
  const bool ownSpool = os::GetEnv("KAPTMP").empty();
  SetUpLikeTheProgram(args[0]);
  if (!app::LoadProgramForm()) return 1;
  app::PresetSelection(app::ProposedPeriodEnd(settings::SysDate));
  app::OpenDataFiles();
  app::ReadPresenterSettings();

  // The options in form order, each checked by the field's own rule.
  for (const OptionField& option : kOptions) {
    for (const auto& [o, value] : given) {
      if (o != &option) continue;
      std::string typed, why;
      if (!TypedValue(option.name, value, typed, why)) return Refused(option.name, value, why);
      const forms::Field& field = forms::FieldAt(option.block, option.field);
      if (!field.Mask.empty() && !IsChoiceCode(field, typed))
        return Refused(option.name, value, "not one of the form's choices");
      int fieldNumber = option.field;
      forms::RefusalText.clear();
      if (forms::CheckField(option.block, typed, fieldNumber, 0) != 0)
        return Refused(option.name, value, "refused by the form's check: " + console::Cp850ToUtf8(forms::RefusalText));
    }
  }
  std::string why;
  const std::string problem = ProblemOption(forms::FillSelection(), why);
  if (!problem.empty()) {
    std::string value;
    for (const auto& [o, v] : given)
      if (problem == o->name) value = v;
    return Refused(problem, value, why);
  }

  const std::string spoolFolder = ownSpool ? UseOwnSpoolFolder() : "";
  const int result = vat303::RunReturn(os::IsTerminal(2) ? vat303::RunPresentation::BatchProgress
                                                         : vat303::RunPresentation::Batch);
  RemoveOwnSpoolFolder(spoolFolder);
  app::CloseDataFiles();
  return result;
}

}  // namespace kap
