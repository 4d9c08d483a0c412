#pragma once
// UTF-8 and UTF-16, shared by every text the tools read and write. Malformed
// input never fails: it becomes U+FFFD, one replacement per bad byte or lone
// surrogate.

#include "base/bytes.h"

#include <string>
#include <string_view>

namespace kastra {

// Length of the valid UTF-8 sequence at bytes[i] and its code point in cp, or
// 0 when the bytes there are not one (overlong forms, surrogates and values
// above U+10FFFF included). i must be inside bytes.
std::size_t utf8Sequence(ByteSpan bytes, std::size_t i, char32_t& cp);

// Strict check of a whole text with utf8Sequence.
bool isValidUtf8(ByteSpan bytes);

void appendUtf8(std::string& out, char32_t cp);

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string toUtf8(std::u16string_view text);

// UTF-8 to UTF-16; values above U+FFFF become surrogate pairs.
std::u16string utf8ToUtf16(std::string_view text);

} // namespace kastra
