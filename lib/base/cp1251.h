#pragma once
// Windows-1251 (Cyrillic) code page. Every text file the Windows-era tools and
// the theme builder exchange (Settings.ini, com.txt, package scripts,
// Hello.txt) is in this code page; our sources and Qt speak Unicode.

#include <string>
#include <string_view>

namespace kastra::cp1251 {

// The Unicode code point of one Windows-1251 byte. The one unassigned byte,
// 0x98, maps to U+0098 as Windows' own conversion does.
char32_t toUnicode(unsigned char byte);

// The Windows-1251 byte for a code point, or 0 with ok = false when the code
// page has none.
unsigned char fromUnicode(char32_t cp, bool& ok);

// Whole strings. Encoding replaces what the code page lacks by '?'; decoding
// of malformed UTF-8 input replaces the bad bytes by '?' as well.
std::string toUtf8(std::string_view cp1251Text);
std::string fromUtf8(std::string_view utf8Text);
std::u16string toUtf16(std::string_view cp1251Text);

} // namespace kastra::cp1251
