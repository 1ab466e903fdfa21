#include "platform/linux/SettingsPreferences.h"

#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <sys/stat.h>

namespace tavo {

namespace {

bool readJson(QIODevice& device, QSettings::SettingsMap& map) {
    const QByteArray bytes = device.readAll();
    if (bytes.trimmed().isEmpty()) return true;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    // A damaged file reads as empty settings: start-up must never fail on it.
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return true;
    map = doc.object().toVariantMap();
    return true;
}

bool writeJson(QIODevice& device, const QSettings::SettingsMap& map) {
    const QByteArray bytes = QJsonDocument(QJsonObject::fromVariantMap(map)).toJson(QJsonDocument::Indented);
    return device.write(bytes) == bytes.size();
}

} // namespace

QSettings::Format SettingsPreferences::jsonFormat() {
    static const QSettings::Format format = QSettings::registerFormat("json", readJson, writeJson);
    return format;
}

SettingsPreferences::SettingsPreferences()
    : m_settings(std::make_unique<QSettings>(jsonFormat(), QSettings::UserScope, "Tavo", "Tavo")) {
    keepPrivate();
}

SettingsPreferences::SettingsPreferences(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, jsonFormat())) {
    keepPrivate();
}

// The file holds the session token, a bearer credential: only its owner may read it. QSettings
// writes through a temporary file renamed over the old one (never half a file) and keeps the
// mode of the file it replaces, but a new file gets 0666 less the umask, so the folder is made
// 0700 first and the file set to 0600 after each write.
void SettingsPreferences::keepPrivate() const {
    const QFileInfo file(m_settings->fileName());
    const QString folder = file.absolutePath();
    if (!QFileInfo::exists(folder)) QDir().mkpath(folder);
    if (QFileInfo(folder).isDir()) ::chmod(QFile::encodeName(folder).constData(), S_IRWXU);
    if (file.isFile()) ::chmod(QFile::encodeName(file.absoluteFilePath()).constData(), S_IRUSR | S_IWUSR);
}

QVariant SettingsPreferences::value(const QString& key) const {
    return m_settings->value(key);
}

void SettingsPreferences::setValue(const QString& key, const QVariant& value) {
    m_settings->setValue(key, value);
    m_settings->sync();
    keepPrivate();
}

void SettingsPreferences::remove(const QString& key) {
    m_settings->remove(key);
    m_settings->sync();
    keepPrivate();
}

} // namespace tavo
