#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace tavo::test {

// The rows of a data-driven test, from a JSON file beside it: an array of objects, each with a
// "tag" and the row's fields, read by the test function as QFETCH(QJsonObject, row).
inline void addJsonRows(const QString& path) {
    QTest::addColumn<QJsonObject>("row");
    QFile file(path);
    const QJsonArray rows =
        file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).array() : QJsonArray();
    if (rows.isEmpty()) qFatal("no rows in %s", qPrintable(path)); // a missing file is no pass
    for (const QJsonValue& row : rows)
        QTest::newRow(qPrintable(row[QLatin1String("tag")].toString())) << row.toObject();
}

} // namespace tavo::test

// Finds the file beside the test's source, as QFINDTESTDATA does.
#define TAVO_JSON_ROWS(name) ::tavo::test::addJsonRows(QFINDTESTDATA(name))
