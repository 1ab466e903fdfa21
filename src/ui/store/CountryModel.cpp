#include "ui/store/CountryModel.h"

namespace tavo {

CountryModel::CountryModel(QObject* parent) : QAbstractListModel(parent), m_rows(Countries::search({})) {}

int CountryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant CountryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const Country& c = m_rows.at(index.row());
    switch (role) {
    case Iso:
        return c.iso;
    case Dial:
        return c.dial;
    case Name:
        return c.name;
    case Flag:
        return c.flag();
    default:
        return {};
    }
}

QHash<int, QByteArray> CountryModel::roleNames() const {
    return {{Iso, "iso"}, {Dial, "dial"}, {Name, "name"}, {Flag, "flag"}};
}

void CountryModel::setQuery(const QString& q) {
    if (q == m_query) return;
    m_query = q;
    beginResetModel();
    m_rows = Countries::search(q);
    endResetModel();
    emit queryChanged();
}

} // namespace tavo
