#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace tavo {

class TavoStore;

// Store fields the screens show that need shaping for QML: members, the current track, one
// box by id, and the account tab's server switch.
class StoreView : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("core/TavoStore.h")
    QML_ELEMENT
    Q_PROPERTY(tavo::TavoStore* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QVariantList members READ members NOTIFY membersChanged) // userID, phone, role
    Q_PROPERTY(QVariantMap shownDevice READ shownDevice NOTIFY devicesChanged)
    Q_PROPERTY(bool hasMusic READ hasMusic NOTIFY musicChanged)
    Q_PROPERTY(QString musicTitle READ musicTitle NOTIFY musicChanged)
    Q_PROPERTY(QString musicArtist READ musicArtist NOTIFY musicChanged)
    Q_PROPERTY(QString musicArtwork READ musicArtwork NOTIFY musicChanged)
    Q_PROPERTY(QVariantList audioOutputs READ audioOutputs NOTIFY audioOutputChanged) // id, name
    Q_PROPERTY(QString audioOutput READ audioOutput WRITE setAudioOutput NOTIFY audioOutputChanged)
    Q_PROPERTY(bool useLocalServer READ useLocalServer WRITE setUseLocalServer NOTIFY useLocalServerChanged)
    // The device socket: "Online", "Reconnecting…" or "Offline", its dot, the account card's line.
    Q_PROPERTY(QString connWord READ connWord NOTIFY connChanged)
    Q_PROPERTY(QString connDot READ connDot NOTIFY connChanged) // "connected" | "connecting" | "offline"
    Q_PROPERTY(QString accountConnLine READ accountConnLine NOTIFY connChanged)
public:
    explicit StoreView(QObject* parent = nullptr);
    ~StoreView() override;

    TavoStore* store() const;
    void setStore(TavoStore* store);
    QVariantList members() const;
    bool hasMusic() const;
    QString musicTitle() const;
    QString musicArtist() const;
    QString musicArtwork() const;
    QVariantList audioOutputs() const;
    QString audioOutput() const;
    void setAudioOutput(const QString& id);
    bool useLocalServer() const;
    QString connWord() const;
    QString connDot() const;
    QString accountConnLine() const;
    // Stores the choice and signs out, so the user signs in again against that server.
    void setUseLocalServer(bool on);

    // The box the members screen is about: {found, id, name, relayCount, relayNames, role}.
    QVariantMap shownDevice() const;
    // Asks the desktop to open the link; false when it is not a URL.
    Q_INVOKABLE static bool openLink(const QString& link);

signals:
    void storeChanged();
    void membersChanged();
    void musicChanged();
    void devicesChanged();
    void audioOutputChanged();
    void useLocalServerChanged();
    void connChanged();

private:
    class MusicPlayer& music() const;

    QPointer<TavoStore> m_store;
};

} // namespace tavo
