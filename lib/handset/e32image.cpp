#include "handset/e32image.h"

#include "handset/errors.h"

#include <cstdio>

namespace kastra::e32 {

namespace {

std::uint32_t align4(std::size_t n)
{
    return static_cast<std::uint32_t>((n + 3) & ~std::size_t{3});
}

std::string hex(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
    return buf;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// Is [offset, offset + size) inside a file of fileSize bytes?
bool inside(std::uint64_t offset, std::uint64_t size, std::size_t fileSize)
{
    return offset <= fileSize && size <= fileSize - offset;
}

Result<std::size_t> readRelocations(ByteSpan file, std::uint32_t offset, const char* what)
{
    ByteReader in(file, offset);
    std::int32_t size = 0;
    std::int32_t count = 0;
    if (!in.i32(size) || !in.i32(count))
        return fail(HandsetError::Truncated, std::string(what) + " relocation section ends early");
    if (size < 0 || count < 0 || static_cast<std::uint32_t>(size) > in.remaining())
        return fail(HandsetError::Damaged,
                    std::string(what) + " relocation section of " + std::to_string(size)
                        + " bytes does not fit the file");
    ByteReader blocks(file.subspan(in.pos(), static_cast<std::size_t>(size)));
    std::size_t entries = 0;
    while (blocks.remaining() > 0) {
        std::uint32_t page = 0;
        std::uint32_t blockSize = 0;
        if (!blocks.u32(page) || !blocks.u32(blockSize))
            return fail(HandsetError::Truncated, std::string(what) + " relocation block header ends early");
        // The block size counts its own 8-byte header and 16-bit entries.
        if (blockSize < 8 || blockSize % 2 != 0 || blockSize - 8 > blocks.remaining())
            return fail(HandsetError::Damaged,
                        std::string(what) + " relocation block of " + std::to_string(blockSize)
                            + " bytes does not fit its section");
        for (std::uint32_t i = 0; i < (blockSize - 8) / 2; ++i) {
            std::uint16_t e = 0;
            blocks.u16(e);
            if (e != 0)   // zero entries pad a block to 4 bytes
                ++entries;
        }
    }
    if (entries != static_cast<std::size_t>(count))
        return fail(HandsetError::Damaged,
                    std::string(what) + " relocation section says " + std::to_string(count) + " relocations but holds "
                        + std::to_string(entries));
    return entries;
}

// The phases of the reader: the fixed header, its own checks, then each
// section the header points to. Each phase after the header takes the file
// and the image read so far.

// The caller has checked that the file holds the whole header.
Result<ImageHeader> readHeader(ByteSpan file)
{
    ByteReader in(file);
    ImageHeader h;
    auto uids = readCheckedUids(in);
    if (!uids)
        return fail(uids.code(), uids.error());
    h.uids = *uids;
    h.uidChecksum = le32(file.data() + 12);
    std::uint32_t timeLow = 0;
    std::uint32_t timeHigh = 0;
    // The size was checked, so none of these reads can fail.
    in.u32(h.signature);
    in.u32(h.cpu);
    in.u32(h.codeChecksum);
    in.u32(h.dataChecksum);
    in.u8(h.versionMajor);
    in.u8(h.versionMinor);
    in.u16(h.versionBuild);
    in.u32(timeLow);
    in.u32(timeHigh);
    h.time = static_cast<std::int64_t>((std::uint64_t{timeHigh} << 32) | timeLow);
    in.u32(h.flags);
    in.i32(h.codeSize);
    in.i32(h.dataSize);
    in.i32(h.heapSizeMin);
    in.i32(h.heapSizeMax);
    in.i32(h.stackSize);
    in.i32(h.bssSize);
    in.u32(h.entryPoint);
    in.u32(h.codeBase);
    in.u32(h.dataBase);
    in.i32(h.dllRefTableCount);
    in.u32(h.exportDirOffset);
    in.i32(h.exportDirCount);
    in.i32(h.textSize);
    in.u32(h.codeOffset);
    in.u32(h.dataOffset);
    in.u32(h.importOffset);
    in.u32(h.codeRelocOffset);
    in.u32(h.dataRelocOffset);
    in.i32(h.priority);
    return h;
}

Result<void> checkHeader(ByteSpan, Image& img)
{
    const ImageHeader& h = img.header;
    if (h.signature != KImageSignature)
        return fail(HandsetError::WrongFormat,
                    "not an executable image: signature " + hex(h.signature) + " is not \"EPOC\"");
    if (h.flags & KImageDeflated)
        return fail(HandsetError::Unsupported, "deflate-compressed executable images are not supported");
    if (h.codeSize < 0 || h.dataSize < 0 || h.bssSize < 0 || h.textSize < 0 || h.exportDirCount < 0
        || h.dllRefTableCount < 0)
        return fail(HandsetError::Damaged, "executable header has a negative size or count");
    return {};
}

Result<void> readCode(ByteSpan file, Image& img)
{
    const ImageHeader& h = img.header;
    if (h.codeOffset < KImageHeaderSize || !inside(h.codeOffset, static_cast<std::uint32_t>(h.codeSize), file.size()))
        return fail(HandsetError::Damaged,
                    "code section (offset " + hex(h.codeOffset) + ", " + std::to_string(h.codeSize)
                        + " bytes) does not fit the file");
    if (h.textSize > h.codeSize)
        return fail(HandsetError::Damaged,
                    "text size " + std::to_string(h.textSize) + " exceeds the code size " + std::to_string(h.codeSize));
    if (h.codeSize > 0 && h.entryPoint >= static_cast<std::uint32_t>(h.codeSize))
        return fail(HandsetError::Damaged, "entry point " + hex(h.entryPoint) + " lies outside the code");
    const ByteSpan code = file.subspan(h.codeOffset, static_cast<std::size_t>(h.codeSize));
    if (wordSum(code) != h.codeChecksum)
        return fail(HandsetError::Damaged,
                    "code checksum is " + hex(h.codeChecksum) + ", the code sums to " + hex(wordSum(code)));
    img.code.assign(code.begin(), code.end());
    return {};
}

Result<void> readData(ByteSpan file, Image& img)
{
    const ImageHeader& h = img.header;
    if (h.dataSize > 0) {
        if (h.dataOffset < KImageHeaderSize
            || !inside(h.dataOffset, static_cast<std::uint32_t>(h.dataSize), file.size()))
            return fail(HandsetError::Damaged,
                        "data section (offset " + hex(h.dataOffset) + ", " + std::to_string(h.dataSize)
                            + " bytes) does not fit the file");
        const ByteSpan data = file.subspan(h.dataOffset, static_cast<std::size_t>(h.dataSize));
        if (wordSum(data) != h.dataChecksum)
            return fail(HandsetError::Damaged,
                        "data checksum is " + hex(h.dataChecksum) + ", the data sums to " + hex(wordSum(data)));
        img.data.assign(data.begin(), data.end());
    } else if (h.dataChecksum != 0) {
        return fail(HandsetError::Damaged, "data checksum is " + hex(h.dataChecksum) + " but there is no data");
    }
    return {};
}

Result<void> readExports(ByteSpan file, Image& img)
{
    const ImageHeader& h = img.header;
    if (h.exportDirCount > 0) {
        const std::uint64_t bytes = 4 * std::uint64_t(static_cast<std::uint32_t>(h.exportDirCount));
        if (h.exportDirOffset < h.codeOffset || !inside(h.exportDirOffset, bytes, file.size())
            || h.exportDirOffset - h.codeOffset + bytes > static_cast<std::uint32_t>(h.codeSize))
            return fail(HandsetError::Damaged,
                        "export directory (offset " + hex(h.exportDirOffset) + ", " + std::to_string(h.exportDirCount)
                            + " entries) lies outside the code section");
        ByteReader ex(file, h.exportDirOffset);
        img.exports.resize(static_cast<std::size_t>(h.exportDirCount));
        for (std::uint32_t& e : img.exports)
            ex.u32(e);
    }
    return {};
}

// Import block d (from 0) of the import section: the offset of the DLL's
// name in the section, the count of ordinals and the ordinals.
Result<ImageImport> readImportBlock(ByteSpan section, ByteReader& blocks, std::int32_t d)
{
    std::uint32_t nameOffset = 0;
    std::int32_t n = 0;
    if (!blocks.u32(nameOffset) || !blocks.i32(n) || n < 0 || static_cast<std::uint32_t>(n) > blocks.remaining() / 4)
        return fail(HandsetError::Damaged,
                    "import block " + std::to_string(d + 1) + " does not fit the import section");
    ImageImport imp;
    imp.ordinals.resize(static_cast<std::size_t>(n));
    for (std::uint32_t& o : imp.ordinals)
        blocks.u32(o);
    if (nameOffset >= section.size())
        return fail(HandsetError::Damaged,
                    "import block " + std::to_string(d + 1) + " names a DLL outside the import section");
    std::size_t end = nameOffset;
    while (end < section.size() && section[end] != 0)
        ++end;
    if (end == section.size())
        return fail(HandsetError::Damaged, "imported DLL name " + std::to_string(d + 1) + " has no terminator");
    imp.dllName.assign(section.begin() + nameOffset, section.begin() + static_cast<std::ptrdiff_t>(end));
    return imp;
}

Result<void> readImports(ByteSpan file, Image& img)
{
    const ImageHeader& h = img.header;
    if (h.importOffset == 0) {
        if (h.dllRefTableCount != 0)
            return fail(HandsetError::Damaged,
                        "header counts " + std::to_string(h.dllRefTableCount)
                            + " imported DLLs but has no import section");
        return {};
    }
    ByteReader im(file, h.importOffset);
    std::int32_t sectionSize = 0;
    if (h.importOffset < KImageHeaderSize || !im.i32(sectionSize) || sectionSize < 4
        || !inside(h.importOffset, static_cast<std::uint32_t>(sectionSize), file.size()))
        return fail(HandsetError::Damaged, "import section at " + hex(h.importOffset) + " does not fit the file");
    const ByteSpan section = file.subspan(h.importOffset, static_cast<std::size_t>(sectionSize));
    ByteReader blocks(section, 4);
    // Each block takes at least 8 bytes, which bounds the count.
    if (static_cast<std::uint32_t>(h.dllRefTableCount) > section.size() / 8)
        return fail(HandsetError::Damaged,
                    "import section too small for " + std::to_string(h.dllRefTableCount) + " DLLs");
    for (std::int32_t d = 0; d < h.dllRefTableCount; ++d) {
        auto imp = readImportBlock(section, blocks, d);
        if (!imp)
            return fail(imp.code(), imp.error());
        img.imports.push_back(std::move(*imp));
    }
    return {};
}

Result<void> readRelocationSections(ByteSpan file, Image& img)
{
    const ImageHeader& h = img.header;
    if (h.codeRelocOffset != 0) {
        auto n = readRelocations(file, h.codeRelocOffset, "code");
        if (!n)
            return fail(n.code(), n.error());
        img.codeRelocations = *n;
    }
    if (h.dataRelocOffset != 0) {
        auto n = readRelocations(file, h.dataRelocOffset, "data");
        if (!n)
            return fail(n.code(), n.error());
        img.dataRelocations = *n;
    }
    return {};
}

} // namespace

std::uint32_t wordSum(ByteSpan data)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 <= data.size(); i += 4)
        sum += le32(data.data() + i);
    return sum;
}

std::int64_t imageTime(int year, int month, int day)
{
    // 0 AD to 2000-01-01 is 730497 days in the calendar the handset counts in.
    const std::int64_t days = 730497 + daysFromCivil(year, month, day) - daysFromCivil(2000, 1, 1);
    return days * 86400 * 1000000;
}

Result<Bytes> writeImage(const ImageSpec& spec)
{
    const bool dll = spec.uids.uid1 == KDynamicLibraryUid;
    const std::uint32_t textSize = align4(spec.text.size());
    const std::uint32_t constSize = align4(spec.constData.size());
    const std::uint32_t exportOffsetInCode = textSize + constSize;
    const std::uint64_t codeSize = std::uint64_t{exportOffsetInCode} + 4 * std::uint64_t{spec.exports.size()};
    if (codeSize > 0x10000000)
        return fail(HandsetError::TooLarge, "image code too large");
    if (spec.entryPoint >= textSize)
        return fail(HandsetError::BadArgument,
                    "entry point " + hex(spec.entryPoint) + " lies outside the text (" + std::to_string(textSize)
                        + " bytes)");
    for (std::size_t i = 0; i < spec.exports.size(); ++i)
        if (spec.exports[i] >= exportOffsetInCode)
            return fail(HandsetError::BadArgument,
                        "export " + std::to_string(i + 1) + " at " + hex(spec.exports[i]) + " lies outside the code");

    Bytes code;
    code.reserve(static_cast<std::size_t>(codeSize));
    ByteWriter cw(code);
    cw.bytes(spec.text);
    cw.fill(textSize - spec.text.size(), 0);
    cw.bytes(spec.constData);
    cw.fill(constSize - spec.constData.size(), 0);
    for (const std::uint32_t e : spec.exports)
        cw.u32(e);

    Bytes out;
    out.reserve(KImageHeaderSize + code.size());
    ByteWriter w(out);
    writeCheckedUids(w, spec.uids);
    w.u32(KImageSignature);
    w.u32(KCpuArm);
    w.u32(wordSum(code));
    w.u32(0);   // no data
    w.u8(spec.versionMajor);
    w.u8(spec.versionMinor);
    w.u16(spec.versionBuild);
    w.u32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(spec.time)));
    w.u32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(spec.time) >> 32));
    w.u32(dll ? KImageDll : 0);
    w.i32(static_cast<std::int32_t>(codeSize));
    w.i32(0);   // data size
    w.i32(spec.heapSizeMin);
    w.i32(spec.heapSizeMax);
    w.i32(spec.stackSize);
    w.i32(0);   // bss size
    w.u32(spec.entryPoint);
    w.u32(spec.codeBase);
    w.u32(0);   // data base: no data, no bss
    w.i32(0);   // no imported DLLs
    w.u32(spec.exports.empty() ? 0 : KImageHeaderSize + exportOffsetInCode);
    w.i32(static_cast<std::int32_t>(spec.exports.size()));
    w.i32(static_cast<std::int32_t>(textSize));
    w.u32(KImageHeaderSize);   // code offset
    w.u32(0);                  // data offset
    w.u32(0);                  // import offset
    w.u32(0);                  // code relocations
    w.u32(0);                  // data relocations
    w.i32(spec.priority);
    w.bytes(code);
    return out;
}

Result<Image> readImage(ByteSpan file)
{
    if (file.size() < KImageHeaderSize)
        return fail(HandsetError::Truncated,
                    "executable too short for its header (" + std::to_string(file.size()) + " of 124 bytes)");
    auto header = readHeader(file);
    if (!header)
        return fail(header.code(), header.error());
    Image img;
    img.header = *header;
    for (const auto phase : {checkHeader, readCode, readData, readExports, readImports, readRelocationSections})
        if (auto r = phase(file, img); !r)
            return fail(r.code(), r.error());
    return img;
}

} // namespace kastra::e32
