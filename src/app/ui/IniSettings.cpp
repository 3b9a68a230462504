#include "IniSettings.h"

#include "QtText.h"

std::optional<std::string> IniSettings::read(std::string_view key) {
    const QString k = qs(key);
    if (!m_settings.contains(k))
        return std::nullopt;
    return m_settings.value(k).toString().toStdString();
}

bool IniSettings::write(std::string_view key, int value) {
    return store(qs(key), value);
}

bool IniSettings::writeText(std::string_view key, std::string_view value) {
    return store(qs(key), qs(value));
}

bool IniSettings::store(const QString &key, const QVariant &value) {
    m_settings.setValue(key, value);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}
