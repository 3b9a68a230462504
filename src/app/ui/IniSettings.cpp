#include "IniSettings.h"

#include "QtText.h"
#include "base/RegularFile.h"

IniSettings::IniSettings(const QString &path) : m_path(path) {
    if (!korvat::isIrregularFile(path.toStdString())) {
        m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
        return;
    }
    // Told before the language is read: in the default one.
    m_refusal = korvat::notRegularFileText(path.toStdString(), 0);
}

std::string IniSettings::location() const {
    return (m_settings ? m_settings->fileName() : m_path).toStdString();
}

std::optional<std::string> IniSettings::read(std::string_view key) {
    const QString k = qs(key);
    if (!m_settings || !m_settings->contains(k))
        return std::nullopt;
    return m_settings->value(k).toString().toStdString();
}

bool IniSettings::write(std::string_view key, int value) {
    return store(qs(key), value);
}

bool IniSettings::writeText(std::string_view key, std::string_view value) {
    return store(qs(key), qs(value));
}

bool IniSettings::store(const QString &key, const QVariant &value) {
    if (!m_settings)
        return false;
    m_settings->setValue(key, value);
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}
