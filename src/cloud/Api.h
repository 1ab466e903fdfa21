#pragma once

#include "cloud/CloudConfig.h"
#include "cloud/Json.h"
#include "cloud/Result.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

class QNetworkReply;
#include <functional>
#include <optional>

#include <qcoro/qcorotask.h>

namespace tavo {

class Preferences;

// The failure of a reply that ended without an answer. A transfer timeout reads as Qt's
// "Operation canceled"; it is said as what it is.
Failure transportFailure(const QNetworkReply& reply);

// The reply of calls whose reply carries nothing the client uses.
struct EmptyOK {
    std::optional<bool> ok;
    static std::optional<EmptyOK> fromJson(json::Reader& r) { return EmptyOK{r.optional<bool>("ok")}; }
    QJsonObject toJson() const {
        QJsonObject o;
        json::putOptional(o, "ok", ok);
        return o;
    }
};

// One cloud request. Made per call from the store's current token; the base address follows
// "tavo_use_local_server" as it reads at the moment of the call.
class API {
public:
    // Told when the cloud answers 401 to a request sent with `token`; true when that ended the
    // session (the token was still the session's), and the request then fails as SessionEnded.
    using Unauthorized = std::function<bool(const QString& token)>;

    API(QNetworkAccessManager& nam, const CloudConfig& config, const Preferences& prefs, QString token,
        Unauthorized unauthorized = {})
        : m_nam(nam), m_config(config), m_prefs(prefs), m_token(std::move(token)),
          m_unauthorized(std::move(unauthorized)) {}

    static constexpr int timeoutMs = 60'000;
    // No reply of the cloud's comes near this (a list of a thousand boxes is some 300 KiB);
    // beyond it the request fails rather than grow the client without bound.
    static constexpr qint64 maxReplyBytes = 16 * 1024 * 1024;

    template <class T>
    QCoro::Task<Result<T>> send(QString method, QString path,
                                std::optional<QByteArray> body = std::nullopt) const {
        Result<QByteArray> raw = co_await sendRaw(std::move(method), std::move(path), std::move(body));
        if (!raw) co_return raw.failure();
        co_return json::decode<T>(raw.value());
    }

    // The request with every header the cloud expects; nullopt when the address is not a URL.
    // Exposed for the chat stream, which reads the reply itself.
    std::optional<QNetworkRequest> request(const QString& path) const;

    // One attempt; status >= 300 fails with Failure::api, the body as it came.
    QCoro::Task<Result<QByteArray>> sendRaw(QString method, QString path,
                                            std::optional<QByteArray> body) const;

    // The failure for a reply with status >= 300: a 401 to our token may end the session.
    Failure refusal(int status, const QString& body) const;

private:
    QNetworkAccessManager& m_nam;
    const CloudConfig& m_config;
    const Preferences& m_prefs;
    QString m_token;
    Unauthorized m_unauthorized;
};

} // namespace tavo
