// Help topics: a damaged AJUDA\topic.HLP shown by the help viewer on the
// headless console, driven by the keys of the input's first line (see
// PushScript: ^ _ ( ) ` ~ scroll, ? opens the general topic, Esc leaves; when
// the keys run out the viewer is left as with Esc). The general topic
// UUTIMENU is the same file when the input's length is odd, else missing.
// Expectations: every window and attribute opened is closed again and the
// screen and cursor are as before.
#include <cstdint>
#include <string>

#include "platform/os/os.h"
#include "screen/windows.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  os::MakeDirs(fuzz::WorkDir() + "AJUDA");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string keys, file;
  fuzz::FirstLine(fuzz::Text(data, size), keys, file);
  if (keys.size() > 200) return 0;
  fuzz::ResetScreenWorld();
  const std::string dir = fuzz::WorkDir() + "AJUDA/";
  fuzz::PutFile(dir + "TEMA.HLP", file);
  if (size % 2 == 1) fuzz::PutFile(dir + "UUTIMENU.HLP", file);
  else os::DeleteFile(dir + "UUTIMENU.HLP");

  fuzz::PaintScreen();
  const std::string before = fuzz::ScreenImage();
  fuzz::PushScript(keys);
  screen::HelpViewer("TEMA");
  fuzz::Check(screen::WinDepth() == 0, "a window is left open");
  fuzz::Check(screen::AttrDepth() == 0, "a saved attribute is left");
  fuzz::Check(fuzz::ScreenImage() == before, "the screen is not restored");
  return 0;
}
