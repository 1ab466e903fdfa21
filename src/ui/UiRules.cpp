#include "ui/UiRules.h"

#include "setup/Sanitize.h"

#include "core/PhoneNumber.h"
#include "core/TavoStore.h"
#include "devices/Activity.h"
#include "voice/VoiceService.h"

#include <QJSValue>
#include <QRegularExpression>
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

namespace {

QString salutation(int hour) {
    if (hour < 5) return QStringLiteral("Up late");
    if (hour < 12) return QStringLiteral("Good morning");
    if (hour < 17) return QStringLiteral("Good afternoon");
    if (hour < 22) return QStringLiteral("Good evening");
    return QStringLiteral("Late night");
}

QString mealChip(int hour) {
    if (hour >= 6 && hour <= 10) return QStringLiteral("Order breakfast");
    if (hour >= 11 && hour <= 15) return QStringLiteral("Order lunch");
    if (hour >= 16 && hour <= 21) return QStringLiteral("Order dinner");
    return QStringLiteral("Late-night cravings");
}

// The medium date style ("Nov 28, 2026"), which QLocale lacks: the locale's long date
// without the weekday, months abbreviated.
QString mediumDate(const QDate& date, const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[^dMy]*"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return locale.toString(date, format.trimmed());
}

} // namespace

QString UiRules::greeting(int hour, int deviceCount, bool foodConnected) {
    const QString hello = salutation(hour) + QStringLiteral(".\n\n");
    if (!foodConnected && deviceCount == 0)
        return hello + QStringLiteral("Pair a box from the home screen, or hook up a skill to get started.");
    QStringList can;
    if (deviceCount > 0)
        can << QStringLiteral("control your %1 box%2").arg(deviceCount).arg(deviceCount == 1 ? "" : "es");
    if (foodConnected) can << QStringLiteral("order food/groceries");
    return hello + QStringLiteral("I can ") + can.join(QStringLiteral(", ")) +
           QStringLiteral(". Tap a chip below or just ask.");
}

QStringList UiRules::quickChips(int hour, const QStringList& relayNames, int deviceCount,
                                bool foodConnected) {
    QStringList chips;
    if (foodConnected)
        chips << mealChip(hour) << QStringLiteral("Show my saved addresses");
    else if (deviceCount > 0)
        chips << QStringLiteral("Turn everything off");
    else
        return {QStringLiteral("Help me add a box"), QStringLiteral("What can you do?")};
    if (deviceCount > 0) {
        int toggles = 0;
        for (const QString& name : relayNames) {
            if (name.isEmpty()) continue;
            chips << QStringLiteral("Toggle ") + name;
            if (++toggles == 2) break;
        }
        if (chips.size() < 4) chips << QStringLiteral("What's on right now?");
    }
    return chips.mid(0, 4);
}

QStringList UiRules::chipRelayNames(QObject* store) {
    const auto* s = qobject_cast<TavoStore*>(store);
    if (!s) return {};
    QStringList names;
    for (const Device& d : s->devices()) {
        QList<std::pair<int, QString>> byChannel;
        for (auto it = d.relay_names.constBegin(); it != d.relay_names.constEnd(); ++it)
            byChannel.append({it.key().toInt(), it.value()});
        std::sort(byChannel.begin(), byChannel.end());
        for (const auto& [ch, name] : byChannel)
            names << name;
    }
    return names;
}

bool UiRules::foodConnected(const QVariantList& skillRows) {
    return std::any_of(skillRows.cbegin(), skillRows.cend(), [](const QVariant& v) {
        const QVariantMap m = v.toMap();
        return m.value("id").toString() == QLatin1String("swiggy") && m.value("connected").toBool();
    });
}

bool UiRules::canSend(const QString& draft, bool busy) {
    return !busy && !draft.trimmed().isEmpty();
}

QString UiRules::firedCaption(int fired) {
    if (fired <= 0) return {};
    return QStringLiteral("%1 relay%2 toggled").arg(fired).arg(fired == 1 ? "" : "s");
}

QString UiRules::threadStamp(const QString& updatedAt, const QDateTime& now) {
    const qint64 s = activity::secondsAgo(updatedAt, now);
    if (s < 60) return QStringLiteral("just now");
    if (s < 3600) return QStringLiteral("%1m").arg(s / 60);
    if (s < 86400) return QStringLiteral("%1h").arg(s / 3600);
    if (s <= 604799) return QStringLiteral("%1d").arg(s / 86400);
    const std::optional<QDateTime> t = parseInternetDateTime(updatedAt);
    return mediumDate(t ? t->toLocalTime().date() : now.date(), QLocale());
}

int UiRules::hourNow() {
    bool ok = false;
    const int forced = qEnvironmentVariableIntValue("TAVO_CLOCK_HOUR", &ok);
    return ok ? forced : QTime::currentTime().hour();
}

QString UiRules::voiceLabel(int state) {
    switch (VoiceService::State(state)) {
    case VoiceService::State::Idle:
        return QStringLiteral("READY");
    case VoiceService::State::Listening:
        return QStringLiteral("LISTENING");
    case VoiceService::State::Thinking:
        return QStringLiteral("EXECUTING");
    case VoiceService::State::Speaking:
        return QStringLiteral("SPEAKING");
    case VoiceService::State::Error:
        return QStringLiteral("TRY AGAIN");
    }
    return {};
}

QString UiRules::voiceHint(int state) {
    switch (VoiceService::State(state)) {
    case VoiceService::State::Idle:
    case VoiceService::State::Error:
        return QStringLiteral("TAP ORB TO SPEAK");
    case VoiceService::State::Listening:
        return QStringLiteral("TAP ORB WHEN DONE");
    case VoiceService::State::Thinking:
    case VoiceService::State::Speaking:
        return QStringLiteral("\u00B7  \u00B7  \u00B7");
    }
    return {};
}

namespace {

QVariantList firstRelays(int count) {
    QVariantList all;
    for (int ch = 1; ch <= count; ++ch)
        all << ch;
    return all;
}

QList<int> relayList(const QVariant& selected) {
    const QVariant plain = selected.metaType() == QMetaType::fromType<QJSValue>()
                               ? selected.value<QJSValue>().toVariant()
                               : selected;
    QList<int> out;
    for (const QVariant& ch : plain.toList())
        out << ch.toInt();
    return out;
}

} // namespace

QVariantList UiRules::initialInviteRelays(int relayCount) {
    return firstRelays(std::max(relayCount, 1));
}

QString UiRules::allChipLabel(const QVariant& selected, int relayCount) {
    return relayList(selected).size() == relayCount ? QStringLiteral("None") : QStringLiteral("All");
}

QVariantList UiRules::tapAllChip(const QVariant& selected, int relayCount) {
    return relayList(selected).size() == relayCount ? QVariantList() : firstRelays(relayCount);
}

QVariantList UiRules::tapRelayChip(const QVariant& selected, int ch) {
    QList<int> next = relayList(selected);
    if (!next.removeAll(ch)) next << ch;
    std::sort(next.begin(), next.end());
    QVariantList out;
    for (int c : next)
        out << c;
    return out;
}

} // namespace tavo
