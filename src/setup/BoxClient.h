#pragma once

#include "cloud/Result.h"
#include "setup/BoxRecords.h"

#include <QNetworkAccessManager>
#include <QUrl>
#include <variant>

#include <qcoro/qcorotask.h>

namespace tavo {

// A box's own plain-HTTP API, at `base` ("http://host[:port]", no trailing "/"). Status codes
// are not checked: a box answers what it answers, and only transport and decoding fail.
class BoxClient {
public:
    BoxClient(QNetworkAccessManager& nam, QUrl base) : m_nam(nam), m_base(std::move(base)) {}

    static constexpr int getTimeoutMs = 4'000;
    static constexpr int postTimeoutMs = 6'000;

    QCoro::Task<Result<CloudStatus>> cloudStatus() const;
    QCoro::Task<Result<std::monostate>> connect(QString ssid, QString password) const;

    const QUrl& base() const { return m_base; }

    // Form-encodes one value: every UTF-8 byte but A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex).
    static QByteArray formEncode(const QString& value);
    static QByteArray connectBody(const QString& ssid, const QString& password);

private:
    QCoro::Task<Result<QByteArray>> exchange(QByteArray method, QString path, std::optional<QByteArray> body,
                                             int timeoutMs) const;

    QNetworkAccessManager& m_nam;
    QUrl m_base;
};

// `base` + `path`, or nothing when that is not a valid http URL.
std::optional<QUrl> boxURL(const QUrl& base, const QString& path);

} // namespace tavo
