#pragma once

#include "chat/ChatMessage.h"

#include <QAbstractListModel>
#include <QDateTime>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace tavo {

class TavoStore;

// The store's chat for the chat view: the messages as a list model that grows and updates
// in place while a reply streams (so the list keeps its place), and the live-status line
// and saved conversations beside it.
class ChatModel : public QAbstractListModel {
    Q_OBJECT
    Q_MOC_INCLUDE("core/TavoStore.h")
    QML_ELEMENT
    Q_PROPERTY(tavo::TavoStore* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(QString liveStatus READ liveStatus NOTIFY liveStatusChanged)
    Q_PROPERTY(bool hasLiveStatus READ hasLiveStatus NOTIFY liveStatusChanged)
    Q_PROPERTY(QVariantList threads READ threads NOTIFY threadsChanged) // id, title, updatedAt
    // The empty conversation's greeting and chips, by the hour, the boxes and the food skill.
    Q_PROPERTY(int hour READ hour WRITE setHour NOTIFY introChanged) // local; TAVO_CLOCK_HOUR for screenshots
    Q_PROPERTY(QString greeting READ greeting NOTIFY introChanged)
    Q_PROPERTY(QStringList chips READ chips NOTIFY introChanged)
public:
    enum Role { IsUserRole = Qt::UserRole + 1, ContentRole, FiredRole, ErrRole };

    explicit ChatModel(QObject* parent = nullptr);

    TavoStore* store() const;
    void setStore(TavoStore* store);
    int count() const { return int(m_rows.size()); }
    QString liveStatus() const;
    bool hasLiveStatus() const;
    QVariantList threads() const;
    int hour() const { return m_hour; }
    void setHour(int hour);
    QString greeting() const;
    QStringList chips() const;

    static QString greetingFor(int hour, int deviceCount, bool foodConnected);
    static QStringList chipsFor(int hour, const QStringList& relayNames, int deviceCount, bool foodConnected);
    Q_INVOKABLE static QString firedCaption(int fired); // "" when nothing fired
    Q_INVOKABLE static QString threadStamp(const QString& updatedAt, const QDateTime& now);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void storeChanged();
    void countChanged();
    void liveStatusChanged();
    void threadsChanged();
    void introChanged();

private:
    void sync();
    bool foodConnected() const;

    QPointer<TavoStore> m_store;
    QList<ChatMessage> m_rows;
    int m_hour;
};

} // namespace tavo
