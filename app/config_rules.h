// The small rules of the configuration set-up, open to tests.
#pragma once

#include <cstddef>
#include <string>

namespace app {

// A directory prefix with its separator: "/" appended unless the text is
// empty or already ends with ":", "\" or "/".
std::string WithSeparator(const std::string& dir);
// The number a settings value starts with (blanks around ignored, an optional
// sign, then digits); 0 when it starts with anything else.
long LeadingNumber(const std::string& text);
// Colour set text (five slots of four digits: foreground, background) into
// pairs[0][slot] (foreground) and pairs[1][slot] (background). A pair that is
// not a colour number 0 to 15 counts as 0.
void ParseColourSet(const std::string& text, int pairs[2][5]);
// `text` blank-padded or cut to `width` characters.
std::string FixedWidth(const std::string& text, std::size_t width);
// [Sistema] Data (its first eight digits) as a 4-byte packed date; the
// empty date when there are none.
std::string PackWorkingDate(const std::string& text);
// "CGI", "WIN" or "DOS" from the environment.
std::string EnvironmentMode();
// DataRoot + "Kova.ini".
std::string UserSettingsFile();

}  // namespace app
