#pragma once

#include "core/Countries.h"

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

namespace tavo {

// The country picker's rows: the search results for `query`, in table order.
class CountryModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
public:
    enum Role { Iso = Qt::UserRole + 1, Dial, Name, Flag };

    explicit CountryModel(QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString query() const { return m_query; }
    void setQuery(const QString& q);

signals:
    void queryChanged();

private:
    QString m_query;
    QList<Country> m_rows;
};

} // namespace tavo
