// Shared pieces of the fuzz targets: a private working folder, the input cut
// into parts, scripted keys for the headless console, checks that stop the
// run when an expectation breaks.
//
// Every target defines LLVMFuzzerTestOneInput (and may define
// LLVMFuzzerInitialize). Built with clang and -DKOVA_FUZZ=ON they are libFuzzer
// programs; in the ordinary build the same sources are linked with
// replay_main.cpp, which runs each file of the target's corpus once (CTest).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// A folder of this process, made on first use and removed at exit; ends with "/".
const std::string& WorkDir();
// Writes `data` to `path` (host path), replacing it; stops the run when it cannot.
void PutFile(const std::string& path, const std::string& data);
std::string GetFile(const std::string& path);  // "" when missing

// The input as text.
inline std::string Text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}
// The input cut into `parts` pieces at the lines that hold only "---" (a
// piece that is not there is empty): several files in one input.
std::vector<std::string> Parts(const std::string& input, std::size_t parts);
// The first line (without "\n") and what follows it.
void FirstLine(const std::string& input, std::string& line, std::string& rest);

// Headless console, settings and screen state back to the start, every
// folder of the configuration on WorkDir(), language "CAT".
void ResetScreenWorld();
// A screen full of varied characters and attributes, so that what is not
// restored shows.
void PaintScreen();
// Every cell and the cursor, to compare.
std::string ScreenImage();

// Script letters as keys on the headless console. Printable characters are
// themselves, with these names for the rest:
//   '\x1b' Esc, '\r' Enter, '\b' Backspace, '<' Left, '>' Right, '{' Ctrl+Left,
//   '}' Ctrl+Right, '^' Up, '_' Down, '(' PgUp, ')' PgDn, '`' Home, '~' End,
//   '?' F1, '!' Alt+F, '@' Alt+X, '#' Alt+C.
void PushScript(const std::string& script);

// Standard output and error of the C++ streams go nowhere (tools that talk).
void SilenceStreams();

// Stops the run (abort) with `what` when `ok` is false: the fuzzer reports it
// as a crash with the input that caused it.
void Check(bool ok, const char* what);

}  // namespace fuzz
