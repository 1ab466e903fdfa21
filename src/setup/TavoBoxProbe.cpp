#include "setup/TavoBoxProbe.h"

#include "setup/BoxClient.h"

#include <QNetworkAccessManager>
#include <memory>
#include <netdb.h>

namespace tavo {

std::optional<QString> currentIPv4Gateway(const InterfaceList& interfaces) {
    if (!interfaces) return std::nullopt;
    for (const InterfaceAddress& entry : *interfaces) {
        if (!entry.address || entry.address->ss_family != AF_INET) continue;
        char host[1025];
        if (getnameinfo(reinterpret_cast<const sockaddr*>(&*entry.address), sizeof(sockaddr_in), host,
                        sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
            continue;
        const QString text = QString::fromLatin1(host);
        if (!text.startsWith(QLatin1String("192.168."))) continue;
        const QStringList pieces = text.split(QLatin1Char('.'), Qt::SkipEmptyParts);
        if (pieces.size() == 4) return pieces.mid(0, 3).join(QLatin1Char('.')) + QLatin1String(".1");
    }
    return std::nullopt;
}

TavoBoxProbe::Network TavoBoxProbe::Network::fromEnvironment() {
    const QString only = qEnvironmentVariable("TAVO_BOX_HOTSPOT").trimmed();
    if (only.isEmpty()) return {};
    return {[only] { return std::optional(only); }, {}};
}

QStringList TavoBoxProbe::hotspotCandidates() {
    QStringList out;
    for (int n : {2, 3, 4, 7, 10, 42, 100, 200})
        out << QStringLiteral("http://192.168.%1.1").arg(n);
    return out;
}

QCoro::Task<std::optional<BoxIdentity>> TavoBoxProbe::probe(QUrl url, int timeoutMs, CancelToken cancel) {
    const std::optional<QUrl> target = boxURL(url, QStringLiteral("/api/device-info"));
    if (!target || cancel.isCancelled()) co_return std::nullopt;
    // A session per probe keeps nothing (cookies, cache, connections) between boxes.
    QNetworkAccessManager session;
    // Only the address probed counts: a captive page redirecting to something that answers
    // is not a box.
    const Result<BoxAnswer> answer = co_await exchangeWithBox(
        session, *target, "GET", std::nullopt, std::chrono::milliseconds(timeoutMs), nullptr, cancel);
    if (!answer || answer->status != 200) co_return std::nullopt;
    Result<BoxIdentity> identity = json::decode<BoxIdentity>(answer->body);
    if (!identity) co_return std::nullopt;
    co_return identity.value();
}

namespace {

struct Sweep {
    int remaining = 0;
    std::optional<QUrl> winner;
    Wakeup done;
    CancelToken cancel;
};

QCoro::Task<> probeCandidate(std::shared_ptr<Sweep> sweep, QUrl url) {
    const std::optional<BoxIdentity> identity =
        co_await TavoBoxProbe::probe(url, TavoBoxProbe::candidateTimeoutMs, sweep->cancel);
    --sweep->remaining;
    if (identity && !sweep->winner) {
        sweep->winner = url;
        sweep->cancel.cancel();
    }
    if (sweep->winner || sweep->remaining == 0) sweep->done.fire();
}

} // namespace

QCoro::Task<std::optional<QUrl>> TavoBoxProbe::find(int timeoutMs) const {
    if (const std::optional<QString> gateway = m_network.gateway()) {
        const QUrl url(QStringLiteral("http://") + *gateway, QUrl::StrictMode);
        if (url.isValid() && !url.host().isEmpty()) {
            const std::optional<BoxIdentity> identity = co_await probe(url, timeoutMs);
            if (identity) co_return url;
        }
    }
    auto sweep = std::make_shared<Sweep>();
    QList<QUrl> urls;
    for (const QString& text : m_network.candidates) {
        const QUrl url(text, QUrl::StrictMode);
        if (url.isValid() && !url.host().isEmpty()) urls << url;
    }
    if (urls.isEmpty()) co_return std::nullopt;
    sweep->remaining = int(urls.size());
    for (const QUrl& url : urls)
        probeCandidate(sweep, url);
    co_await sweep->done;
    co_return sweep->winner;
}

} // namespace tavo
