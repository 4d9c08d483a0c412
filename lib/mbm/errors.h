#pragma once
// The kinds of failure of the multi-bitmap file reader and writer and of the
// bmconv command line.

#include "base/result.h"

#include <string_view>

namespace kastra {

enum class MbmError {
    Truncated = 1,    // the file (or a bitmap's data, or a palette file) ends early
    WrongFormat = 2,  // not a multi-bitmap file: its UIDs say otherwise
    Unsupported = 3,  // a ROM image, a depth, palette or compression not handled
    TooLarge = 4,     // more bitmaps, pixels or bytes than the limits allow
    Damaged = 5,      // offsets, sizes, checksums or runs that contradict the file
    BadArgument = 6,  // the caller's bitmaps or command line are not valid
};

inline constexpr std::string_view kMbmErrorNames[] = {
    "mbm.truncated", "mbm.wrong_format", "mbm.unsupported", "mbm.too_large", "mbm.damaged", "mbm.bad_argument",
};
inline constexpr ErrorDomain kMbmErrors{"mbm", kMbmErrorNames, 6};
template <>
inline constexpr const ErrorDomain* kErrorDomainOf<MbmError> = &kMbmErrors;

} // namespace kastra
