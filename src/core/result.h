#pragma once

#include <utility>
#include <variant>

#include <QString>

namespace pagrion {

// What went wrong, in words the user can be shown as they stand.
struct Error
{
    QString message;
};

// A value or the error that prevented it. Storage and other fallible core
// functions return this; the windows decide how an error is shown.
template <typename T>
class [[nodiscard]] Result final
{
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error error) : m_state(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<T>(m_state); }
    T &&value() && { return std::get<T>(std::move(m_state)); }
    const QString &error() const { return std::get<Error>(m_state).message; }

private:
    std::variant<T, Error> m_state;
};

// For operations that return nothing but may fail.
struct Done
{
};
using Status = Result<Done>;

inline Status success()
{
    return Done{};
}

} // namespace pagrion
