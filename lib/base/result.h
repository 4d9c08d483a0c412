#pragma once
// A value or the text of what went wrong. Parsers and file helpers return this
// instead of throwing, so no exception crosses a library boundary and a
// failure never leaves a half-built object behind.

#include <string>
#include <utility>
#include <variant>

namespace kastra {

struct Error {
    std::string message;
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

private:
    std::variant<T, Error> m_v;
};

// Success carries nothing; failure carries a message.
template <>
class Result<void> {
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error.message)), m_failed(true) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return m_error; }

private:
    std::string m_error;
    bool m_failed = false;
};

inline Error fail(std::string message) { return Error{std::move(message)}; }

} // namespace kastra
