// The print spool zediridi.tmp as the print program reads it, damaged: the
// reader, the device it names, and both renderings of what it accepts.
// Expectations: an accepted spool has no empty page; the text has one form
// feed between pages; the PDF is made; the device names a file or a queue.
#include <cstdint>
#include <string>

#include "output/print_device.h"
#include "settings/config.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/zediridi/zediridi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  settings::Idioma = "CAT";
  settings::TmpDir = fuzz::WorkDir();
  const std::string path = fuzz::WorkDir() + "zediridi.tmp";
  fuzz::PutFile(path, fuzz::Text(data, size));
  zediridi::Document doc;
  std::string error;
  if (!zediridi::ReadSpool(path, doc, error)) {
    fuzz::Check(!error.empty() && doc.pages.empty(), "a refused spool without a message, or with pages");
    return 0;
  }
  for (const zediridi::Page& p : doc.pages) {
    fuzz::Check(!p.texts.empty(), "an empty page is kept");
    for (const zediridi::Placed& t : p.texts)
      fuzz::Check(t.line >= 0 && t.line < p.lines && t.column >= 1 && t.pitch >= 0 && t.pitch <= 2,
                  "a text off its page");
  }
  const output::PrintTarget target = output::PrintDestination(doc.device);
  if (target.kind == output::PrintKind::Printer) fuzz::Check(!target.queue.empty(), "a printer without a queue");
  else fuzz::Check(!target.path.empty(), "an output file without a name");

  const std::string text = zediridi::RenderText(doc);
  std::size_t feeds = 0;
  for (char c : text) feeds += c == '\f';
  fuzz::Check(feeds + 1 == doc.pages.size() || (doc.pages.empty() && feeds == 0), "form feeds do not match pages");

  std::string pdf;
  fuzz::Check(zediridi::RenderPdf(doc, pdf, error), "an accepted spool cannot be made into a PDF");
  fuzz::Check(pdf.compare(0, 5, "%PDF-") == 0, "the PDF does not start as one");
  return 0;
}
