#include "setup/BoxClient.h"

#include <QNetworkReply>
#include <memory>

#include <qcoro/qcoronetworkreply.h>

namespace tavo {

std::optional<QUrl> boxURL(const QUrl& base, const QString& path) {
    const QUrl url(base.toString(QUrl::FullyEncoded) + path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;
    return url;
}

QByteArray BoxClient::formEncode(const QString& value) {
    // QByteArray::toPercentEncoding keeps exactly the unreserved set given here.
    return value.toUtf8().toPercentEncoding(QByteArray(), QByteArray(), '%');
}

QByteArray BoxClient::connectBody(const QString& ssid, const QString& password) {
    return "ssid=" + formEncode(ssid) + "&password=" + formEncode(password);
}

QCoro::Task<Result<QByteArray>> BoxClient::exchange(QByteArray method, QString path, std::optional<QByteArray> body,
                                                   int timeoutMs) const {
    const std::optional<QUrl> url = boxURL(m_base, path);
    if (!url) co_return Failure::invalidAddress(QStringLiteral("The box address isn't valid."));
    QNetworkRequest req(*url);
    req.setTransferTimeout(timeoutMs);
    if (body) req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    std::unique_ptr<QNetworkReply> reply(body ? m_nam.sendCustomRequest(req, method, *body)
                                              : m_nam.sendCustomRequest(req, method));
    co_await qCoro(reply.get()).waitForFinished();
    const QByteArray data = reply->readAll();
    // An HTTP answer of any status is an answer; only no answer at all is a failure.
    if (!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
        reply->error() != QNetworkReply::NoError)
        co_return Failure::transport(reply->errorString());
    co_return data;
}

QCoro::Task<Result<CloudStatus>> BoxClient::cloudStatus() const {
    Result<QByteArray> raw = co_await exchange("GET", QStringLiteral("/api/cloud-status"), std::nullopt, getTimeoutMs);
    if (!raw) co_return raw.failure();
    co_return json::decode<CloudStatus>(raw.value());
}

QCoro::Task<Result<std::monostate>> BoxClient::connect(QString ssid, QString password) const {
    Result<QByteArray> raw =
        co_await exchange("POST", QStringLiteral("/api/connect"), connectBody(ssid, password), postTimeoutMs);
    if (!raw) co_return raw.failure();
    co_return Result<std::monostate>(std::monostate{}); // a bare monostate would set QCoro's empty slot
}

} // namespace tavo
