#include "settings/settings_store.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace swivio {

namespace {

// A decimal whole number filling the whole text: optional sign, then digits only.
std::optional<int64_t> parseWholeNumber(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool sign = i == 0 && (c == u'-' || c == u'+') && text.size() > 1;
        if (!sign && !(c >= u'0' && c <= u'9'))
            return std::nullopt;
    }
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return int64_t(v);
}

QString key(const std::string& section, const std::string& name) {
    return QString::fromStdString(section) + u'/' + QString::fromStdString(name);
}

} // namespace

struct QtSettingsStore::Impl {
    QSettings settings;
    Impl() : settings(QSettings::NativeFormat, QSettings::UserScope, "Velmora", "Swivio") {}
    explicit Impl(const std::string& path)
        : settings(QString::fromStdString(path), QSettings::IniFormat) {}
};

QtSettingsStore::QtSettingsStore() : m_impl(std::make_unique<Impl>()) {}
QtSettingsStore::QtSettingsStore(const std::string& iniPath)
    : m_impl(std::make_unique<Impl>(iniPath)) {}
QtSettingsStore::~QtSettingsStore() = default;

std::optional<int64_t> QtSettingsStore::readInt(const std::string& section,
                                                const std::string& name) {
    const QVariant v = m_impl->settings.value(key(section, name));
    if (!v.isValid())
        return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        if (v.typeId() == QMetaType::ULongLong && v.toULongLong() > uint64_t(INT64_MAX))
            return std::nullopt;
        return int64_t(v.toLongLong());
    case QMetaType::QString:
        return parseWholeNumber(v.toString());
    default:
        return std::nullopt;
    }
}

std::optional<std::string> QtSettingsStore::readString(const std::string& section,
                                                       const std::string& name) {
    const QVariant v = m_impl->settings.value(key(section, name));
    // A list (an INI value with commas written by hand) is not a text value.
    if (!v.isValid() || v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString().toStdString();
}

void QtSettingsStore::writeInt(const std::string& section, const std::string& name, int64_t value) {
    m_impl->settings.setValue(key(section, name), qlonglong(value));
}

void QtSettingsStore::writeString(const std::string& section, const std::string& name,
                                  const std::string& value) {
    m_impl->settings.setValue(key(section, name), QString::fromStdString(value));
}

bool QtSettingsStore::flush() {
    m_impl->settings.sync();
    return m_impl->settings.status() == QSettings::NoError;
}

std::optional<int64_t> MemorySettingsStore::readInt(const std::string& section,
                                                    const std::string& name) {
    m_reads.push_back({section, name});
    const Value* v = find(section, name);
    if (!v || !std::holds_alternative<int64_t>(*v))
        return std::nullopt;
    return std::get<int64_t>(*v);
}

std::optional<std::string> MemorySettingsStore::readString(const std::string& section,
                                                           const std::string& name) {
    m_reads.push_back({section, name});
    const Value* v = find(section, name);
    if (!v || !std::holds_alternative<std::string>(*v))
        return std::nullopt;
    return std::get<std::string>(*v);
}

void MemorySettingsStore::writeInt(const std::string& section, const std::string& name,
                                   int64_t value) {
    m_writes.push_back({section, name});
    set(section, name, value);
}

void MemorySettingsStore::writeString(const std::string& section, const std::string& name,
                                      const std::string& value) {
    m_writes.push_back({section, name});
    set(section, name, value);
}

void MemorySettingsStore::set(const std::string& section, const std::string& name, Value value) {
    m_values[{section, name}] = std::move(value);
}

const MemorySettingsStore::Value* MemorySettingsStore::find(const std::string& section,
                                                            const std::string& name) const {
    auto it = m_values.find({section, name});
    return it == m_values.end() ? nullptr : &it->second;
}

} // namespace swivio
