// The calculator's tape: a damaged KAPCALC.TMP in the terminal folder, then
// the keys of the input's first line (see PushScript; when they run out the
// calculator is left as with Esc).
// Expectations: the strip is closed and the screen, attributes and key map
// are as before; the figure taken is digits with at most one point; the state
// file written reads back: opening and closing the calculator again writes
// the very same file.
#include <cstdint>
#include <string>

#include "platform/console/console.h"
#include "screen/calculator.h"
#include "screen/keys.h"
#include "screen/windows.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string keys, file;
  fuzz::FirstLine(fuzz::Text(data, size), keys, file);
  if (keys.size() > 300) return 0;
  fuzz::ResetScreenWorld();
  const std::string path = fuzz::WorkDir() + "KAPCALC.TMP";
  fuzz::PutFile(path, file);

  fuzz::PaintScreen();
  const std::string before = fuzz::ScreenImage();
  fuzz::PushScript(keys);
  const std::string figure = screen::Calculator();
  fuzz::Check(screen::WinDepth() == 0, "a window is left open");
  fuzz::Check(screen::AttrDepth() == 0, "a saved attribute is left");
  fuzz::Check(screen::KeyMapSavedCount() == 0, "a saved key map is left");
  fuzz::Check(fuzz::ScreenImage() == before, "the screen is not restored");
  fuzz::Check(figure.find_first_not_of("0123456789.") == std::string::npos &&
                  figure.find('.') == figure.rfind('.') && figure != ".",
              "the figure taken is not a number");

  const std::string saved = fuzz::GetFile(path);
  fuzz::Check(!saved.empty(), "no state file written");
  console::FlushInput();
  screen::Calculator();  // no keys: opened and left at once
  fuzz::Check(fuzz::GetFile(path) == saved, "the state written does not read back");
  return 0;
}
