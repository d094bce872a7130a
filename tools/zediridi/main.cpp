// ZEDIRIDI: renders the print spool TmpDir + "zediridi.tmp" on its device.
// No arguments; the configuration is read as the interactive program reads it.
//
// A problem is reported on standard error (UTF-8, one line), which the
// program that started it keeps in TmpDir + "zediridi.err" and shows the
// operator. A spool without pages makes nothing (exit code 3): the earlier
// report stays as it was. The spool is left where it is.
#include <cstdio>
#include <string>

#include "app/config_setup.h"
#include "output/print_device.h"
#include "output/print_program.h"
#include "platform/console/console.h"
#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "tools/zediridi/zediridi.h"

namespace {

using settings::Translate;

int Report(const std::string& message, int code) {
  std::fputs((console::Cp850ToUtf8("ZEDIRIDI: " + message) + "\n").c_str(), stderr);
  return code;
}

// Shell quoting of one argument.
std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// Hands the PDF to the system's print spooler. lp's own output is kept off
// the terminal; its complaint, if any, goes into the message.
int SendToQueue(const std::string& queue, const std::string& pdf) {
  const std::string file = settings::TmpDir + "zediridi." + std::to_string(os::ProcessId()) + ".pdf";
  const std::string complaint = file + ".lp";
  if (!os::WriteFileAtomic(file, pdf))
    return Report(Translate("no es pot escriure el fitxer") + " " + os::HostPath(file), 2);
  const int rc = os::RunShell("command -v lp >/dev/null 2>&1 || exit 127; exec lp -d " + Quote(queue) + " " +
                              Quote(os::HostPath(file)) + " </dev/null >/dev/null 2>" +
                              Quote(os::HostPath(complaint)));
  std::string said;
  os::ReadFile(complaint, said);
  os::DeleteFile(complaint);
  os::DeleteFile(file);
  if (rc == 127 || rc == -1) return Report(Translate("no es troba el programa lp (paquet cups-client)"), 2);
  if (rc != 0) {
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ')) said.pop_back();
    for (char& c : said)
      if (static_cast<unsigned char>(c) < 32) c = ' ';
    std::string m = Translate("la cua d'impressi\xA2 no ha acceptat el treball") + ": " + queue;
    if (!said.empty()) m += " (" + said + ")";
    return Report(m, 2);
  }
  return 0;
}

// Starts the desktop's PDF viewer without waiting for it; nothing happens
// when there is no display or no viewer.
void ShowOnDesktop(const std::string& path) {
  if (os::GetEnv("DISPLAY").empty() && os::GetEnv("WAYLAND_DISPLAY").empty()) return;
  os::RunShell("xdg-open " + Quote(os::HostPath(path)) + " </dev/null >/dev/null 2>&1 &");
}

int Run() {
  app::ConfigSetup();
  zediridi::Document doc;
  std::string error;
  if (!zediridi::ReadSpool(settings::TmpDir + "zediridi.tmp", doc, error)) return Report(error, 1);

  if (doc.pages.empty()) return output::kNothingToPrint;  // no blank report over the last one
  const output::PrintTarget target = output::PrintDestination(doc.device);
  if (target.kind == output::PrintKind::Text) {
    if (!os::WriteFileAtomic(target.path, zediridi::RenderText(doc)))
      return Report(Translate("no es pot escriure el fitxer") + " " + os::HostPath(target.path), 2);
  } else {
    std::string pdf;
    if (!zediridi::RenderPdf(doc, pdf, error)) return Report(error, 2);
    if (target.kind == output::PrintKind::Printer) return SendToQueue(target.queue, pdf);
    if (!os::WriteFileAtomic(target.path, pdf))
      return Report(Translate("no es pot escriure el fitxer") + " " + os::HostPath(target.path), 2);
    ShowOnDesktop(target.path);
  }
  return 0;
}

}  // namespace

int main() { return Run(); }
