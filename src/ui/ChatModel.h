#pragma once

#include "chat/ChatMessage.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace tavo {

class TavoStore;

// The store's chat for the chat view: the messages as a list model that grows and updates
// in place while a reply streams (so the list keeps its place), and the live-status line
// and saved conversations beside it.
class ChatModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString liveStatus READ liveStatus NOTIFY liveStatusChanged)
    Q_PROPERTY(bool hasLiveStatus READ hasLiveStatus NOTIFY liveStatusChanged)
    Q_PROPERTY(QVariantList threads READ threads NOTIFY threadsChanged) // id, title, updatedAt
public:
    enum Role { IsUserRole = Qt::UserRole + 1, ContentRole, FiredRole, ErrRole };

    using QAbstractListModel::QAbstractListModel;

    QObject* store() const;
    void setStore(QObject* store);
    int count() const { return int(m_rows.size()); }
    QString liveStatus() const;
    bool hasLiveStatus() const;
    QVariantList threads() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void storeChanged();
    void countChanged();
    void liveStatusChanged();
    void threadsChanged();

private:
    void sync();

    QPointer<TavoStore> m_store;
    QList<ChatMessage> m_rows;
};

} // namespace tavo
