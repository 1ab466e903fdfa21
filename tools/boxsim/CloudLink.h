#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace tavo::boxsim {

// The box's side of the cloud: it registers by MAC once it is on a network, then reads back
// from tavo-devcloud whether it has been claimed and what its relays are.
class CloudLink : public QObject {
    Q_OBJECT
public:
    struct Box {
        QString mac, name;
        int relays = 0;
    };
    // What the box last learnt from the cloud.
    struct View {
        bool connected = false;
        qint64 deviceID = 0; // > 0 once claimed
        QString pairCode;    // while unclaimed
        QList<bool> states;
        QMap<QString, QString> names;
    };

    CloudLink(QUrl cloud, Box box, QObject* parent = nullptr);

    // On the network now: registers, retrying while the cloud cannot be reached.
    void join(const QString& ssid);
    // Calls `done` once the view is at most half a second old (or the cloud failed to answer).
    void refresh(std::function<void()> done);
    const View& view() const { return m_view; }
    bool registered() const { return m_registered; }

private:
    void registerBox();
    void fetch();
    void finishFetch();

    QUrl m_cloud;
    Box m_box;
    QString m_ssid;
    QNetworkAccessManager m_nam;
    QTimer m_retry;
    bool m_registering = false;
    bool m_registered = false;
    bool m_fetching = false;
    QList<std::function<void()>> m_waiting;
    View m_view;
};

} // namespace tavo::boxsim
