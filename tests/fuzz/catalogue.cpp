// The message catalogue (LOCALE\RUVOZ303.LNG) damaged, through Translate in
// each language: the texts the file seems to hold, texts it lacks, and the
// file rewritten while the program runs (read again, parsed again).
// Expectations: a text without a record comes back unchanged; two lookups of
// the same text agree.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/os.h"
#include "settings/catalogue.h"
#include "settings/config.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

// The first item of each line, with and without its quotes: the keys the
// file looks as if it held.
std::vector<std::string> Probes(const std::string& file) {
  std::vector<std::string> out = {"", "ANY", "\"", ","};
  std::size_t start = 0;
  while (start < file.size() && out.size() < 24) {
    std::size_t nl = file.find('\n', start);
    if (nl == std::string::npos) nl = file.size();
    const std::string line = file.substr(start, nl - start);
    const std::string item = line.substr(0, line.find(','));
    out.push_back(item);
    if (item.size() >= 2 && item.front() == '"') out.push_back(item.substr(1, item.find('"', 1) - 1));
    start = nl + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  os::MakeDirs(fuzz::WorkDir() + "LOCALE");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string file = fuzz::Text(data, size);
  const std::string path = fuzz::WorkDir() + "LOCALE/RUVOZ303.LNG";
  settings::ResetCatalogueForTests();
  settings::DataRoot = fuzz::WorkDir();
  settings::FormName = "RUVOZ303";
  fuzz::PutFile(path, file);
  const std::vector<std::string> probes = Probes(file);
  static const char* const kLanguages[] = {"SPA", "GLG", "OCI", "XYZ"};
  for (const char* language : kLanguages) {
    settings::Idioma = language;
    for (const std::string& p : probes) fuzz::Check(settings::Translate(p) == settings::Translate(p), "two lookups disagree");
    const std::string absent(file.size() + 1, 'A');  // longer than any text the file can hold
    fuzz::Check(settings::Translate(absent) == absent, "a text without a record changed");
  }
  // Rewritten meanwhile: half of it, as a writer that was cut short leaves it.
  fuzz::PutFile(path, file.substr(0, file.size() / 2));
  settings::Idioma = "SPA";
  for (const std::string& p : probes) settings::Translate(p);
  return 0;
}
