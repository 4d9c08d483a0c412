#include "sis/sis_reader.h"

#include "base/crc16.h"
#include "sis/errors.h"
#include "sis/pkg_text.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

namespace kastra::sis {

namespace {

std::string hex32(std::uint32_t v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", v);
    return buf;
}

bool inside(ByteSpan file, std::uint64_t pointer, std::uint64_t length)
{
    return pointer <= file.size() && length <= file.size() - pointer;
}

// Decodes the names of one package, keeping count of what they cost.
class NameReader {
public:
    NameReader(ByteSpan file, bool unicode, const ReadLimits& limits)
        : m_file(file), m_unicode(unicode), m_limits(limits) {}

    bool exhausted() const { return m_exhausted; }

    // eightBit: a string that is 8-bit whatever the package's Unicode option
    // says (the MIME type of Release 6 file records).
    bool read(std::uint32_t length, std::uint32_t pointer, std::u16string& out, std::string& why,
              bool eightBit = false)
    {
        const bool unicode = m_unicode && !eightBit;
        out.clear();
        if (length == 0)
            return true; // the pointer of an empty string means nothing
        if (length > m_limits.maxStringBytes) {
            why = "a name of " + std::to_string(length) + " bytes is longer than any file name";
            return false;
        }
        if (!inside(m_file, pointer, length)) {
            why = "a name lies outside the package";
            return false;
        }
        if (unicode && length % 2 != 0) {
            why = "a UTF-16 name has an odd number of bytes";
            return false;
        }
        if (m_limits.maxTotalStringBytes - m_total < length) {
            m_exhausted = true;
            why = "the package holds more name bytes than any real package";
            return false;
        }
        m_total += length;
        const ByteSpan bytes = m_file.subspan(pointer, length);
        if (unicode) {
            out.reserve(length / 2);
            for (std::size_t i = 0; i < bytes.size(); i += 2)
                out += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        } else {
            out = windows1252ToUtf16(bytes);
        }
        return true;
    }

private:
    ByteSpan m_file;
    bool m_unicode;
    const ReadLimits& m_limits;
    std::size_t m_total = 0;
    bool m_exhausted = false;
};

bool readFileRecord(ByteReader& r, std::uint32_t type, const SisPackage& pkg, NameReader& names, SisRecord& rec)
{
    const std::uint64_t k = type == kRecordFile ? 1 : pkg.languageCount;
    // Type already read; file type, details and two names (24 bytes), then
    // k lengths and k pointers; Release 6 adds k original lengths and the MIME
    // type's length and pointer.
    const std::uint64_t need = 24 + (pkg.release6 ? 12 * k + 8 : 8 * k);
    if (r.remaining() < need)
        return false;
    std::uint32_t srcLen = 0, srcPtr = 0, dstLen = 0, dstPtr = 0, mimeLen = 0, mimePtr = 0;
    r.u32(rec.fileType);
    r.u32(rec.details);
    r.u32(srcLen);
    r.u32(srcPtr);
    r.u32(dstLen);
    r.u32(dstPtr);
    rec.blocks.resize(static_cast<std::size_t>(k));
    for (DataBlock& b : rec.blocks)
        r.u32(b.storedLength);
    for (DataBlock& b : rec.blocks)
        r.u32(b.pointer);
    if (pkg.release6) {
        for (DataBlock& b : rec.blocks)
            r.u32(b.originalLength);
        r.u32(mimeLen);
        r.u32(mimePtr);
    } else {
        for (DataBlock& b : rec.blocks)
            b.originalLength = b.storedLength;
    }

    std::string why;
    if (!names.read(srcLen, srcPtr, rec.source, why) || !names.read(dstLen, dstPtr, rec.destination, why)
        || !names.read(mimeLen, mimePtr, rec.mime, why, true))
        rec.damage = why;
    if (rec.damage.empty() && rec.fileType != kFileNull) {
        if (rec.blocks.empty())
            rec.damage = "a language block in a package without languages";
        for (const DataBlock& b : rec.blocks)
            if (!inside(r.data(), b.pointer, b.storedLength)) {
                rec.damage = "its data lies outside the package";
                break;
            }
    }
    return true;
}

// The fixed header, the UID checksum and the CRC. Fails only when the file is
// no SIS package at all or is cut off inside its header.
Result<SisPackage> readHeader(ByteSpan file)
{
    if (file.size() < kHeaderSizeEr5)
        return fail(SisError::Truncated,
                    "not a SIS package: " + std::to_string(file.size()) + " bytes are too few for the header");
    SisPackage pkg;
    ByteReader r(file);
    r.u32(pkg.uid1);
    r.u32(pkg.uid2);
    r.u32(pkg.uid3);
    r.u32(pkg.uid4);
    if (pkg.uid3 != kUid3)
        return fail(SisError::WrongFormat, "not a SIS package: UID3 is " + hex32(pkg.uid3) + ", not " + hex32(kUid3));
    if (pkg.uid2 == kUid2Er6)
        pkg.release6 = true;
    else if (pkg.uid2 != kUid2Er5)
        return fail(SisError::Unsupported, "not a SIS package of EPOC Release 5 or 6: UID2 is " + hex32(pkg.uid2));
    if (pkg.release6 && file.size() < kHeaderSizeEr6)
        return fail(SisError::Truncated, "the package is cut off inside its header");

    r.u16(pkg.checksum);
    r.u16(pkg.languageCount);
    r.u16(pkg.fileCount);
    r.u16(pkg.requisiteCount);
    r.u16(pkg.installationLanguage);
    r.u16(pkg.installationFiles);
    r.u16(pkg.installationDrive);
    r.u16(pkg.capabilityCount);
    r.u32(pkg.installerVersion);
    r.u16(pkg.options);
    r.u16(pkg.type);
    r.u16(pkg.major);
    r.u16(pkg.minor);
    r.u32(pkg.variant);
    r.u32(pkg.languagesPointer);
    r.u32(pkg.filesPointer);
    r.u32(pkg.requisitesPointer);
    r.u32(pkg.certificatesPointer);
    r.u32(pkg.componentNamePointer);
    if (pkg.release6) {
        r.u32(pkg.signaturePointer);
        r.u32(pkg.capabilitiesPointer);
        r.u32(pkg.installedSpace);
        r.u32(pkg.maximumInstalledSpace);
    }

    pkg.uidChecksumOk = pkg.uid4 == uidChecksum(pkg.uid1, pkg.uid2, pkg.uid3);
    // The checksum skips its own two bytes and a signature block at the end.
    std::size_t crcEnd = file.size();
    if (pkg.release6 && pkg.signaturePointer >= 18 && pkg.signaturePointer <= file.size())
        crcEnd = pkg.signaturePointer;
    pkg.computedChecksum = crc16(file.subspan(18, crcEnd - 18), crc16(file.first(16)));
    pkg.checksumOk = pkg.computedChecksum == pkg.checksum;
    return pkg;
}

void readLanguages(ByteSpan file, SisPackage& pkg)
{
    ByteReader lr(file);
    if (!lr.seek(pkg.languagesPointer) || lr.remaining() / 2 < pkg.languageCount) {
        pkg.problems.push_back("the language list lies outside the package");
        return;
    }
    pkg.languages.resize(pkg.languageCount);
    for (std::uint16_t& l : pkg.languages)
        lr.u16(l);
}

// The file records, in file order (the installer's reverse), into
// pkg.records in installation order. A record of an unknown type ends the
// walk, since the size of what follows is not known.
void readRecords(ByteSpan file, SisPackage& pkg, NameReader& names)
{
    ByteReader fr(file);
    std::vector<SisRecord> inFile;
    if (!fr.seek(pkg.filesPointer)) {
        pkg.problems.push_back("the file records start outside the package");
        return;
    }
    for (unsigned i = 0; i < pkg.fileCount; ++i) {
        const std::string which = "file record " + std::to_string(i + 1) + " of " + std::to_string(pkg.fileCount);
        SisRecord rec;
        rec.offset = static_cast<std::uint32_t>(fr.pos());
        std::uint32_t type = 0;
        if (!fr.u32(type)) {
            pkg.problems.push_back(which + " is cut off");
            break;
        }
        bool sized = true;
        switch (type) {
        case kRecordFile:
        case kRecordMultiLanguage:
            sized = readFileRecord(fr, type, pkg, names, rec);
            break;
        case kRecordOptions: {
            // Option count, then per option one length and one pointer
            // per language, then the 128-bit selection.
            if (!fr.u32(rec.optionCount)) {
                sized = false;
                break;
            }
            const std::uint64_t size = 8ull * pkg.languageCount * rec.optionCount + 16;
            sized = fr.remaining() >= size && fr.skip(static_cast<std::size_t>(size));
            break;
        }
        case kRecordIf:
        case kRecordElseIf:
            sized = fr.u32(rec.expressionSize) && fr.skip(rec.expressionSize);
            break;
        case kRecordElse:
        case kRecordEndIf:
            break;
        default:
            pkg.problems.push_back(which + " has the unknown type " + std::to_string(type)
                                   + "; the records after it cannot be found");
            sized = false;
            break;
        }
        if (type > kRecordEndIf)
            break;
        if (!sized) {
            pkg.problems.push_back(which + " is cut off");
            break;
        }
        rec.type = static_cast<RecordType>(type);
        inFile.push_back(std::move(rec));
        if (names.exhausted()) {
            pkg.problems.push_back("the package holds more name bytes than any real package; reading stopped at "
                                   + which);
            break;
        }
    }
    pkg.records.assign(std::make_move_iterator(inFile.rbegin()), std::make_move_iterator(inFile.rend()));
}

// One name per language: the lengths, then the pointers. False with why
// when a name cannot be read.
bool readNameList(ByteReader& r, std::size_t count, NameReader& names, std::vector<std::u16string>& out,
                  std::string& why)
{
    std::vector<std::uint32_t> lengths(count), pointers(count);
    for (auto& v : lengths)
        r.u32(v);
    for (auto& v : pointers)
        r.u32(v);
    out.resize(count);
    for (std::size_t l = 0; l < count; ++l)
        if (!names.read(lengths[l], pointers[l], out[l], why))
            return false;
    return true;
}

void readRequisites(ByteSpan file, SisPackage& pkg, NameReader& names)
{
    ByteReader qr(file);
    const std::uint64_t requisiteSize = 12 + 8ull * pkg.languageCount;
    if (pkg.requisiteCount != 0 && !qr.seek(pkg.requisitesPointer)) {
        pkg.problems.push_back("the requisites lie outside the package");
        return;
    }
    for (unsigned i = 0; i < pkg.requisiteCount; ++i) {
        if (qr.remaining() < requisiteSize) {
            pkg.problems.push_back("requisite " + std::to_string(i + 1) + " is cut off");
            break;
        }
        SisRequisite q;
        qr.u32(q.uid);
        qr.u16(q.major);
        qr.u16(q.minor);
        qr.u32(q.variant);
        std::string why;
        if (!readNameList(qr, pkg.languageCount, names, q.names, why))
            pkg.problems.push_back("requisite " + std::to_string(i + 1) + ": " + why);
        pkg.requisites.push_back(std::move(q));
        if (names.exhausted())
            break;
    }
}

void readCapabilities(ByteSpan file, SisPackage& pkg)
{
    if (!pkg.release6 || pkg.capabilityCount == 0)
        return;
    ByteReader kr(file);
    if (!kr.seek(pkg.capabilitiesPointer) || kr.remaining() / 8 < pkg.capabilityCount) {
        pkg.problems.push_back("the capabilities lie outside the package");
        return;
    }
    pkg.capabilities.resize(pkg.capabilityCount);
    for (Capability& c : pkg.capabilities) {
        kr.u32(c.key);
        kr.u32(c.value);
    }
}

void readComponentName(ByteSpan file, SisPackage& pkg, NameReader& names)
{
    ByteReader cr(file);
    if (!cr.seek(pkg.componentNamePointer) || cr.remaining() / 8 < pkg.languageCount) {
        pkg.problems.push_back("the component name record lies outside the package");
        return;
    }
    std::string why;
    if (!readNameList(cr, pkg.languageCount, names, pkg.componentNames, why))
        pkg.problems.push_back("component name: " + why);
}

} // namespace

Result<SisPackage> readSis(ByteSpan file, const ReadLimits& limits)
{
    auto header = readHeader(file);
    if (!header)
        return header;
    SisPackage& pkg = *header;
    NameReader names(file, pkg.unicode(), limits);
    readLanguages(file, pkg);
    readRecords(file, pkg, names);
    readRequisites(file, pkg, names);
    readCapabilities(file, pkg);
    readComponentName(file, pkg, names);
    return header;
}

Result<Bytes> readData(ByteSpan file, const SisPackage& package, const DataBlock& block, const ReadLimits& limits)
{
    if (!inside(file, block.pointer, block.storedLength))
        return fail(SisError::Damaged, "the data lies outside the package");
    const ByteSpan stored = file.subspan(block.pointer, block.storedLength);
    if (!package.compressed()) {
        if (stored.size() > limits.maxFileBytes)
            return fail(SisError::TooLarge,
                        "the file is larger than " + std::to_string(limits.maxFileBytes) + " bytes");
        return Bytes(stored.begin(), stored.end());
    }
    if (block.originalLength == 0)
        return Bytes{};
    if (block.originalLength > limits.maxFileBytes)
        return fail(SisError::TooLarge,
                    "the file declares " + std::to_string(block.originalLength) + " bytes, more than the limit of "
                        + std::to_string(limits.maxFileBytes));
    // Deflate cannot expand its input more than about 1032 times; a larger
    // declared size is a lie, so nothing that large is allocated for it.
    if (block.originalLength > static_cast<std::uint64_t>(block.storedLength) * 1032 + 1024)
        return fail(SisError::Damaged,
                    "the file declares " + std::to_string(block.originalLength) + " bytes from only "
                        + std::to_string(block.storedLength) + " compressed bytes, more than zlib can produce");
    // Some packers stored incompressible files raw without the NC option;
    // such data has the declared size and no zlib header.
    const bool zlibHeader = stored.size() >= 2 && (stored[0] & 0x0F) == 8 && (stored[0] >> 4) <= 7
        && ((stored[0] << 8) | stored[1]) % 31 == 0;
    if (!zlibHeader && block.storedLength == block.originalLength)
        return Bytes(stored.begin(), stored.end());

    Bytes out(block.originalLength);
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return fail(SisError::Internal, "zlib could not start inflating");
    zs.next_in = const_cast<Bytef*>(stored.data());
    zs.avail_in = static_cast<uInt>(stored.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&zs, Z_FINISH);
    const uLong produced = zs.total_out;
    const uInt inLeft = zs.avail_in;
    const uInt outLeft = zs.avail_out;
    const std::string zmsg = zs.msg ? zs.msg : "";
    inflateEnd(&zs);
    if (rc == Z_STREAM_END) {
        if (produced != block.originalLength)
            return fail(SisError::Damaged,
                        "the data inflates to " + std::to_string(produced) + " bytes, fewer than the declared "
                            + std::to_string(block.originalLength));
        return out;
    }
    if (rc == Z_BUF_ERROR && outLeft == 0)
        return fail(SisError::Damaged,
                    "the data inflates to more than its declared " + std::to_string(block.originalLength) + " bytes");
    if (rc == Z_BUF_ERROR && inLeft == 0)
        return fail(SisError::Truncated, "the compressed data is cut off");
    return fail(SisError::Damaged,
                "the compressed data is damaged" + (zmsg.empty() ? std::string() : " (" + zmsg + ")"));
}

} // namespace kastra::sis

namespace kastra::sis {

PackageData::PackageData(ByteSpan file, const SisPackage& package, const ReadLimits& limits)
    : m_file(file), m_package(package), m_limits(limits)
{
}

Result<ByteSpan> PackageData::read(const DataBlock& block)
{
    const auto key = std::tuple(block.pointer, block.storedLength, block.originalLength);
    auto it = m_blocks.find(key);
    if (it == m_blocks.end()) {
        // What the block becomes is known before it is inflated: the
        // declared size, which readData holds it to.
        const std::uint64_t declared = m_package.compressed() ? block.originalLength : block.storedLength;
        if (m_full || declared > m_limits.maxTotalDataBytes - m_total) {
            m_full = true;
            it = m_blocks
                     .emplace(key, fail(SisError::TooLarge,
                                        "the package's files add up to more than "
                                            + std::to_string(m_limits.maxTotalDataBytes / (1024 * 1024))
                                            + " MiB; no theme package is that large"))
                     .first;
        } else {
            it = m_blocks.emplace(key, readData(m_file, m_package, block, m_limits)).first;
            if (it->second)
                m_total += it->second->size();
        }
    }
    if (!it->second)
        return Error(it->second.error(), it->second.code());
    return ByteSpan(*it->second);
}

} // namespace kastra::sis
