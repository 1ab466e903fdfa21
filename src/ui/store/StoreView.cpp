#include "ui/store/StoreView.h"

#include "core/TavoStore.h"
#include "music/MusicPlayer.h"
#include "platform/Media.h"
#include "platform/Preferences.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

namespace tavo {

StoreView::StoreView(QObject* parent) : QObject(parent) {}

StoreView::~StoreView() = default;

TavoStore* StoreView::store() const {
    return m_store;
}

void StoreView::setStore(TavoStore* s) {
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    m_store = s;
    if (s) {
        connect(s, &TavoStore::membersChanged, this, &StoreView::membersChanged);
        connect(s, &TavoStore::musicChanged, this, &StoreView::musicChanged);
        connect(s, &TavoStore::devicesChanged, this, &StoreView::devicesChanged);
        connect(s, &TavoStore::screenChanged, this, &StoreView::devicesChanged);
        connect(s, &TavoStore::connChanged, this, &StoreView::connChanged);
    }
    emit storeChanged();
    emit membersChanged();
    emit musicChanged();
    emit devicesChanged();
    emit useLocalServerChanged();
    emit connChanged();
}

namespace {

// The socket's state as the devices tab and the account card word it, and their dot.
struct ConnTexts {
    QString word, dot;
};
ConnTexts connTexts(const TavoStore* store) {
    switch (store ? store->conn() : TavoStore::ConnStatus::Offline) {
    case TavoStore::ConnStatus::Connected:
        return {QStringLiteral("Online"), QStringLiteral("connected")};
    case TavoStore::ConnStatus::Connecting:
        return {QStringLiteral("Reconnecting…"), QStringLiteral("connecting")};
    case TavoStore::ConnStatus::Offline:
        break;
    }
    return {QStringLiteral("Offline"), QStringLiteral("offline")};
}

} // namespace

QString StoreView::connWord() const {
    return connTexts(m_store).word;
}

QString StoreView::connDot() const {
    return connTexts(m_store).dot;
}

QString StoreView::accountConnLine() const {
    return m_store && m_store->conn() == TavoStore::ConnStatus::Connected
               ? QStringLiteral("Connected to cloud")
               : connWord();
}

QVariantList StoreView::members() const {
    QVariantList rows;
    if (!m_store) return rows;
    for (const Member& m : m_store->members())
        rows.append(QVariantMap{{"userID", m.user_id}, {"phone", m.phone}, {"role", m.role}});
    return rows;
}

bool StoreView::hasMusic() const {
    return m_store && m_store->music().has_value();
}
QString StoreView::musicTitle() const {
    return hasMusic() ? m_store->music()->title : QString();
}
QString StoreView::musicArtist() const {
    return hasMusic() ? m_store->music()->artist.value_or(QString()) : QString();
}
QString StoreView::musicArtwork() const {
    return hasMusic() ? m_store->music()->thumbnailURL.value_or(QString()) : QString();
}

MusicPlayer& StoreView::music() const {
    return *m_store->services().music;
}

QVariantList StoreView::audioOutputs() const {
    QVariantList rows;
    if (MediaModule* module = media())
        for (const AudioDevice& d : module->audioOutputs())
            rows.append(QVariantMap{{"id", QString::fromUtf8(d.id)}, {"name", d.name}});
    return rows;
}

QString StoreView::audioOutput() const {
    return m_store ? QString::fromUtf8(music().outputDevice()) : QString();
}

void StoreView::setAudioOutput(const QString& id) {
    if (m_store) music().setOutputDevice(id.toUtf8());
    emit audioOutputChanged();
}

bool StoreView::useLocalServer() const {
    return m_store && m_store->services().preferences->boolean(PrefKey::useLocalServer);
}

void StoreView::setUseLocalServer(bool on) {
    if (!m_store) return;
    m_store->services().preferences->setValue(PrefKey::useLocalServer, on);
    m_store->teardownWSTask();
    m_store->signOut(); // goes offline too
    emit useLocalServerChanged();
}

QVariantMap StoreView::shownDevice() const {
    const qint64 id = m_store ? m_store->screen().deviceID : 0;
    if (m_store)
        for (const Device& d : m_store->devices()) {
            if (d.id != id) continue;
            QVariantMap names;
            for (auto it = d.relay_names.constBegin(); it != d.relay_names.constEnd(); ++it)
                names.insert(it.key(), it.value());
            return {{"found", true},  {"id", double(d.id)}, // a QML number; box ids stay far below 2^53
                    {"name", d.name}, {"relayCount", d.relay_count}, {"relayNames", names}, {"role", d.role}};
        }
    return {{"found", false},
            {"id", double(id)},
            {"name", QString()},
            {"relayCount", 0},
            {"relayNames", QVariantMap()},
            {"role", QString()}};
}

bool StoreView::openLink(const QString& link) {
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return false;
    return QDesktopServices::openUrl(url);
}

} // namespace tavo
