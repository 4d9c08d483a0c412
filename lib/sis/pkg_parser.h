#pragma once
// The package-script (.pkg) language of pre-Symbian-9 makesis: languages,
// the package header, requisites, files and language blocks, embedded
// packages, options lines and IF/ELSEIF/ELSE/ENDIF blocks.

#include "base/bytes.h"
#include "sis/pkg_text.h"
#include "base/result.h"
#include "sis/sis_package.h"

#include <string_view>

namespace kastra::sis {

// A script is text; anything larger than this is not one.
inline constexpr std::size_t kMaxScriptBytes = 4 * 1024 * 1024;

// Parses a whole script. A byte-order mark selects UTF-16 or UTF-8; a script
// without one is read as marklessAs: Windows-1251, or UTF-8 for makesis
// --utf8 (see decodeText). Numbers are decimal unless written 0x...; UIDs too.
// The result holds every statement; file contents are left empty for the
// builder. On failure the message starts with "line N: " and says what is
// wrong there.
Result<PackageSpec> parsePackageScript(ByteSpan bytes, TextEncoding marklessAs = TextEncoding::Windows1251);

// The same for text already decoded to code points.
Result<PackageSpec> parsePackageScript(std::u32string_view text);

} // namespace kastra::sis
