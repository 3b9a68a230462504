#include "IniSettings.h"

#include "QtText.h"

std::optional<std::string> IniSettings::read(std::string_view key) {
    const QString k = qs(key);
    if (!m_settings.contains(k))
        return std::nullopt;
    return m_settings.value(k).toString().toStdString();
}

bool IniSettings::write(std::string_view key, int value) {
    m_settings.setValue(qs(key), value);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}
