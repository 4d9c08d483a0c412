#pragma once
// Text encodings of package scripts and of the text files (FT) they show
// during installation, and the UTF-16 strings a SIS file stores.

#include "base/bytes.h"
#include "base/utf.h"   // toUtf8, utf8ToUtf16, isValidUtf8
#include "base/result.h"

#include <string>
#include <string_view>

namespace kastra::sis {

enum class TextEncoding { Utf16LE, Utf16BE, Utf8WithBom, Utf8, Windows1251 };

struct DecodedText {
    // Code points. A UTF-16 surrogate that has no partner is kept as its own
    // value so that converting back to UTF-16 gives the same code units.
    std::u32string text;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Decides the encoding and decodes. A byte-order mark decides: UTF-16 (either
// order) or UTF-8. Text without a mark is read as marklessAs, which is
// Windows-1251 (what the SDK's makesis reads on a Russian Windows) or UTF-8
// (makesis --utf8); a mark-less text is never guessed from its bytes, because
// Windows-1251 names such as "Рё" are valid UTF-8 too. The mark is not part of
// the text. Fails, naming the line, on UTF-16 with an odd byte count and on
// UTF-8 (with a mark, or chosen) whose bytes are not valid UTF-8.
Result<DecodedText> decodeText(ByteSpan bytes, TextEncoding marklessAs = TextEncoding::Windows1251);

// Code points to UTF-16; values above U+FFFF become surrogate pairs.
std::u16string toUtf16(std::u32string_view text);

// The 8-bit strings of packages without the Unicode option, read as
// Windows-1252.
std::u16string windows1252ToUtf16(ByteSpan bytes);

// UTF-16 code units as little-endian bytes, no byte-order mark.
Bytes utf16LeBytes(std::u16string_view text);

// Lower-cases ASCII, Latin-1 and Cyrillic capitals so that file names can be
// compared without regard to letter case, as Windows and the handset do.
std::u16string foldCase(std::u16string_view text);


} // namespace kastra::sis
