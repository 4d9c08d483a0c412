#pragma once
// The kinds of failure of the package script parser, the package builder,
// writer and reader.

#include "base/result.h"

#include <string_view>

namespace kastra {

enum class SisError {
    Syntax = 1,       // a script (or text file) that does not read: its bytes or its syntax
    NotFound = 2,     // a file the script names is not there, or more than one matches it
    Truncated = 3,    // the package ends inside its header or its compressed data
    WrongFormat = 4,  // not a package, or an embedded file that is not one
    Unsupported = 5,  // a package of another release, or a script feature not handled
    TooLarge = 6,     // more files, bytes or characters than the format or the limits take
    Damaged = 7,      // data outside the package, or compressed data that do not inflate as declared
    BadArgument = 8,  // a package description the writer cannot write as it stands
    Internal = 9,     // zlib failed, or the layout does not add up
};

inline constexpr std::string_view kSisErrorNames[] = {
    "sis.syntax",    "sis.not_found", "sis.truncated",    "sis.wrong_format", "sis.unsupported",
    "sis.too_large", "sis.damaged",   "sis.bad_argument", "sis.internal",
};
inline constexpr ErrorDomain kSisErrors{"sis", kSisErrorNames, 9};
template <>
inline constexpr const ErrorDomain* kErrorDomainOf<SisError> = &kSisErrors;

} // namespace kastra
