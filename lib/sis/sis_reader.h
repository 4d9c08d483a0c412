#pragma once
// Reads pre-Symbian-9 installation packages (SIS), EPOC Release 5 and 6:
// header, languages, file records (simple and multi-language; options and
// condition records are sized and skipped), requisites and component names,
// and the data of each file. Every pointer and length is checked against the
// file before it is used, every count and size is capped, and damage found
// after the header is reported without losing what could be read before it.

#include "base/bytes.h"
#include "base/result.h"
#include "sis/sis_format.h"

#include <cstdint>
#include <map>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

namespace kastra::sis {

struct ReadLimits {
    // Longer strings are damage, not names (see kMaxStringUnits).
    std::uint32_t maxStringBytes = 2 * kMaxStringUnits;
    // All strings of a package together, so that many records pointing at the
    // same string cannot multiply memory.
    std::size_t maxTotalStringBytes = 16u * 1024 * 1024;
    // One file's data after inflating.
    std::uint32_t maxFileBytes = static_cast<std::uint32_t>(kMaxPackageDataBytes);
    // Every data block of a package together after inflating, each block
    // counted once however many records share it (PackageData).
    std::uint64_t maxTotalDataBytes = kMaxPackageDataBytes;
};

struct DataBlock {
    std::uint32_t pointer = 0;
    std::uint32_t storedLength = 0;   // bytes in the package
    std::uint32_t originalLength = 0; // bytes after inflating
};

struct SisRecord {
    std::uint32_t offset = 0; // where the record starts in the package
    RecordType type = kRecordFile;
    // Files (type 0 and 1).
    std::uint32_t fileType = 0;
    std::uint32_t details = 0;
    std::u16string source;
    std::u16string destination;
    std::u16string mime;
    std::vector<DataBlock> blocks; // one, or one per language
    // Options lines: how many options; IF/ELSEIF: the expression's size.
    std::uint32_t optionCount = 0;
    std::uint32_t expressionSize = 0;
    // What is wrong with this record (names or data outside the file); empty
    // when it is sound. A damaged record is still listed.
    std::string damage;
};

struct SisRequisite {
    std::uint32_t uid = 0;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint32_t variant = 0;
    std::vector<std::u16string> names;
};

struct SisPackage {
    bool release6 = false;
    std::uint32_t uid1 = 0, uid2 = 0, uid3 = 0, uid4 = 0;
    std::uint16_t checksum = 0;         // as stored
    std::uint16_t computedChecksum = 0; // over the file, as the writer computes it
    bool uidChecksumOk = false;
    bool checksumOk = false;
    std::uint16_t languageCount = 0;
    std::uint16_t fileCount = 0;
    std::uint16_t requisiteCount = 0;
    std::uint16_t installationLanguage = 0;
    std::uint16_t installationFiles = 0;
    std::uint16_t installationDrive = 0;
    std::uint16_t capabilityCount = 0;
    std::uint32_t installerVersion = 0;
    std::uint16_t options = 0;
    std::uint16_t type = 0;
    std::uint16_t major = 0;
    std::uint16_t minor = 0;
    std::uint32_t variant = 0;
    std::uint32_t languagesPointer = 0, filesPointer = 0, requisitesPointer = 0, certificatesPointer = 0,
                  componentNamePointer = 0, signaturePointer = 0, capabilitiesPointer = 0;
    std::uint32_t installedSpace = 0;
    std::uint32_t maximumInstalledSpace = 0;

    std::vector<std::uint16_t> languages;
    std::vector<std::u16string> componentNames;
    std::vector<SisRequisite> requisites;
    std::vector<Capability> capabilities;
    // In installation order (the reverse of the order in the file). Records
    // after a point of damage in the record table are missing.
    std::vector<SisRecord> records;
    // Damage outside single records: the record table, requisites, names.
    std::vector<std::string> problems;

    bool unicode() const { return (options & kOptionUnicode) != 0; }
    bool compressed() const { return release6 && (options & kOptionNoCompress) == 0; }
};

// Reads the structure of a package. Fails only when the bytes are not a SIS
// file at all (too short for a header, wrong UID2 or UID3); everything else
// that is wrong is listed in problems or a record's damage. A wrong UID4 or
// checksum is reported through uidChecksumOk and checksumOk.
Result<SisPackage> readSis(ByteSpan file, const ReadLimits& limits = {});

// The contents of one data block: inflated when the package is compressed,
// else copied. Fails when the block lies outside the file, declares more than
// limits.maxFileBytes or more than zlib could produce from its stored size,
// when the stream is broken, or when it inflates to more or fewer bytes than
// declared.
Result<Bytes> readData(ByteSpan file, const SisPackage& package, const DataBlock& block,
                       const ReadLimits& limits = {});

// The data of the blocks of one package, for a caller that reads several.
// Each stored block is inflated at most once: records that share a block
// share its bytes. All blocks together inflate to at most
// limits.maxTotalDataBytes; a block that would pass it is refused by its
// declared size, before it is inflated, and so is every later one.
class PackageData {
public:
    // file and package must outlive this object.
    PackageData(ByteSpan file, const SisPackage& package, const ReadLimits& limits = {});

    // The block's bytes (valid as long as this object), or why not, as
    // readData says it; a block refused once is refused again without being
    // read again.
    Result<ByteSpan> read(const DataBlock& block);

    // The bytes inflated so far, each block once.
    std::uint64_t inflatedBytes() const { return m_total; }

private:
    ByteSpan m_file;
    const SisPackage& m_package;
    ReadLimits m_limits;
    std::uint64_t m_total = 0;
    bool m_full = false;   // a block was refused for the total: so is every later one
    // By (pointer, stored length, original length).
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, Result<Bytes>> m_blocks;
};

} // namespace kastra::sis
