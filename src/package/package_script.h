#pragma once
// The package script makesis builds a theme package from, and the welcome
// text the package shows during installation. Both are Windows-1251 text
// with CR LF line ends, as the Windows-era tools read them.

#include "base/result.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <span>

namespace kastra {

// Font numbers run from 0 to 65534; the font is installed on the handset as
// c:\system\fonts\<number>.gdr.
inline constexpr std::uint32_t MaxFontNumber = 65534;

// Lines of the script; file line k stands on line 8 + 2k.
inline constexpr int PackageScriptLines = 62;
inline constexpr int PackageScriptFiles = 27;

// One file the package installs: its name in the package folder and where
// it goes on the handset (empty for the welcome text, which is only shown).
struct ScriptFile {
    const char* source;
    const char* destination;
    const char* options;   // ",FT,TA" and the like; empty for a plain file
};

// The 27 files in script order. The font's destination is the fonts folder;
// its file name is the font number (see PackageScript).
std::span<const ScriptFile> packageScriptFiles();

// Why a theme name cannot stand in the script, or nothing when it can. A
// double quote would end the name early, and a line break (or any other
// control character) would start a script line of its own: a file line
// there would be packed and installed. The empty name is the caller's check.
std::optional<QString> themeNameProblem(const QString& themeName);

// The whole script, 62 lines each ended by CR LF, Windows-1251. Fails (with
// the reason in English) for a name themeNameProblem refuses or a font number
// above MaxFontNumber.
Result<QByteArray> PackageScript(const QString& themeName, std::uint32_t fontNumber);

// The font number for a build: drawn uniformly from 0 to 65534 by a generator
// seeded with seed. The same seed gives the same number on every platform.
std::uint32_t DrawFontNumber(std::uint64_t seed);

// A seed from the clock, different for every build.
std::uint64_t ClockSeed();

// The welcome text as Hello.txt holds it: every line break (CR LF, CR or LF
// alone, the Unicode line and paragraph separators) written as CR LF, no
// break added at the end, Windows-1251 (characters it lacks become '?').
QByteArray HelloText(const QString& greeting);

// The welcome text GreetingMemo starts with: six lines, each ended by
// CR LF.
QString DefaultGreeting();

} // namespace kastra
