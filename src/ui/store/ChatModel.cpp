#include "ui/store/ChatModel.h"

#include "core/TavoStore.h"
#include "devices/Activity.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>

namespace tavo {

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

int hourNow() {
    bool ok = false;
    const int forced = qEnvironmentVariableIntValue("TAVO_CLOCK_HOUR", &ok);
    return ok ? forced : QTime::currentTime().hour();
}

// Relay names for the chips: every box in list order, each box's names by channel.
QStringList chipRelayNames(const QList<Device>& devices) {
    QStringList names;
    for (const Device& d : devices) {
        QList<std::pair<int, QString>> byChannel;
        for (auto it = d.relay_names.constBegin(); it != d.relay_names.constEnd(); ++it)
            byChannel.append({it.key().toInt(), it.value()});
        std::sort(byChannel.begin(), byChannel.end());
        for (const auto& [ch, name] : byChannel)
            names << name;
    }
    return names;
}

} // namespace

QString ChatModel::greetingFor(int hour, int deviceCount, bool foodConnected) {
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

QStringList ChatModel::chipsFor(int hour, const QStringList& relayNames, int deviceCount,
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

QString ChatModel::firedCaption(int fired) {
    if (fired <= 0) return {};
    return QStringLiteral("%1 relay%2 toggled").arg(fired).arg(fired == 1 ? "" : "s");
}

QString ChatModel::threadStamp(const QString& updatedAt, const QDateTime& now) {
    const qint64 s = activity::secondsAgo(updatedAt, now);
    if (s < 60) return QStringLiteral("just now");
    if (s < 3600) return QStringLiteral("%1m").arg(s / 60);
    if (s < 86400) return QStringLiteral("%1h").arg(s / 3600);
    if (s <= 604799) return QStringLiteral("%1d").arg(s / 86400);
    const std::optional<QDateTime> t = parseInternetDateTime(updatedAt);
    return mediumDate(t ? t->toLocalTime().date() : now.date(), QLocale());
}

ChatModel::ChatModel(QObject* parent) : QAbstractListModel(parent), m_hour(hourNow()) {}

void ChatModel::setHour(int hour) {
    if (hour == m_hour) return;
    m_hour = hour;
    emit introChanged();
}

bool ChatModel::foodConnected() const {
    if (!m_store) return false;
    const QList<Skill>& skills = m_store->skills();
    return std::any_of(skills.cbegin(), skills.cend(),
                       [](const Skill& s) { return s.id == QLatin1String("swiggy") && s.connected; });
}

QString ChatModel::greeting() const {
    return greetingFor(m_hour, m_store ? int(m_store->devices().size()) : 0, foodConnected());
}

QStringList ChatModel::chips() const {
    if (!m_store) return {};
    return chipsFor(m_hour, chipRelayNames(m_store->devices()), int(m_store->devices().size()),
                    foodConnected());
}

TavoStore* ChatModel::store() const {
    return m_store;
}

void ChatModel::setStore(TavoStore* s) {
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    m_store = s;
    if (s) {
        connect(s, &TavoStore::chatMessagesChanged, this, &ChatModel::sync);
        connect(s, &TavoStore::chatLiveStatusChanged, this, &ChatModel::liveStatusChanged);
        connect(s, &TavoStore::chatThreadsChanged, this, &ChatModel::threadsChanged);
        connect(s, &TavoStore::devicesChanged, this, &ChatModel::introChanged);
        connect(s, &TavoStore::skillsChanged, this, &ChatModel::introChanged);
    }
    sync();
    emit storeChanged();
    emit liveStatusChanged();
    emit threadsChanged();
    emit introChanged();
}

QString ChatModel::liveStatus() const {
    return m_store ? m_store->chatLiveStatus().value_or(QString()) : QString();
}

bool ChatModel::hasLiveStatus() const {
    return m_store && m_store->chatLiveStatus().has_value();
}

QVariantList ChatModel::threads() const {
    QVariantList rows;
    if (!m_store) return rows;
    for (const ChatThreadRow& t : m_store->chatThreads())
        rows.append(QVariantMap{{"id", t.id}, {"title", t.title}, {"updatedAt", t.updated_at}});
    return rows;
}

int ChatModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ChatModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const ChatMessage& m = m_rows.at(index.row());
    switch (role) {
    case IsUserRole:
        return m.role == ChatMessage::Role::User;
    case ContentRole:
        return m.content;
    case FiredRole:
        return m.fired;
    case ErrRole:
        return m.err;
    default:
        return {};
    }
}

QHash<int, QByteArray> ChatModel::roleNames() const {
    return {{IsUserRole, "isUser"}, {ContentRole, "content"}, {FiredRole, "fired"}, {ErrRole, "err"}};
}

// A streaming reply rewrites its last bubble and appends new ones: those update in place, so
// the list keeps its place. Anything else (another thread, a new chat) resets the list.
void ChatModel::sync() {
    const QList<ChatMessage> next = m_store ? m_store->chatMessages() : QList<ChatMessage>{};
    const qsizetype old = m_rows.size();
    bool extends = next.size() >= old;
    for (qsizetype i = 0; extends && i + 1 < old; ++i)
        extends = m_rows[i].id == next[i].id;
    if (!extends) {
        beginResetModel();
        m_rows = next;
        endResetModel();
    } else {
        if (old > 0 && !(m_rows[old - 1] == next[old - 1])) {
            m_rows[old - 1] = next[old - 1];
            emit dataChanged(index(int(old - 1)), index(int(old - 1)));
        }
        if (next.size() > old) {
            beginInsertRows({}, int(old), int(next.size() - 1));
            m_rows.append(next.mid(old));
            endInsertRows();
        }
    }
    if (m_rows.size() != old) emit countChanged();
}

} // namespace tavo
