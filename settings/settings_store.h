#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace swivio {

// Where persisted settings live: named values grouped in sections. A value is an integer
// (up to 32 bits, signed or unsigned) or a text.
//
// Reading never fails: a value that is missing or of the other kind reads as empty, and the
// caller supplies the default. Writing is best effort; a failure shows only in flush().
class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    virtual std::optional<int64_t> readInt(const std::string& section, const std::string& name) = 0;
    virtual std::optional<std::string> readString(const std::string& section,
                                                  const std::string& name) = 0;
    virtual void writeInt(const std::string& section, const std::string& name, int64_t value) = 0;
    virtual void writeString(const std::string& section, const std::string& name,
                             const std::string& value) = 0;
    // Makes the writes durable; false if they could not be stored.
    virtual bool flush() { return true; }
};

// The user's settings file, kept by QSettings: organisation "Velmora", application "Swivio",
// one group per section. On Linux the file is INI text, which keeps no types: an integer
// reads back as text, so a value counts as an integer when its whole text is a decimal whole
// number (optional sign, no spaces).
class QtSettingsStore : public SettingsStore {
public:
    // The per-user store of the application.
    QtSettingsStore();
    // An INI file at the given path (for tests and tools).
    explicit QtSettingsStore(const std::string& iniPath);
    ~QtSettingsStore() override;

    std::optional<int64_t> readInt(const std::string& section, const std::string& name) override;
    std::optional<std::string> readString(const std::string& section,
                                          const std::string& name) override;
    void writeInt(const std::string& section, const std::string& name, int64_t value) override;
    void writeString(const std::string& section, const std::string& name,
                     const std::string& value) override;
    bool flush() override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Values held in memory, typed as they were written, with a log of every access in order.
// For tests, and for running with settings that must not touch the user's file.
class MemorySettingsStore : public SettingsStore {
public:
    using Value = std::variant<int64_t, std::string>;
    struct Access {
        std::string section;
        std::string name;
        bool operator==(const Access&) const = default;
    };

    std::optional<int64_t> readInt(const std::string& section, const std::string& name) override;
    std::optional<std::string> readString(const std::string& section,
                                          const std::string& name) override;
    void writeInt(const std::string& section, const std::string& name, int64_t value) override;
    void writeString(const std::string& section, const std::string& name,
                     const std::string& value) override;

    // Direct access, bypassing the logs.
    void set(const std::string& section, const std::string& name, Value value);
    const Value* find(const std::string& section, const std::string& name) const;

    const std::vector<Access>& reads() const { return m_reads; }
    const std::vector<Access>& writes() const { return m_writes; }
    void clearLogs() {
        m_reads.clear();
        m_writes.clear();
    }

private:
    std::map<std::pair<std::string, std::string>, Value> m_values;
    std::vector<Access> m_reads;
    std::vector<Access> m_writes;
};

} // namespace swivio
