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
    QML_ELEMENT
    Q_PROPERTY(QObject* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QVariantList members READ members NOTIFY membersChanged) // userID, phone, role
    Q_PROPERTY(bool hasMusic READ hasMusic NOTIFY musicChanged)
    Q_PROPERTY(QString musicTitle READ musicTitle NOTIFY musicChanged)
    Q_PROPERTY(QString musicArtist READ musicArtist NOTIFY musicChanged)
    Q_PROPERTY(QString musicArtwork READ musicArtwork NOTIFY musicChanged)
    Q_PROPERTY(QVariantList audioOutputs READ audioOutputs NOTIFY audioOutputChanged) // id, name
    Q_PROPERTY(QString audioOutput READ audioOutput WRITE setAudioOutput NOTIFY audioOutputChanged)
    Q_PROPERTY(bool useLocalServer READ useLocalServer WRITE setUseLocalServer NOTIFY useLocalServerChanged)
public:
    explicit StoreView(QObject* parent = nullptr);
    ~StoreView() override;

    QObject* store() const;
    void setStore(QObject* store);
    QVariantList members() const;
    bool hasMusic() const;
    QString musicTitle() const;
    QString musicArtist() const;
    QString musicArtwork() const;
    QVariantList audioOutputs() const;
    QString audioOutput() const;
    void setAudioOutput(const QString& id);
    bool useLocalServer() const;
    // Stores the choice and signs out, so the user signs in again against that server.
    void setUseLocalServer(bool on);

    // One box by id: {found, name, relayCount, relayNames, role}.
    Q_INVOKABLE QVariantMap device(qint64 id) const;
    // Asks the desktop to open the link; false when it is not a URL.
    Q_INVOKABLE static bool openLink(const QString& link);

signals:
    void storeChanged();
    void membersChanged();
    void musicChanged();
    void devicesChanged();
    void audioOutputChanged();
    void useLocalServerChanged();

private:
    class MusicPlayer& music() const;

    QPointer<TavoStore> m_store;
};

} // namespace tavo
