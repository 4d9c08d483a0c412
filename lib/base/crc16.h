#pragma once
// The 16-bit CRC of pre-Symbian-9 installation packages and the UID checksum
// (UID4) built from it.

#include "base/bytes.h"

#include <cstdint>

namespace kastra {

// CRC-16 with polynomial 0x1021 (x^16 + x^12 + x^5 + 1), most significant bit
// first, no reflection, no final XOR: the XMODEM parameter set. Start with
// crc = 0 and feed the data in pieces by passing the previous result back in.
// "123456789" gives 0x31C3.
std::uint16_t crc16(ByteSpan data, std::uint16_t crc = 0);

// UID4 of a file whose first three UIDs are given: the low 16 bits are the
// CRC-16 of the six bytes at even offsets of the 12 little-endian UID bytes,
// the high 16 bits that of the six bytes at odd offsets.
std::uint32_t uidChecksum(std::uint32_t uid1, std::uint32_t uid2, std::uint32_t uid3);

} // namespace kastra
