#pragma once
// The run-length codings of MBM bitmap data. Each one works on the whole
// uncompressed buffer (all rows, row padding included) as one stream, so runs
// may cross row ends.
//
// The encoders reproduce bmconv's output byte for byte, quirks included, so
// that our files equal the SDK tool's. Each returns nothing when bmconv gives
// up on compression (the bitmap is then stored raw):
//   byte RLE     output above 3/4 of the raw size (raw/2 + raw/4),
//   16- and 24-bit   output above 7/8 of the raw size,
//   12-bit       never (at most one word per input word).
//
// The decoders are bounded by their output: they loop while output remains,
// refuse a run or literal longer than what is left, and fail when the input
// ends first. Input left over once the picture is complete is ignored, as the
// phone does.

#include "base/bytes.h"
#include "base/result.h"

#include <optional>
#include <span>

namespace kastra::mbm {

// Byte RLE (compression 1), for every depth up to 8 bits: a signed byte n;
// 0..127 repeats the next byte n + 1 times, -128..-1 copies -n bytes.
std::optional<Bytes> compressByteRle(ByteSpan raw);
Result<void> expandByteRle(ByteSpan in, std::span<std::uint8_t> out);

// 12-bit RLE (compression 2): little-endian words, run length - 1 in the top
// nibble, the 0x0RGB value below. raw.size() must be even.
Bytes compressTwelveBitRle(ByteSpan raw);
Result<void> expandTwelveBitRle(ByteSpan in, std::span<std::uint8_t> out);

// 16-bit RLE (compression 3): a signed byte n; n >= 0 repeats the next
// little-endian pixel n + 1 times, n < 0 copies -n pixels of 2 bytes.
// raw.size() must be even.
std::optional<Bytes> compressSixteenBitRle(ByteSpan raw);
Result<void> expandSixteenBitRle(ByteSpan in, std::span<std::uint8_t> out);

// 24-bit RLE (compression 4): the same scheme with 3-byte pixels (B, G, R).
// raw.size() must be a multiple of 3.
std::optional<Bytes> compressTwentyFourBitRle(ByteSpan raw);
Result<void> expandTwentyFourBitRle(ByteSpan in, std::span<std::uint8_t> out);

// 32-bit RLE (compression 5, written by later SDKs, read only here): the
// 24-bit scheme, each 3-byte pixel expanded into a 4-byte pixel whose fourth
// byte is left as it was.
Result<void> expandThirtyTwoBitRle(ByteSpan in, std::span<std::uint8_t> out);

} // namespace kastra::mbm
