#pragma once

#include "cloud/Result.h"
#include "platform/Clock.h"
#include "setup/BoxRecords.h"

#include <QNetworkAccessManager>
#include <QUrl>
#include <chrono>
#include <variant>

#include <qcoro/qcorotask.h>

namespace tavo {

// What a box answered: its status code and body.
struct BoxAnswer {
    int status = 0;
    QByteArray body;
};

// One request to a box. Redirects are not followed (a captive page that sends us elsewhere is
// not the box), the body is capped, and `limit` is a total deadline: a box that trickles a byte
// a second is cut off there as surely as one that says nothing. The deadline runs on `clock`
// when one is given, else on a real timer.
QCoro::Task<Result<BoxAnswer>> exchangeWithBox(QNetworkAccessManager& nam, QUrl url, QByteArray method,
                                               std::optional<QByteArray> formBody,
                                               std::chrono::milliseconds limit, Clock* clock = nullptr,
                                               CancelToken cancel = {});

// A box's own plain-HTTP API, at `base` ("http://host[:port]", no trailing "/").
class BoxClient {
public:
    BoxClient(QNetworkAccessManager& nam, QUrl base, Clock* clock = nullptr)
        : m_nam(nam), m_base(std::move(base)), m_clock(clock) {}

    static constexpr std::chrono::milliseconds getLimit{4'000};
    static constexpr std::chrono::milliseconds postLimit{6'000};
    static constexpr qint64 maxAnswerBytes = 64 * 1024;

    // The status is decoded whatever the HTTP status says.
    QCoro::Task<Result<CloudStatus>> cloudStatus() const;
    // Only a 2xx answer takes the WiFi details; any other is a refusal.
    QCoro::Task<Result<std::monostate>> connect(QString ssid, QString password) const;

    const QUrl& base() const { return m_base; }

    // Form-encodes one value: every UTF-8 byte but A-Z a-z 0-9 - . _ ~ as %XX (upper-case hex).
    static QByteArray formEncode(const QString& value);
    static QByteArray connectBody(const QString& ssid, const QString& password);

private:
    QNetworkAccessManager& m_nam;
    QUrl m_base;
    Clock* m_clock;
};

// "http://" + host + ":" + port as a URL: brackets around an IPv6 host, its zone kept.
// Nothing when the host is not usable.
std::optional<QUrl> boxBase(const QString& host, int port);

// `base` + `path`, or nothing when that is not a valid http URL.
std::optional<QUrl> boxURL(const QUrl& base, const QString& path);

} // namespace tavo
