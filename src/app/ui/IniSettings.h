#pragma once
// The settings file as an INI file (QSettings), behind the core's settings store.

#include "app/Settings.h"

#include <QSettings>
#include <memory>

class IniSettings : public korvat::SettingsStore {
public:
    // Something other than a regular file at the path (a named pipe, whose reading would
    // wait for ever, a device, a folder) is neither read nor written: every key reads as
    // absent and every write fails.
    explicit IniSettings(const QString &path);

    std::optional<std::string> read(std::string_view key) override;
    // Saves at once, so a failure is known for this value.
    bool write(std::string_view key, int value) override;
    bool writeText(std::string_view key, std::string_view value) override;
    std::string location() const override;
    // Why the file is not used, or nothing.
    const std::string &refusal() const { return m_refusal; }

private:
    bool store(const QString &key, const QVariant &value);

    QString m_path;
    std::unique_ptr<QSettings> m_settings;
    std::string m_refusal;
};
