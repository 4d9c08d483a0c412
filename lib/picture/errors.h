#pragma once
// The kinds of failure of the picture readers and writers (BMP and JPEG).

#include "base/result.h"

#include <string_view>

namespace kastra {

enum class PictureError {
    Truncated = 1,    // the file ends before the picture does, or is empty
    WrongFormat = 2,  // not a BMP file
    Unsupported = 3,  // a header, depth or compression this reader does not take
    TooLarge = 4,     // larger than the pictures the program holds, or than memory allows
    Damaged = 5,      // the data contradict themselves or the decoder refuses them
    BadArgument = 6,  // the caller gave nothing to write
};

inline constexpr std::string_view kPictureErrorNames[] = {
    "picture.truncated", "picture.wrong_format", "picture.unsupported",
    "picture.too_large", "picture.damaged",      "picture.bad_argument",
};
inline constexpr ErrorDomain kPictureErrors{"picture", kPictureErrorNames, 6};
template <>
inline constexpr const ErrorDomain* kErrorDomainOf<PictureError> = &kPictureErrors;

} // namespace kastra
