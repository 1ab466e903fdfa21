#pragma once

#include "devices/Device.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace tavo {

class TavoStore;

// The store's boxes as rows for the device grid. The model keeps its own copy of the rows and
// follows the store's list in place: a box added or removed is one row inserted or removed, a
// box whose record changed is one row's dataChanged for the roles that changed. So delegates,
// and an open rename editor or dialog in them, survive every push. Commands go by row, so
// 64-bit ids never pass through JavaScript numbers.
class DeviceModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
public:
    enum Role {
        Name = Qt::UserRole + 1,
        Online,
        DeviceRole,
        IsOwner,
        RelayCount,
        Relays,
        RelayNames,
        OfflineText,
        IdText
    };

    explicit DeviceModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QObject* store() const;
    void setStore(QObject* store);
    int count() const { return rowCount(); }

    // Switching; a tile without access shows the toast and sends nothing.
    Q_INVOKABLE void tapRelay(int row, int ch);
    Q_INVOKABLE void allRelays(int row, bool on);
    // The card's save: the new name (or "" for none) and the changed relay names.
    Q_INVOKABLE void save(int row, const QString& name, const QVariantMap& relayNames);
    Q_INVOKABLE void remove(int row); // forget for owners, leave for everyone else
    Q_INVOKABLE void openMembers(int row);

signals:
    void storeChanged();
    void countChanged();

private:
    void sync();
    void updateRow(qsizetype i, const Device& now);
    const Device* row(int row) const;

    QPointer<TavoStore> m_store;
    QList<Device> m_rows;
};

} // namespace tavo
