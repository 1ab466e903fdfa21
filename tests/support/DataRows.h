#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// The file beside the test's source (tests/FOLDER/). Not QFINDTESTDATA: a compiler cache with a
// base folder makes __FILE__ relative to the build folder, where Qt does not look for it.
#define TAVO_JSON_ROWS(name)                                                                                 \
    ::tavo::test::addJsonRows(QStringLiteral(QT_TESTCASE_SOURCEDIR "/%1/" name)                              \
                                  .arg(QFileInfo(QStringLiteral(__FILE__)).dir().dirName()))
