#include "cloud/Api.h"

#include "cloud/OwnedReply.h"
#include "cloud/Tls.h"
#include "platform/Preferences.h"

#include <QNetworkReply>
#include <QUrl>
#include <memory>

#include <qcoro/qcoronetworkreply.h>

namespace tavo {

Failure transportFailure(const QNetworkReply& reply) {
    // Only the transfer timeout cancels a request: the client aborts none it still reads.
    if (reply.error() == QNetworkReply::OperationCanceledError ||
        reply.error() == QNetworkReply::TimeoutError)
        return Failure::transport(QStringLiteral("The cloud didn't answer in time."));
    if (std::optional<QString> tls = tlsFailure(reply)) return Failure::transport(*tls);
    return Failure::transport(reply.errorString());
}

std::optional<QNetworkRequest> API::request(const QString& path) const {
    // Plain concatenation, as the cloud expects; a path that is not absolute ("@host/…",
    // "//host/…") would otherwise move the request to another host.
    if (!path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("//"))) return std::nullopt;
    const QString address = m_config.httpBase(m_prefs.boolean(PrefKey::useLocalServer)) + path;
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) return std::nullopt;

    QNetworkRequest req(url);
    req.setTransferTimeout(timeoutMs);
    req.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    if (!m_token.isEmpty()) req.setRawHeader("Authorization", "Bearer " + m_token.toUtf8());
    return req;
}

Failure API::refusal(int status, const QString& body) const {
    if (status == 401 && !m_token.isEmpty() && m_unauthorized && m_unauthorized(m_token))
        return Failure::sessionEnded();
    return Failure::api(status, body);
}

QCoro::Task<Result<QByteArray>> API::sendRaw(QString method, QString path,
                                             std::optional<QByteArray> body) const {
    const std::optional<QNetworkRequest> req = request(path);
    if (!req) co_return Failure::invalidAddress(QStringLiteral("The address for %1 isn't valid.").arg(path));

    OwnedReply reply(body ? m_nam.sendCustomRequest(*req, method.toLatin1(), *body)
                          : m_nam.sendCustomRequest(*req, method.toLatin1()));
    bool tooLarge = false;
    QObject::connect(reply.get(), &QNetworkReply::downloadProgress, reply.get(),
                     [&tooLarge, r = reply.get()](qint64 received, qint64) {
                         if (received <= maxReplyBytes || tooLarge) return;
                         tooLarge = true;
                         r->abort();
                     });
    co_await qCoro(reply.get()).waitForFinished();
    if (tooLarge) co_return Failure::transport(QStringLiteral("The cloud's reply is too large."));

    const QByteArray data = reply->readAll();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) {
        const int code = status.toInt();
        if (code >= 300) co_return refusal(code, json::utf8OrEmpty(data));
        // A status line, then the connection lost or timed out mid-body: what came is not the
        // reply, and the failure is the transport's, not a decoding error of a truncated body.
        if (reply->error() != QNetworkReply::NoError) co_return transportFailure(*reply);
        co_return data;
    }
    if (reply->error() != QNetworkReply::NoError) co_return transportFailure(*reply);
    co_return data;
}

} // namespace tavo
