#pragma once

#include <optional>
#include <string>
#include <utility>

namespace swivio {

// A one-shot operation's outcome: success, or the message text that says why not.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status failure(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const std::string& message() const { return m_message; }

private:
    explicit Status(std::string message) : m_failed(true), m_message(std::move(message)) {}
    bool m_failed = false;
    std::string m_message;
};

// A value, or the message text of the failure that prevented it.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_message(failure.message()) {}
    static Result failure(std::string message) { return Result(Status::failure(std::move(message))); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    const std::string& message() const { return m_message; }

private:
    std::optional<T> m_value;
    std::string m_message;
};

} // namespace swivio
