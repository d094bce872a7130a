// goneprobe: holds owner 1 of DATAROOT's VPropiet locked and waits for keys
// through the screen layer, as the program does at any prompt. It writes its
// process id to MARKER at start and, when it ends by whatever exit path,
// whether the record files were still open then. Used by the end-to-end test
// of a terminal that goes away.
//
//   goneprobe DATAROOT MARKER [close-input]
// "close-input" closes the input descriptor once the probe is ready.
// The key q ends it normally.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/console/console.h"
#include "records/btr.h"
#include "screen/keys.h"
#include "settings/config.h"

namespace {

std::string g_marker;

void Note(const char* mode, const std::string& text) {
  if (FILE* f = std::fopen(g_marker.c_str(), mode)) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
}

void NoteEnd() { Note("a", std::string("ended files=") + (records::BtrCurrentKey(6).empty() ? "closed" : "open") + "\n"); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: goneprobe DATAROOT MARKER [close-input]\n");
    return 2;
  }
  settings::DataRoot = argv[1];
  settings::TmpDir = argv[1];
  settings::Idioma = "CAT";
  g_marker = argv[2];
  Note("w", "pid " + std::to_string(getpid()) + "\n");
  if (!console::Start(console::Backend::Terminal)) return 3;
  std::string owner;
  int status = 0;
  records::BtrOpen(6, settings::DataRoot + "DADES\\VPropiet", owner, status);
  records::BtrLockMode(6, "B", status);
  records::BtrGetByKey(6, 0, std::string("\x80\x81", 2), 0, status);
  std::atexit(NoteEnd);
  console::WriteText(2, 2, status == 0 ? "READY" : "NO RECORD");
  if (argc > 3 && std::string(argv[3]) == "close-input") ::close(STDIN_FILENO);
  for (;;) {
    int key = 0;
    screen::WaitKey(key);
    if (key == 'q') break;
  }
  records::BtrCloseAll(status);
  console::Stop();
  return 0;
}
