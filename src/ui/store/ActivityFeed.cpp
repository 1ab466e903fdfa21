#include "ui/store/ActivityFeed.h"

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

TavoStore* ActivityFeed::store() const {
    return m_store;
}

void ActivityFeed::setStore(TavoStore* s) {
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    m_store = s;
    // Another account's log is not this one's, even for the moment until the next load.
    if (m_store) connect(m_store, &TavoStore::sessionTokenChanged, this, &ActivityFeed::forget);
    forget();
    emit storeChanged();
}

void ActivityFeed::forget() {
    ++m_generation; // a load still running no longer lands
    setLoading(false);
    if (m_rows.isEmpty()) return;
    m_rows.clear();
    emit rowsChanged();
}

void ActivityFeed::setDeviceID(double id) {
    if (id == m_deviceID) return;
    m_deviceID = id;
    forget(); // the last box's rows
    emit deviceIDChanged();
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
                                    {"when", activity::sheetAgo(e.when, now)}});
    } else {
        const QList<HistoryItem> items = co_await store->fetchHistory();
        if (!self || !store || generation != m_generation) co_return;
        for (const HistoryItem& h : items)
            rows.append(
                QVariantMap{{"line", activity::historyLine(h.entry, h.device)},
                            {"box", h.device.name},
                            {"phone", h.entry.who_phone ? formatPhone(*h.entry.who_phone) : QString()},
                            {"when", activity::historyAgo(h.entry.when, now)}});
    }
    m_rows = rows;
    emit rowsChanged();
    setLoading(false);
}

} // namespace tavo
