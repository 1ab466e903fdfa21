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
    Q_MOC_INCLUDE("core/TavoStore.h")
    QML_ELEMENT
    Q_PROPERTY(tavo::TavoStore* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // "skeleton" while reaching the boxes, "empty" once connected with none, else "grid".
    Q_PROPERTY(QString state READ state NOTIFY stateChanged)
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
        IdText,
        Actions, // [{id, label, danger}]: the card's buttons, by role
        Removal  // {title, message, button}: the confirmation of forget (owner) or leave
    };

    explicit DeviceModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    TavoStore* store() const;
    void setStore(TavoStore* store);
    int count() const { return rowCount(); }
    QString state() const;

    // Switching; a tile without access shows the toast and sends nothing.
    Q_INVOKABLE void tapRelay(int row, int ch);
    Q_INVOKABLE void allRelays(int row, bool on);
    // The rename editor's fields: every relay's name now, by channel ("1", "2", …).
    Q_INVOKABLE QVariantMap relayNameDrafts(int row) const;
    // The editor's save: sends the name and the relay names that changed, nothing else.
    Q_INVOKABLE void save(int row, const QString& nameDraft, const QVariantMap& relayNameDrafts);

    // The name to send on save, or "" when there is nothing to rename.
    static QString renameTo(const QString& current, const QString& draft);
    // Relay names to send: changed, non-empty, trimmed entries of the box's channels only.
    static QMap<QString, QString> relayNameChanges(const Device& box, const QVariantMap& drafts);
    Q_INVOKABLE void remove(int row); // forget for owners, leave for everyone else
    Q_INVOKABLE void openMembers(int row);

signals:
    void storeChanged();
    void countChanged();
    void stateChanged();

private:
    void sync();
    void updateRow(qsizetype i, const Device& now);
    const Device* row(int row) const;

    QPointer<TavoStore> m_store;
    QList<Device> m_rows;
};

} // namespace tavo
