#pragma once
// How Symbian streams store counts and 16-bit text (used by AIF and GDR files).
//
// A count is a TCardinality: below 128 one byte v << 1; below 16384 two bytes
// (v << 2) | 1; otherwise four bytes (v << 3) | 3.
//
// A 16-bit descriptor is the cardinality of (length << 1) | narrow, followed
// by the text. With narrow = 1 the text is length bytes (8-bit text). With
// narrow = 0 it is length UTF-16 units compressed with the Standard
// Compression Scheme for Unicode (SCSU, Unicode Technical Standard #6), which
// the handset expands until it has length units.

#include "base/bytes.h"
#include "base/utf.h"
#include "base/result.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kastra::e32 {

// The largest count a TCardinality can hold (29 bits).
inline constexpr std::uint32_t KMaxCardinality = 0x1FFFFFFFu;

// Values above KMaxCardinality cannot be stored; callers check first.
void writeCardinality(ByteWriter& out, std::uint32_t value);
Result<std::uint32_t> readCardinality(ByteReader& in);

// SCSU. The encoder writes plain ASCII as single bytes (valid SCSU in its
// initial state) and anything else in Unicode mode (SCU, then UTF-16
// big-endian, quoting the units whose high byte would read as a tag).
Bytes scsuEncode(std::u16string_view text);
// Expands SCSU from the reader until `units` UTF-16 units are produced. Fails
// on a reserved tag, a truncated sequence, or when the input ends first.
Result<std::u16string> scsuDecode(ByteReader& in, std::size_t units);

// A whole 16-bit descriptor as above. Text longer than KMaxCardinality >> 1
// cannot be written (the writer fails).
Result<void> writeDes16(ByteWriter& out, std::u16string_view text);
// Reads a descriptor of at most maxLength units; a longer one is refused
// before anything is allocated. Narrow (8-bit) text is read as Latin-1.
Result<std::u16string> readDes16(ByteReader& in, std::size_t maxLength);

using kastra::toUtf8;
inline std::u16string fromUtf8(std::string_view text) { return utf8ToUtf16(text); }

} // namespace kastra::e32
