#pragma once
// Executables of Symbian OS 6/7 (EKA1): the E32Image format that the SDK's
// translator writes for .exe, .dll and .app files.
//
// A 124-byte header (all fields little-endian 32-bit except the version and
// the 64-bit time), then the code section (text, import address table,
// read-only data, export directory), the initialised data, the import
// section and the relocation sections, each where the header says.
//
//   0x00 uid1 uid2 uid3 uid-checksum     checked UIDs (e32uid.h)
//   0x10 "EPOC"                          signature
//   0x14 cpu                             0x2000 ARM, 0x1000 x86
//   0x18 code checksum                   32-bit wrap-around sum of the words of
//                                        the code section
//   0x1C data checksum                   the same over the data (0 if none)
//   0x20 version                         i8 major, i8 minor, i16 build (of the
//                                        tool that wrote the image)
//   0x24 time                            i64 microseconds since 0 AD
//   0x2C flags                           bit 0 DLL, bit 1 no entry-point calls,
//                                        bit 2 fixed address; bit 24 deflated
//                                        (7.0s and later only)
//   0x30 code size, data size, heap min, heap max, stack size, bss size
//   0x48 entry point (offset in code), code base, data base
//   0x54 number of imported DLLs, export directory file offset, export count
//   0x60 text size, code offset, data offset, import offset,
//        code relocation offset, data relocation offset
//   0x78 process priority (350 = foreground)
//
// An application (.app) is a DLL with UID2 0x100039CE whose export ordinal 1
// is the factory function of the application object.

#include "base/bytes.h"
#include "handset/e32uid.h"
#include "base/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kastra::e32 {

inline constexpr std::uint32_t KImageHeaderSize = 0x7C;
inline constexpr std::uint32_t KImageSignature = 0x434F5045;   // "EPOC"
inline constexpr std::uint32_t KCpuArm = 0x2000;
inline constexpr std::uint32_t KImageDll = 0x01;
inline constexpr std::uint32_t KImageNoCallEntryPoint = 0x02;
inline constexpr std::uint32_t KImageFixedAddressExe = 0x04;
inline constexpr std::uint32_t KImageDeflated = 0x01000000;
inline constexpr std::int32_t KPriorityForeground = 350;

struct ImageHeader {
    Uids uids;
    std::uint32_t uidChecksum = 0;
    std::uint32_t signature = KImageSignature;
    std::uint32_t cpu = KCpuArm;
    std::uint32_t codeChecksum = 0;
    std::uint32_t dataChecksum = 0;
    std::uint8_t versionMajor = 0;
    std::uint8_t versionMinor = 0;
    std::uint16_t versionBuild = 0;
    std::int64_t time = 0;
    std::uint32_t flags = 0;
    std::int32_t codeSize = 0;
    std::int32_t dataSize = 0;
    std::int32_t heapSizeMin = 0;
    std::int32_t heapSizeMax = 0;
    std::int32_t stackSize = 0;
    std::int32_t bssSize = 0;
    std::uint32_t entryPoint = 0;
    std::uint32_t codeBase = 0;
    std::uint32_t dataBase = 0;
    std::int32_t dllRefTableCount = 0;
    std::uint32_t exportDirOffset = 0;
    std::int32_t exportDirCount = 0;
    std::int32_t textSize = 0;
    std::uint32_t codeOffset = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t importOffset = 0;
    std::uint32_t codeRelocOffset = 0;
    std::uint32_t dataRelocOffset = 0;
    std::int32_t priority = 0;
};

struct ImageImport {
    std::string dllName;
    std::vector<std::uint32_t> ordinals;
};

struct Image {
    ImageHeader header;
    Bytes code;
    Bytes data;
    std::vector<std::uint32_t> exports;   // code offsets, ordinal 1 first
    std::vector<ImageImport> imports;
    std::size_t codeRelocations = 0;
    std::size_t dataRelocations = 0;
    bool isDll() const { return (header.flags & KImageDll) != 0; }
};

// What the writer lays out: code only (text, then read-only data, then the
// export directory), no data, no imports, no relocations, so the image runs
// wherever the loader places it.
struct ImageSpec {
    Uids uids;                               // uid1 KDynamicLibraryUid makes a DLL
    Bytes text;                              // machine code
    Bytes constData;                         // read-only data after the text
    std::vector<std::uint32_t> exports;      // code offsets, ordinal 1 first
    std::uint32_t entryPoint = 0;            // offset in the code
    std::uint32_t codeBase = 0x10000000;
    std::int32_t heapSizeMin = 0x1000;
    std::int32_t heapSizeMax = 0x100000;
    std::int32_t stackSize = 0x2000;
    std::int32_t priority = KPriorityForeground;
    // The version of the tool that made the image: the SDK's translator of
    // the Symbian 6 era wrote 1.0 build 175. Loaders do not look at it.
    std::uint8_t versionMajor = 1;
    std::uint8_t versionMinor = 0;
    std::uint16_t versionBuild = 175;
    std::int64_t time = 0;
};

// The 32-bit wrap-around sum of the little-endian words of data (a trailing
// partial word is ignored, as the translator does).
std::uint32_t wordSum(ByteSpan data);

// Microseconds since 0 AD for a calendar date at midnight (the image time).
std::int64_t imageTime(int year, int month, int day);

// Fails when the entry point or an export lies outside the code.
Result<Bytes> writeImage(const ImageSpec& spec);

// Parses and checks an image: size, signature, UID checksum, section bounds,
// code and data checksums, export directory, import section (bounded names
// and ordinals) and relocation sections. Deflated images are refused with a
// message saying so.
Result<Image> readImage(ByteSpan file);

} // namespace kastra::e32
