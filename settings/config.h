// Configuration of the run: values read once at start from the environment
// and the settings files (filled by the main routine's set-up), read-only
// afterwards; the settings-file reader and writer; the program-wide form name.
#pragma once

#include <cstddef>
#include <string>

namespace settings {

// ---- configuration values (set once at start) ------------------------------------
// The folders are absolute after the set-up (relative ones are taken from the
// directory the program started in), or empty for the current directory.
extern std::string DataRoot;       // "KAPROOT", a prefix ending with "/"
extern std::string ExeDir;         // "KAPEXE", ending with "/"
extern std::string TmpDir;         // "KAPTMP", else TermDir
extern std::string TermDir;        // [Terminal] Dir of the session file, else "KAPTERM" (not "TERM")
extern std::string MenuTitle;      // " " + [Menu] Titol + " "
extern std::string HelpTopic;      // [Menu] NomMenu
extern int ColorPairs[2][5];       // [0][slot] foreground, [1][slot] background
extern std::string SysDate;        // working date, packed (4 bytes)
extern std::string OutputSetting;  // [Sistema] Sortida
extern std::string Idioma;         // 3 characters: "CAT", "SPA", "GLG", "OCI" or other
extern std::string EnvMode;        // "CGI", "WIN" or "DOS"
extern std::string FormName;       // "RUVOZ303"

// Back to the state before the set-up (tests).
void ResetConfigForTests();
// DataRoot + "Kova.ini".
std::string UserSettingsFile();

// ---- small rules shared by the set-up and the readers of settings ------------------
// A directory prefix with its separator: "/" appended unless the text is
// empty or already ends with ":", "\" or "/".
std::string WithSeparator(const std::string& dir);
// The number a settings value starts with (blanks around ignored, an optional
// sign, then digits); 0 when it starts with anything else.
long LeadingNumber(const std::string& text);
// `text` blank-padded or cut to `width` characters.
std::string FixedWidth(const std::string& text, std::size_t width);

// ---- settings files ----------------------------------------------------------------
std::string IniRead(const std::string& file, const std::string& section, const std::string& key);
// Shows nothing on failure; true when the file holds the change (written, or
// already as asked), false when it could not be read or replaced.
bool IniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value);

}  // namespace settings
