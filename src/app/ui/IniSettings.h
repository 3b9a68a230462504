#pragma once
// The settings file as an INI file (QSettings), behind the core's settings store.

#include "app/Settings.h"

#include <QSettings>

class IniSettings : public korvat::SettingsStore {
public:
    explicit IniSettings(const QString &path) : m_settings(path, QSettings::IniFormat) {}

    std::optional<std::string> read(std::string_view key) override;
    // Saves at once, so a failure is known for this value.
    bool write(std::string_view key, int value) override;
    bool writeText(std::string_view key, std::string_view value) override;
    std::string location() const override { return m_settings.fileName().toStdString(); }

private:
    bool store(const QString &key, const QVariant &value);

    QSettings m_settings;
};
