// The print device of an output setting: kind and destination.
#include <gtest/gtest.h>

#include <string>

#include "output/print_device.h"
#include "settings/config.h"

namespace {

TEST(PrintDestination, KindAndPlace) {
  settings::TmpDir = "/tmp/t1/";
  using output::PrintKind;
  struct Case {
    const char* device;
    PrintKind kind;
    const char* where;  // path, or queue for a printer
  } cases[] = {
      {"", PrintKind::Pdf, "/tmp/t1/informe.pdf"},
      {"   ", PrintKind::Pdf, "/tmp/t1/informe.pdf"},
      {"PDF", PrintKind::Pdf, "/tmp/t1/informe.pdf"},
      {" pdf ", PrintKind::Pdf, "/tmp/t1/informe.pdf"},
      {"PDF:", PrintKind::Pdf, "/tmp/t1/informe.pdf"},
      {"PDF: /srv/out/q1.pdf ", PrintKind::Pdf, "/srv/out/q1.pdf"},
      {"TXT", PrintKind::Text, "/tmp/t1/informe.txt"},
      {"Txt:llistat.txt", PrintKind::Text, "llistat.txt"},
      {"Oficina_2", PrintKind::Printer, "Oficina_2"},
      {"PDFJET", PrintKind::Printer, "PDFJET"},  // a queue whose name starts like a keyword
      {" TXT2 ", PrintKind::Printer, "TXT2"},
  };
  for (const Case& c : cases) {
    const output::PrintTarget t = output::PrintDestination(c.device);
    EXPECT_EQ(t.kind, c.kind) << c.device;
    EXPECT_EQ(t.kind == PrintKind::Printer ? t.queue : t.path, c.where) << c.device;
  }
  settings::ResetConfigForTests();
}

}  // namespace
