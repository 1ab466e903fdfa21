#pragma once

#include "platform/Preferences.h"

#include <QSettings>
#include <memory>

namespace tavo {

// QSettings with a JSON file format (organisation "Tavo", application "Tavo", so
// ~/.config/Tavo/Tavo.json). The INI format would turn every number into text and lose the
// distinction the restore rules depend on; JSON keeps strings, numbers and booleans apart.
// The window app and tavoctl share this file, so a session started in one is seen by the other.
class SettingsPreferences final : public Preferences {
public:
    SettingsPreferences();                             // the user's file
    explicit SettingsPreferences(const QString& path); // an explicit file (tests, tools)

    QVariant value(const QString& key) const override;
    void setValue(const QString& key, const QVariant& value) override;
    void remove(const QString& key) override;

    QString fileName() const { return m_settings->fileName(); }
    // False once a read or write of the file has failed (a folder in the way, no permission):
    // values set since then live in this process only.
    bool stored() const { return m_settings->status() == QSettings::NoError; }
    static QSettings::Format jsonFormat();

private:
    void keepPrivate() const;

    std::unique_ptr<QSettings> m_settings;
};

} // namespace tavo
