#pragma once
// The kinds of failure of the handset's own file formats: UIDs, descriptors,
// resource and caption files, application information files, executable
// images and font stores.

#include "base/result.h"

#include <string_view>

namespace kastra {

enum class HandsetError {
    Truncated = 1,    // the file, a stream or a field ends early
    WrongFormat = 2,  // the UIDs or the signature say it is another kind of file
    Unsupported = 3,  // a compression, version or encoding not handled
    TooLarge = 4,     // a text, a table or the code is larger than the format holds
    Damaged = 5,      // checksums, offsets, counts or sizes that contradict the file
    BadArgument = 6,  // what the caller asked to write is not consistent
};

inline constexpr std::string_view kHandsetErrorNames[] = {
    "handset.truncated", "handset.wrong_format", "handset.unsupported",
    "handset.too_large", "handset.damaged",      "handset.bad_argument",
};
inline constexpr ErrorDomain kHandsetErrors{"handset", kHandsetErrorNames, 6};
template <>
inline constexpr const ErrorDomain* kErrorDomainOf<HandsetError> = &kHandsetErrors;

} // namespace kastra
