#pragma once
// Symbian's checked UIDs: three 32-bit UIDs followed by their checksum
// (uidChecksum in crc16.h), the 16-byte header that opens E32Image
// executables and direct file stores (MBM, AIF, GDR).

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>

namespace kastra::e32 {

struct Uids {
    std::uint32_t uid1 = 0;
    std::uint32_t uid2 = 0;
    std::uint32_t uid3 = 0;
    friend bool operator==(const Uids&, const Uids&) = default;
};

// Appends the 16-byte checked-UID header.
void writeCheckedUids(ByteWriter& out, const Uids& uids);

// Reads a 16-byte checked-UID header at the reader's position. Fails when
// fewer than 16 bytes remain or when the stored checksum does not match the
// UIDs (the message gives both values).
Result<Uids> readCheckedUids(ByteReader& in);

// Well-known UIDs of the formats this library writes.
inline constexpr std::uint32_t KDirectFileStoreLayoutUid = 0x10000037;
inline constexpr std::uint32_t KDynamicLibraryUid = 0x10000079;
inline constexpr std::uint32_t KExecutableImageUid = 0x1000007A;
inline constexpr std::uint32_t KUidApp = 0x100039CE;
inline constexpr std::uint32_t KUidAppInfoFile16 = 0x10003A38;
inline constexpr std::uint32_t KUidAppInfoFile8 = 0x1000006A;
inline constexpr std::uint32_t KFontStoreFileUid = 0x10000039;

} // namespace kastra::e32
