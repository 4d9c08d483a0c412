#include "base/crc16.h"

#include <array>

namespace kastra {

namespace {

constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned v = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            v = (v & 0x8000u) ? ((v << 1) ^ 0x1021u) : (v << 1);
        table[i] = static_cast<std::uint16_t>(v);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = makeTable();

} // namespace

std::uint16_t crc16(ByteSpan data, std::uint16_t crc)
{
    unsigned c = crc;
    for (const std::uint8_t b : data)
        c = ((c << 8) ^ kTable[((c >> 8) ^ b) & 0xFFu]) & 0xFFFFu;
    return static_cast<std::uint16_t>(c);
}

std::uint32_t uidChecksum(std::uint32_t uid1, std::uint32_t uid2, std::uint32_t uid3)
{
    Bytes uids;
    ByteWriter w(uids);
    w.u32(uid1);
    w.u32(uid2);
    w.u32(uid3);
    std::array<std::uint8_t, 6> even{};
    std::array<std::uint8_t, 6> odd{};
    for (std::size_t i = 0; i < 6; ++i) {
        even[i] = uids[2 * i];
        odd[i] = uids[2 * i + 1];
    }
    return static_cast<std::uint32_t>(crc16(even)) | (static_cast<std::uint32_t>(crc16(odd)) << 16);
}

} // namespace kastra
