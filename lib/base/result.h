#pragma once
// A value, or what went wrong: a code a caller can act on and the text a
// person reads. Parsers and file helpers return this instead of throwing, so
// no exception crosses a library boundary and a failure never leaves a
// half-built object behind.
//
// Each layer lists its kinds of failure in an enum of its own (BaseError
// below, PictureError in picture/errors.h, MbmError in mbm/errors.h, SisError
// in sis/errors.h, HandsetError in handset/errors.h). An ErrorCode holds any
// of them with its layer, compares equal to the enumerator and is named by
// errorName(), as in "mbm.truncated".

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

namespace kastra {

// One layer's codes: the layer's name and, for the enumerator of value v,
// names[v - 1], each "layer.kind".
struct ErrorDomain {
    std::string_view name;
    const std::string_view* names;
    int count;
};

// The domain of a layer's enum; each layer specialises it beside its enum,
// as a pointer to its domain. The general case is of another type, not a
// null pointer: comparing an object's address with null is not a constant
// expression under the sanitizers.
template <class E>
inline constexpr std::nullptr_t kErrorDomainOf = nullptr;

template <class E>
concept LayerError = !std::is_same_v<std::remove_cv_t<decltype(kErrorDomainOf<E>)>, std::nullptr_t>;

// Failures of the base helpers: reading and writing files.
enum class BaseError {
    Io = 1,        // the file cannot be opened, read, written or replaced
    TooLarge = 2,  // the file is larger than the caller allows
    NotAFile = 3,  // the path names a folder or another kind of file
};

inline constexpr std::string_view kBaseErrorNames[] = {"base.io", "base.too_large", "base.not_a_file"};
inline constexpr ErrorDomain kBaseErrors{"base", kBaseErrorNames, 3};
template <>
inline constexpr const ErrorDomain* kErrorDomainOf<BaseError> = &kBaseErrors;

// The code of a failure given none.
inline constexpr std::string_view kUnspecifiedErrorNames[] = {"unspecified"};
inline constexpr ErrorDomain kUnspecifiedErrors{"unspecified", kUnspecifiedErrorNames, 1};

// A layer and a number; the default is no error.
class ErrorCode {
public:
    constexpr ErrorCode() = default;
    template <LayerError E>
    constexpr ErrorCode(E e) : m_domain(kErrorDomainOf<E>), m_value(static_cast<int>(e)) {}
    static constexpr ErrorCode unspecified() { return ErrorCode(&kUnspecifiedErrors, 1); }

    // nullptr when there is no error.
    constexpr const ErrorDomain* domain() const { return m_domain; }
    constexpr int value() const { return m_value; }

    friend constexpr bool operator==(const ErrorCode& a, const ErrorCode& b)
    {
        if (a.m_value != b.m_value || (a.m_domain == nullptr) != (b.m_domain == nullptr))
            return false;
        return a.m_domain == b.m_domain || a.m_domain->name == b.m_domain->name;
    }

private:
    constexpr ErrorCode(const ErrorDomain* domain, int value) : m_domain(domain), m_value(value) {}

    const ErrorDomain* m_domain = nullptr;
    int m_value = 0;
};

// The stable lower-case name of a code: "ok" for no error, "layer.kind" for a
// layer's code, "unspecified" for a failure given none.
constexpr std::string_view errorName(ErrorCode code)
{
    const ErrorDomain* d = code.domain();
    if (d == nullptr)
        return "ok";
    if (code.value() < 1 || code.value() > d->count)
        return d->name;
    return d->names[code.value() - 1];
}

template <class Ch, class Tr>
std::basic_ostream<Ch, Tr>& operator<<(std::basic_ostream<Ch, Tr>& os, const ErrorCode& code)
{
    return os << errorName(code);
}

template <class Ch, class Tr, LayerError E>
std::basic_ostream<Ch, Tr>& operator<<(std::basic_ostream<Ch, Tr>& os, E e)
{
    return os << errorName(e);
}

struct Error {
    explicit Error(std::string text, ErrorCode kind = ErrorCode::unspecified())
        : message(std::move(text)), code(kind) {}

    std::string message;
    ErrorCode code;
};

template <class T>
class Result {
public:
    Result(T value) : m_v(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : m_v(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(m_v); }
    const T& value() const& { return std::get<0>(m_v); }
    T&& value() && { return std::get<0>(std::move(m_v)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const std::string& error() const { return std::get<1>(m_v).message; }
    // No error when the result holds a value.
    ErrorCode code() const { return ok() ? ErrorCode() : std::get<1>(m_v).code; }

private:
    std::variant<T, Error> m_v;
};

// Success carries nothing; failure carries a code and a message.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error.message)), m_code(error.code), m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return m_error; }
    ErrorCode code() const { return m_code; }

private:
    std::string m_error;
    ErrorCode m_code;
    bool m_failed = false;
};

// A failure of a layer's kind; a code read from another result passes it on.
inline Error fail(ErrorCode code, std::string message) { return Error(std::move(message), code); }

// A failure without a code, for the program's own helpers above lib/.
inline Error fail(std::string message) { return Error(std::move(message)); }

} // namespace kastra
