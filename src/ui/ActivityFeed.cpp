#include "ui/ActivityFeed.h"

#include "core/PhoneNumber.h"
#include "core/TavoStore.h"
#include "devices/Activity.h"

namespace tavo {

namespace {

constexpr int sheetLimit = 100;

QString dotName(activity::Dot d) {
    switch (d) {
    case activity::Dot::On:
        return QStringLiteral("on");
    case activity::Dot::Accent:
        return QStringLiteral("accent");
    case activity::Dot::Dim:
        break;
    }
    return QStringLiteral("dim");
}

} // namespace

QObject* ActivityFeed::store() const {
    return m_store;
}

void ActivityFeed::setStore(QObject* store) {
    auto* s = qobject_cast<TavoStore*>(store);
    if (s == m_store) return;
    m_store = s;
    emit storeChanged();
}

void ActivityFeed::load() {
    doLoad();
}

void ActivityFeed::setLoading(bool on) {
    if (m_loading == on) return;
    m_loading = on;
    emit loadingChanged();
}

QCoro::Task<> ActivityFeed::doLoad() {
    QPointer<ActivityFeed> self(this);
    QPointer<TavoStore> store = m_store;
    if (!store) co_return;
    const int generation = ++m_generation;
    const auto deviceID = qint64(m_deviceID);
    setLoading(true);
    QVariantList rows;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (deviceID != 0) {
        const QList<ActivityEntry> logs = co_await store->fetchActivityLog(deviceID, sheetLimit);
        if (!self || !store || generation != m_generation) co_return;
        for (const ActivityEntry& e : logs)
            rows.append(QVariantMap{{"line", activity::sheetLine(e, store->devices(), deviceID)},
                                    {"actor", activity::actor(e)},
                                    {"dot", dotName(activity::sheetDot(e))},
                                    {"when", activity::relativeWhen(e.when, now)}});
    } else {
        const QList<HistoryItem> items = co_await store->fetchHistory();
        if (!self || !store || generation != m_generation) co_return;
        for (const HistoryItem& h : items)
            rows.append(
                QVariantMap{{"line", activity::historyLine(h.entry, h.device)},
                            {"box", h.device.name},
                            {"phone", h.entry.who_phone ? formatPhone(*h.entry.who_phone) : QString()},
                            {"when", activity::relTime(h.entry.when, now)}});
    }
    m_rows = rows;
    emit rowsChanged();
    setLoading(false);
}

} // namespace tavo
