#include "handset/e32uid.h"

#include "base/crc16.h"
#include "handset/errors.h"

#include <cstdio>

namespace kastra::e32 {

namespace {

std::string hex32(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(v));
    return buf;
}

} // namespace

void writeCheckedUids(ByteWriter& out, const Uids& uids)
{
    out.u32(uids.uid1);
    out.u32(uids.uid2);
    out.u32(uids.uid3);
    out.u32(uidChecksum(uids.uid1, uids.uid2, uids.uid3));
}

Result<Uids> readCheckedUids(ByteReader& in)
{
    Uids uids;
    std::uint32_t check = 0;
    if (!in.u32(uids.uid1) || !in.u32(uids.uid2) || !in.u32(uids.uid3) || !in.u32(check))
        return fail(HandsetError::Truncated, "file too short for its UID header (16 bytes)");
    const std::uint32_t expected = uidChecksum(uids.uid1, uids.uid2, uids.uid3);
    if (check != expected)
        return fail(HandsetError::Damaged,
                    "UID checksum is " + hex32(check) + ", the UIDs " + hex32(uids.uid1) + " " + hex32(uids.uid2) + " "
                        + hex32(uids.uid3) + " need " + hex32(expected));
    return uids;
}

} // namespace kastra::e32
