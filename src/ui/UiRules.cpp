#include "ui/UiRules.h"

#include "setup/Sanitize.h"

#include "core/PhoneNumber.h"

#include <QtMath>

namespace tavo {

namespace {

QString relayLabel(const QVariantMap& names, int ch) {
    const QString own = names.value(QString::number(ch)).toString();
    return own.isEmpty() ? QStringLiteral("Relay %1").arg(ch) : own;
}

QVariantMap countryMap(const Country& c) {
    return {{"iso", c.iso}, {"dial", c.dial}, {"name", c.name}, {"flag", c.flag()}};
}

} // namespace

QString UiRules::digits(const QString& text) {
    return Sanitize::digits(text);
}

QString UiRules::codeInput(const QString& text) {
    return Sanitize::digits(text).left(6);
}

bool UiRules::canSendCode(const QString& national, bool busy) {
    return !busy && national.size() >= 4;
}

bool UiRules::canVerify(const QString& code, bool busy) {
    return !busy && code.size() >= 6;
}

QString UiRules::composePhone(const QString& dial, const QString& national) {
    return QLatin1Char('+') + dial + national;
}

QVariantMap UiRules::refill(const QString& phone) {
    const SplitPhone split = splitE164(phone);
    return {{"iso", split.country ? split.country->iso : QString()}, {"national", split.national}};
}

QString UiRules::formatPhone(const QString& phone) {
    return tavo::formatPhone(phone);
}

QVariantMap UiRules::defaultCountry() {
    return countryMap(Countries::defaultCountry());
}

QVariantMap UiRules::country(const QString& iso) {
    for (const Country& c : Countries::all())
        if (c.iso == iso) return countryMap(c);
    return {};
}

QString UiRules::connWord(int conn) {
    switch (conn) {
    case 2:
        return QStringLiteral("Online");
    case 1:
        return QStringLiteral("Reconnecting…");
    default:
        return QStringLiteral("Offline");
    }
}

int UiRules::startTab() {
    static const QStringList tabs{"devices", "chat", "history", "account"};
    return std::max<int>(0, int(tabs.indexOf(qEnvironmentVariable("TAVO_START_TAB"))));
}

QString UiRules::accountConnLine(int conn) {
    return conn == 2 ? QStringLiteral("Connected to cloud") : connWord(conn);
}

QString UiRules::connDot(int conn) {
    switch (conn) {
    case 2:
        return QStringLiteral("connected");
    case 1:
        return QStringLiteral("connecting");
    default:
        return QStringLiteral("offline");
    }
}

QString UiRules::devicesState(int deviceCount, int conn) {
    if (deviceCount > 0) return QStringLiteral("grid");
    return conn == 2 ? QStringLiteral("empty") : QStringLiteral("skeleton");
}

int UiRules::navSelection(int tab, bool drawerOpen) {
    return drawerOpen ? 1 : tab;
}

// Qt's SpringAnimation steps every 16 ms with v += spring·Δx − damping·v and x += v·0.016 s,
// so per second it is a mass-1 spring of stiffness spring/0.016 and damping damping/0.016.
// A spring of natural frequency ω = 2π/response and damping fraction ζ needs stiffness ω²
// and damping 2ζω; both are scaled back by the 16 ms step.
namespace {
constexpr qreal springStep = 0.016;
}

qreal UiRules::springStiffness(qreal response) {
    const qreal omega = 2 * M_PI / response;
    return omega * omega * springStep;
}

qreal UiRules::springDamping(qreal response, qreal dampingFraction) {
    const qreal omega = 2 * M_PI / response;
    return 2 * dampingFraction * omega * springStep;
}

int UiRules::gridColumns(qreal width, qreal minCardWidth) {
    if (minCardWidth <= 0) return 1;
    return qBound(1, int(width / minCardWidth), 4);
}

QStringList UiRules::deviceActions(const QString& role) {
    QStringList actions{QStringLiteral("All on"), QStringLiteral("All off"), QStringLiteral("Activity")};
    if (role == QLatin1String("owner"))
        actions << QStringLiteral("Rename") << QStringLiteral("Members") << QStringLiteral("Forget");
    else
        actions << QStringLiteral("Leave");
    return actions;
}

QString UiRules::renameTo(const QString& current, const QString& draft) {
    const QString n = draft.trimmed();
    return n.isEmpty() || n == current ? QString() : n;
}

QVariantMap UiRules::relayNameChanges(const QVariantMap& current, int relayCount, const QVariantMap& drafts) {
    QVariantMap changes;
    for (auto it = drafts.constBegin(); it != drafts.constEnd(); ++it) {
        bool isChannel = false;
        const int ch = it.key().toInt(&isChannel);
        if (!isChannel || ch < 1 || ch > relayCount) continue;
        const QString t = it.value().toString().trimmed();
        if (t.isEmpty() || t == relayLabel(current, ch)) continue;
        changes.insert(it.key(), t);
    }
    return changes;
}

QVariantMap UiRules::relayNameDrafts(const QVariantMap& current, int relayCount) {
    QVariantMap drafts;
    for (int ch = 1; ch <= relayCount; ++ch)
        drafts.insert(QString::number(ch), relayLabel(current, ch));
    return drafts;
}

QString UiRules::confirmTitle(const QString& role, const QString& name) {
    return (role == QLatin1String("owner") ? QStringLiteral("Forget ") : QStringLiteral("Leave ")) + name +
           QLatin1Char('?');
}

QString UiRules::confirmMessage(const QString& role) {
    return role == QLatin1String("owner")
               ? QStringLiteral("Unpairs everyone from this box and resets its pair code. The hardware keeps "
                                "running and can be re-claimed.")
               : QStringLiteral("You'll lose access to this box. The owner can re-invite you any time.");
}

QString UiRules::confirmButton(const QString& role) {
    return role == QLatin1String("owner") ? QStringLiteral("Forget box") : QStringLiteral("Leave");
}

QString UiRules::pairCodeInput(const QString& text) {
    return Sanitize::pairCode(text);
}

bool UiRules::canClaimCode(const QString& code, bool busy) {
    return !busy && code.size() >= 9;
}

QString UiRules::discoveryDot(bool scanning, int found) {
    if (scanning) return QStringLiteral("connecting");
    return found > 0 ? QStringLiteral("connected") : QStringLiteral("offline");
}

QString UiRules::discoveryTitle(bool scanning, int found) {
    if (found > 0) return QStringLiteral("Found on this network");
    return scanning ? QStringLiteral("Scanning this network…") : QStringLiteral("Nothing found yet");
}

bool UiRules::discoveryNote(bool scanning, int found) {
    return found == 0 && !scanning;
}

} // namespace tavo
