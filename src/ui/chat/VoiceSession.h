#pragma once

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace tavo {

class TavoStore;
class VoiceService;

// The voice overlay's session: one VoiceService on the desktop's microphone and speakers,
// reading the store's session token when it starts, and living exactly as long as the
// overlay that owns this object.
class VoiceSession : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("core/TavoStore.h")
    QML_ELEMENT
    Q_PROPERTY(tavo::TavoStore* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int state READ state NOTIFY stateChanged)     // VoiceService::State
    Q_PROPERTY(QString label READ label NOTIFY stateChanged) // under the orb: "LISTENING", …
    Q_PROPERTY(QString hint READ hint NOTIFY stateChanged)   // what a tap on the orb does now
    Q_PROPERTY(QString heard READ heard NOTIFY heardChanged)
    Q_PROPERTY(bool heardIsFinal READ heardIsFinal NOTIFY heardChanged)
    Q_PROPERTY(QString spoken READ spoken NOTIFY spokenChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
public:
    explicit VoiceSession(QObject* parent = nullptr);
    ~VoiceSession() override;

    TavoStore* store() const;
    void setStore(TavoStore* store);
    int state() const;
    QString label() const;
    QString hint() const;
    QString heard() const;
    bool heardIsFinal() const;
    QString spoken() const;
    QString errorText() const;

    Q_INVOKABLE void start();
    // The orb: start while idle or failed, end the utterance while listening, else nothing.
    Q_INVOKABLE void toggle();
    // Closing the overlay: a session never outlives it.
    Q_INVOKABLE void cancel();

signals:
    void storeChanged();
    void stateChanged();
    void heardChanged();
    void spokenChanged();
    void errorTextChanged();

private:
    QPointer<TavoStore> m_store;
    std::unique_ptr<VoiceService> m_voice;
};

} // namespace tavo
