#include "setup/BoxClient.h"

#include "cloud/OwnedReply.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <memory>

#include <qcoro/qcoronetworkreply.h>

namespace tavo {

std::optional<QUrl> boxBase(const QString& host, int port) {
    if (host.isEmpty() || port < 0 || port > 65535) return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    // setHost brackets an IPv6 address itself. Its zone ("%tcli0"), which a link-local
    // address cannot do without, is written "%25" in a URL.
    QString text = host;
    if (text.contains(u':')) text.replace(u'%', QStringLiteral("%25"));
    url.setHost(text, QUrl::StrictMode);
    url.setPort(port);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    return url;
}

std::optional<QUrl> boxURL(const QUrl& base, const QString& path) {
    const QUrl url(base.toString(QUrl::FullyEncoded) + path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    return url;
}

namespace {

// Why a request was ended on our side.
enum class Cut { None, Late, Large };

QCoro::Task<> cutWhenLate(Clock* clock, std::chrono::milliseconds limit, CancelToken finished,
                          QPointer<QNetworkReply> reply, std::shared_ptr<Cut> cut) {
    co_await clock->sleep(limit, finished);
    if (finished.isCancelled() || !reply || *cut != Cut::None) co_return;
    *cut = Cut::Late;
    reply->abort();
}

} // namespace

QCoro::Task<Result<BoxAnswer>> exchangeWithBox(QNetworkAccessManager& nam, QUrl url, QByteArray method,
                                               std::optional<QByteArray> formBody,
                                               std::chrono::milliseconds limit, Clock* clock,
                                               CancelToken cancel) {
    if (cancel.isCancelled()) co_return Failure::transport(QStringLiteral("Operation canceled"));
    QNetworkRequest req(url);
    req.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    if (formBody)
        req.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    auto cut = std::make_shared<Cut>(Cut::None);
    OwnedReply reply(formBody ? nam.sendCustomRequest(req, method, *formBody)
                              : nam.sendCustomRequest(req, method));
    QNetworkReply* raw = reply.get();
    QObject::connect(raw, &QNetworkReply::downloadProgress, raw, [raw, cut](qint64 received, qint64 total) {
        if (*cut == Cut::None &&
            (received > BoxClient::maxAnswerBytes || total > BoxClient::maxAnswerBytes)) {
            *cut = Cut::Large;
            raw->abort();
        }
    });
    const CancelToken finished;
    if (clock) {
        cutWhenLate(clock, limit, finished, raw, cut);
    } else {
        QTimer::singleShot(limit, raw, [raw, cut] {
            if (*cut != Cut::None) return;
            *cut = Cut::Late;
            raw->abort();
        });
    }
    cancel.onCancel([weak = QPointer<QNetworkReply>(raw)] {
        if (weak) weak->abort();
    });
    co_await qCoro(raw).waitForFinished();
    finished.cancel();
    if (*cut == Cut::Late) co_return Failure::transport(QStringLiteral("The box took too long to answer."));
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (*cut != Cut::Large && !status.isValid()) co_return Failure::transport(reply->errorString());
    const QByteArray body = reply->readAll();
    // Also one that arrived whole before it could be cut off.
    if (*cut == Cut::Large || body.size() > BoxClient::maxAnswerBytes)
        co_return Failure::transport(QStringLiteral("The box's answer is too large."));
    co_return BoxAnswer{status.toInt(), body};
}

QByteArray BoxClient::formEncode(const QString& value) {
    // QByteArray::toPercentEncoding keeps exactly the unreserved set given here.
    return value.toUtf8().toPercentEncoding(QByteArray(), QByteArray(), '%');
}

QByteArray BoxClient::connectBody(const QString& ssid, const QString& password) {
    return "ssid=" + formEncode(ssid) + "&password=" + formEncode(password);
}

QCoro::Task<Result<CloudStatus>> BoxClient::cloudStatus() const {
    const std::optional<QUrl> url = boxURL(m_base, QStringLiteral("/api/cloud-status"));
    if (!url) co_return Failure::invalidAddress(QStringLiteral("The box address isn't valid."));
    const Result<BoxAnswer> answer =
        co_await exchangeWithBox(m_nam, *url, "GET", std::nullopt, getLimit, m_clock);
    if (!answer) co_return answer.failure();
    co_return json::decode<CloudStatus>(answer->body);
}

QCoro::Task<Result<std::monostate>> BoxClient::connect(QString ssid, QString password) const {
    const std::optional<QUrl> url = boxURL(m_base, QStringLiteral("/api/connect"));
    if (!url) co_return Failure::invalidAddress(QStringLiteral("The box address isn't valid."));
    const Result<BoxAnswer> answer =
        co_await exchangeWithBox(m_nam, *url, "POST", connectBody(ssid, password), postLimit, m_clock);
    if (!answer) co_return answer.failure();
    if (answer->status < 200 || answer->status > 299) {
        // Its own words when it gave some, and the status either way.
        const QJsonValue said = QJsonDocument::fromJson(answer->body).object().value(QStringLiteral("error"));
        QString text = QStringLiteral("The box refused the WiFi details");
        const QString words = said.toString().simplified().left(120);
        if (!words.isEmpty()) text += QStringLiteral(": ") + words;
        co_return Failure::transport(text + QStringLiteral(" (HTTP %1)").arg(answer->status));
    }
    co_return Result<std::monostate>(std::monostate{}); // a bare monostate would set QCoro's empty slot
}

} // namespace tavo
