#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace swivio {

// Things that went wrong without stopping an operation (a sound that could not be added, tags
// skipped in a damaged movie), in the words shown to the user.
class Warnings {
public:
    void warn(std::string message) { m_warnings.push_back(std::move(message)); }
    void warn(const Warnings& other) {
        m_warnings.insert(m_warnings.end(), other.m_warnings.begin(), other.m_warnings.end());
    }
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    std::vector<std::string> m_warnings;
};

// A one-shot operation's outcome: success, or the message text that says why not; either
// way with the warnings met on the way.
class [[nodiscard]] Status : public Warnings {
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

// A value, or the message text of the failure that prevented it; either way with the
// warnings met on the way.
template <typename T> class [[nodiscard]] Result : public Warnings {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : Warnings(failure), m_message(failure.message()) {}
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
