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
    QML_ELEMENT
    Q_PROPERTY(QObject* store READ store WRITE setStore NOTIFY storeChanged)
    // 0: every box. A double, as QML numbers are; box ids stay far below 2^53.
    Q_PROPERTY(double deviceID MEMBER m_deviceID NOTIFY deviceIDChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY rowsChanged)
public:
    using QObject::QObject;

    QObject* store() const;
    void setStore(QObject* store);
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
    void setLoading(bool on);

    QPointer<TavoStore> m_store;
    double m_deviceID = 0;
    bool m_loading = false;
    QVariantList m_rows;
    int m_generation = 0; // a newer load wins over one still running
};

} // namespace tavo
