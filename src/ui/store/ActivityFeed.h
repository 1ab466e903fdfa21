#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <qcoro/qcorotask.h>

namespace tavo {

class TavoStore;

// A log fetched each time a screen shows it: one box's activity (the sheet) or, with no
// box, the merged history of every box (the history tab). Rows are worded for the screen.
class ActivityFeed : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("core/TavoStore.h")
    QML_ELEMENT
    Q_PROPERTY(tavo::TavoStore* store READ store WRITE setStore NOTIFY storeChanged)
    // 0: every box. A double, as QML numbers are; box ids stay far below 2^53.
    Q_PROPERTY(double deviceID READ deviceID WRITE setDeviceID NOTIFY deviceIDChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY rowsChanged)
public:
    using QObject::QObject;

    TavoStore* store() const;
    void setStore(TavoStore* store);
    double deviceID() const { return m_deviceID; }
    // Another box: the rows shown so far were the last box's.
    void setDeviceID(double id);
    bool loading() const { return m_loading; }
    QVariantList rows() const { return m_rows; }

    Q_INVOKABLE void load();

signals:
    void storeChanged();
    void deviceIDChanged();
    void loadingChanged();
    void rowsChanged();

private:
    QCoro::Task<> doLoad();
    void forget();
    void setLoading(bool on);

    QPointer<TavoStore> m_store;
    double m_deviceID = 0;
    bool m_loading = false;
    QVariantList m_rows;
    int m_generation = 0; // a newer load wins over one still running
};

} // namespace tavo
