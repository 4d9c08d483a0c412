#pragma once
// The handset-side files every theme package installs: the captions and
// resources of the two small applications, their information files, the
// font, and the executables. The executables are well-formed images that do
// nothing on the handset (see README.md).

#include "base/bytes.h"
#include "base/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kastra::art {

// UIDs from the range Symbian reserves for development (0x01000000 -
// 0x0FFFFFFF), so they can never collide with an allocated UID.
inline constexpr std::uint32_t KMenuAppUid = 0x0A15C001;      // veZozi
inline constexpr std::uint32_t KManagerAppUid = 0x0A15C002;   // veZorCtrl
inline constexpr std::uint32_t KFontBitmapUid = 0x0A15C010;
inline constexpr std::uint32_t KFontCollectionUid = 0x0A15C011;

// Symbian language codes of the three language variants.
inline constexpr std::uint16_t KLangEnglish = 1;
inline constexpr std::uint16_t KLangGerman = 3;
inline constexpr std::uint16_t KLangRussian = 16;

struct NamedPayload {
    std::string name;   // the PKG resource name, e.g. "MENCR16"
    Bytes bytes;
};

// Every handset file, named by its payload name.
Result<std::vector<NamedPayload>> handsetPayloads();

// The pieces, for the tests.
Result<Bytes> fontStore();
Result<Bytes> utilityProgram(const std::string& name);       // DEL_F, DEL_L, RES, RES_AV
Result<Bytes> applicationImage(std::uint32_t appUid, const std::string& name);

} // namespace kastra::art
