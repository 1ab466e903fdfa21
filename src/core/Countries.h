#pragma once

#include <QList>
#include <QLocale>
#include <QString>

namespace tavo {

// One row of the country table: region code, calling code (digits, no "+"), English name.
struct Country {
    QString iso;
    QString dial;
    QString name;

    QString flag() const; // the regional-indicator pair of `iso`
    friend bool operator==(const Country&, const Country&) = default;
};

size_t qHash(const Country& c, size_t seed = 0);

namespace Countries {
const QList<Country>& all(); // 105 rows, in picker order
// The locale's region, else India (no region, or a region the table lacks).
Country defaultCountry(const QLocale& locale);
Country defaultCountry();
// The country picker's search: rows whose name or region contains the query, or whose
// calling code starts with it (a "+" in the query is ignored), in table order.
QList<Country> search(const QString& query);
} // namespace Countries

// Spaces and tabs only: line breaks are kept.
QString trimSpacesAndTabs(const QString& text);

} // namespace tavo
