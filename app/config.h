// Configuration of the run: values read once at start from the environment
// and the settings files, read-only afterwards; the settings-file reader and
// writer; the program-wide form name.
#pragma once

#include <string>

namespace app {

// ---- configuration values (set by ConfigSetup) ----------------------------------
extern std::string DataRoot;       // "KAPROOT", a prefix ending with "/"
extern std::string ExeDir;         // "KAPEXE"
extern std::string TmpDir;         // "KAPTMP", else TermDir
extern std::string TermDir;        // [Terminal] Dir of the session file, else "TERM"
extern std::string MenuTitle;      // " " + [Menu] Titol + " "
extern std::string HelpTopic;      // [Menu] NomMenu
extern int ColorPairs[2][5];       // [0][slot] foreground, [1][slot] background
extern std::string SysDate;        // working date, packed (4 bytes)
extern std::string OutputSetting;  // [Sistema] Sortida
extern std::string Idioma;         // 3 characters: "CAT", "SPA", "GLG", "OCI" or other
extern std::string EnvMode;        // "CGI", "WIN" or "DOS"
extern std::string FormName;       // "RUVOZ303"

// Fills every value above from the environment and the settings files.
void ConfigSetup();
// Back to the state before ConfigSetup (tests).
void ResetConfigForTests();

// ---- settings files ----------------------------------------------------------------
std::string IniRead(const std::string& file, const std::string& section, const std::string& key);
void IniWrite(const std::string& file, const std::string& section, const std::string& key,
              const std::string& value);

}  // namespace app
