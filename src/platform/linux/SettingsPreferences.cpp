#include "platform/linux/SettingsPreferences.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>

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
    : m_settings(std::make_unique<QSettings>(jsonFormat(), QSettings::UserScope, "Tavo", "Tavo")) {}

SettingsPreferences::SettingsPreferences(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, jsonFormat())) {}

QVariant SettingsPreferences::value(const QString& key) const {
    return m_settings->value(key);
}

void SettingsPreferences::setValue(const QString& key, const QVariant& value) {
    m_settings->setValue(key, value);
    m_settings->sync();
}

void SettingsPreferences::remove(const QString& key) {
    m_settings->remove(key);
    m_settings->sync();
}

} // namespace tavo
