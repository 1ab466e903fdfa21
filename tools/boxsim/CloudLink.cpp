#include "CloudLink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <cstdio>
#include <utility>

namespace tavo::boxsim {

namespace {

constexpr int retryMs = 1000;
constexpr int cloudTimeoutMs = 2000;

QNetworkRequest jsonRequest(const QUrl& url) {
    QNetworkRequest req(url);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    req.setTransferTimeout(cloudTimeoutMs);
    return req;
}

} // namespace

CloudLink::CloudLink(QUrl cloud, Box box, QObject* parent)
    : QObject(parent), m_cloud(std::move(cloud)), m_box(std::move(box)) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &CloudLink::registerBox);
}

void CloudLink::join(const QString& ssid) {
    m_ssid = ssid;
    if (!m_cloud.isValid()) {
        fprintf(stderr, "tavo-boxsim: joined \"%s\" but no --cloud was given; the box stays offline\n",
                qPrintable(ssid));
        return;
    }
    registerBox();
}

void CloudLink::registerBox() {
    if (m_registering) return;
    m_registering = true;
    QUrl url = m_cloud;
    url.setPath(url.path() + QStringLiteral("/dev/boxes/register"));
    const QJsonObject body{
        {"mac", m_box.mac}, {"name", m_box.name}, {"relays", m_box.relays}, {"wifi_ssid", m_ssid}};
    QNetworkReply* reply = m_nam.post(jsonRequest(url), QJsonDocument(body).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        m_registering = false;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
        if (status != 200) {
            fprintf(stderr, "tavo-boxsim: registering with %s failed (%s); retrying\n",
                    qPrintable(m_cloud.toString()),
                    qPrintable(status ? QStringLiteral("HTTP %1").arg(status) : reply->errorString()));
            m_view.connected = false;
            m_retry.start();
            return;
        }
        m_registered = true;
        m_view.connected = true;
        m_view.deviceID = o.value("device_id").toInteger();
        m_view.pairCode = o.value("pair_code").toString();
        fprintf(stderr, "tavo-boxsim: registered, pair code \"%s\", device id %lld\n",
                qPrintable(m_view.pairCode), m_view.deviceID);
    });
}

void CloudLink::refresh(std::function<void()> done) {
    // Every read asks the cloud afresh (reads arriving meanwhile share one fetch): a cached
    // view would still show the pair code of a box claimed a moment ago.
    if (!m_registered) return done();
    m_waiting.append(std::move(done));
    if (!m_fetching) fetch();
}

void CloudLink::fetch() {
    m_fetching = true;
    QUrl url = m_cloud;
    url.setPath(url.path() + QStringLiteral("/dev/boxes/") + m_box.mac);
    QNetworkReply* reply = m_nam.get(jsonRequest(url));
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QJsonObject o = QJsonDocument::fromJson(reply->readAll()).object();
        if (status == 200) {
            m_view.connected = true;
            m_view.deviceID = o.value("device_id").toInteger();
            m_view.pairCode = o.value("pair_code").toString();
            m_view.states.clear();
            for (const auto& s : o.value("states").toArray())
                m_view.states.append(s.toBool());
            m_view.names.clear();
            const QJsonObject names = o.value("relay_names").toObject();
            for (auto it = names.constBegin(); it != names.constEnd(); ++it)
                m_view.names.insert(it.key(), it->toString());
        } else {
            m_view.connected = false;
            // The cloud forgot the box (a reset): register again, as a box that lost its session would.
            if (status == 404) {
                m_registered = false;
                registerBox();
            }
        }
        finishFetch();
    });
}

void CloudLink::finishFetch() {
    m_fetching = false;
    const QList<std::function<void()>> waiting = std::exchange(m_waiting, {});
    for (const auto& done : waiting)
        done();
}

} // namespace tavo::boxsim
