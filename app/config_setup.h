// The configuration set-up of the main routine, and its small rules open to
// tests. The values it fills live in settings/config.h.
#pragma once

#include <string>

namespace app {

// Fills every configuration value from the environment and the settings files.
void ConfigSetup();

// Colour set text (five slots of four digits: foreground, background) into
// pairs[0][slot] (foreground) and pairs[1][slot] (background). A pair that is
// not a colour number 0 to 15 counts as 0.
void ParseColourSet(const std::string& text, int pairs[2][5]);
// [Sistema] Data (its first eight digits) as a 4-byte packed date; the
// empty date when there are none.
std::string PackWorkingDate(const std::string& text);
// "CGI", "WIN" or "DOS" from the environment.
std::string EnvironmentMode();

}  // namespace app
