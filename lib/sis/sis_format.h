#pragma once
// Constants of the pre-Symbian-9 installation package (SIS) format, EPOC
// Release 5 and Release 6, and the language table shared by the package-script
// parser, the writer and the reader. All values are stored little-endian.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kastra::sis {

inline constexpr std::uint32_t kUid2Er6 = 0x10003A12; // EPOC Release 6 (installer version 200)
inline constexpr std::uint32_t kUid2Er5 = 0x1000006D; // EPOC Releases 3 to 5
inline constexpr std::uint32_t kUid3 = 0x10000419;    // every SIS file
inline constexpr std::uint32_t kDefaultUid1 = 0x10000000;
inline constexpr std::uint32_t kInstallerVersionEr6 = 200;

// What one package may hold, all its files together once inflated: makesis
// refuses to pack more, the reader to inflate more. A theme package holds
// five theme MBM files of a few hundred KiB each (Avkon.mbm, the largest, is
// about 1 MiB even stored uncompressed), a font (tens of KiB; the font loader
// takes none over 16 MiB) and two .aif files of a few KiB: a few MiB in all.
// 64 MiB is ten times that, and as much as the load buttons take for a single
// theme file, so any file they would take also comes out of a package; yet a
// few records sharing one block that inflates to hundreds of MiB, or a few
// files of hundreds of MiB of zeros, are refused before they are inflated.
inline constexpr std::uint64_t kMaxPackageDataBytes = 64ull * 1024 * 1024;

inline constexpr std::size_t kHeaderSizeEr5 = 0x44;
inline constexpr std::size_t kHeaderSizeEr6 = 0x64;

// Header options (offset 0x24).
inline constexpr std::uint16_t kOptionUnicode = 0x0001;      // IU: strings are UTF-16LE
inline constexpr std::uint16_t kOptionDistributable = 0x0002; // ID, Release 5 only
inline constexpr std::uint16_t kOptionNoCompress = 0x0008;    // NC: file data stored, not zlib
inline constexpr std::uint16_t kOptionShutdownApps = 0x0010;  // SH

// Package types (offset 0x26).
enum PackageType : std::uint16_t {
    kTypeApp = 0,     // SA
    kTypeSystem = 1,  // SY
    kTypeOption = 2,  // SO
    kTypeConfig = 3,  // SC
    kTypePatch = 4,   // SP
    kTypeUpgrade = 5, // SU
};

// The first word of every file record.
enum RecordType : std::uint32_t {
    kRecordFile = 0,          // one data block
    kRecordMultiLanguage = 1, // one data block per language
    kRecordOptions = 2,
    kRecordIf = 3,
    kRecordElseIf = 4,
    kRecordElse = 5,
    kRecordEndIf = 6,
};

enum FileType : std::uint32_t {
    kFileStandard = 0,  // FF
    kFileText = 1,      // FT: shown during installation, not installed
    kFileComponent = 2, // an embedded SIS file; details hold its UID
    kFileRun = 3,       // FR
    kFileNull = 4,      // FN: no data, created later by the application
    kFileMime = 5,      // FM: opened by the handler of its MIME type
};

// File details of FT records.
inline constexpr std::uint32_t kTextContinue = 0; // TC
inline constexpr std::uint32_t kTextSkip = 1;     // TS
inline constexpr std::uint32_t kTextAbort = 2;    // TA
inline constexpr std::uint32_t kTextExit = 3;     // TE
// File details of FR (and FM) records: when to run, plus two flags.
inline constexpr std::uint32_t kRunInstall = 0;        // RI
inline constexpr std::uint32_t kRunRemove = 1;         // RR
inline constexpr std::uint32_t kRunBoth = 2;           // RB
inline constexpr std::uint32_t kRunSendEnd = 0x100;    // RS: close when the installation ends
inline constexpr std::uint32_t kRunWaitEnd = 0x200;    // RW: wait until it has closed

// Condition expression node types of IF and ELSEIF records.
enum ExprType : std::uint32_t {
    kExprEqual = 0,
    kExprNotEqual = 1,
    kExprGreater = 2,
    kExprLess = 3,
    kExprGreaterEqual = 4,
    kExprLessEqual = 5,
    kExprAnd = 6,
    kExprOr = 7,
    kExprExists = 8,
    kExprDevCap = 9,
    kExprAppCap = 10,
    kExprNot = 11,
    kExprString = 12,
    kExprAttribute = 13,
    kExprNumber = 14,
};

// One entry of the capabilities record (the script's "+(key=value,...)"
// line): two 32-bit words.
struct Capability {
    std::uint32_t key = 0;
    std::uint32_t value = 0;
    bool operator==(const Capability&) const = default;
};

// The longest string a package holds, in UTF-16 units: a Symbian file name
// has at most 256 characters, a path on the building PC a few hundred.
inline constexpr std::size_t kMaxStringUnits = 512;

// Options-line records keep a 128-bit "selected" bitmap, so a line holds at
// most 128 options.
inline constexpr std::size_t kMaxOptions = 128;

// Language code of a two-letter package-script abbreviation (EN = 1,
// RU = 16, ...), compared without regard to letter case, with the SDK's
// makesis table: SF names two languages and the first one wins (Swiss French
// 11, not South African English 48); Swahili is SH.
std::optional<std::uint16_t> languageCode(std::string_view abbreviation);

// The abbreviation of a language code, or an empty view for codes without one.
std::string_view languageAbbreviation(std::uint16_t code);

// Attribute id of a condition variable name (Manufacturer, MachineUid,
// Language, Option1, ...), compared without regard to letter case.
std::optional<std::uint32_t> attributeId(std::string_view name);

} // namespace kastra::sis
