// Icons are filled from their SVG path data by our own reader; librsvg, an independent renderer,
// draws the same data, and the two must cover the same pixels.

#include "support/DataRows.h"
#include "ui/kit/GlyphItem.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTest>

using namespace tavo;

namespace {

constexpr int side = 48; // the 16-unit view, three pixels a unit

QImage ours(const QList<QPainterPath>& paths) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.scale(side / 16.0, side / 16.0);
    for (const QPainterPath& path : paths)
        p.drawPath(path);
    return image;
}

QImage librsvg(const QByteArray& svg) {
    QProcess rsvg;
    rsvg.start("rsvg-convert", {"-w", QString::number(side), "-h", QString::number(side), "-f", "png"});
    rsvg.write(svg);
    rsvg.closeWriteChannel();
    if (!rsvg.waitForFinished(10'000) || rsvg.exitCode() != 0) return {};
    return QImage::fromData(rsvg.readAllStandardOutput(), "PNG").convertToFormat(QImage::Format_ARGB32);
}

// The share of the image's coverage where the two disagree by more than antialiasing does.
double disagreement(const QImage& a, const QImage& b) {
    qint64 differ = 0, covered = 0;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int ours = qAlpha(a.pixel(x, y)), theirs = qAlpha(b.pixel(x, y));
            covered += std::max(ours, theirs) > 127;
            differ += std::abs(ours - theirs) > 127;
        }
    return covered ? double(differ) / double(covered) : 1.0;
}

} // namespace

class GlyphTest : public QObject {
    Q_OBJECT

    static void compareWithLibrsvg(const QList<QPainterPath>& paths, const QByteArray& svg,
                                   const QString& what) {
        const QImage theirs = librsvg(svg);
        QVERIFY2(!theirs.isNull(), "rsvg-convert drew nothing");
        const double share = disagreement(ours(paths), theirs);
        QVERIFY2(share < 0.01, qPrintable(QStringLiteral("%1: %2").arg(what).arg(share)));
    }

private slots:
    void pathData_data() { TAVO_JSON_ROWS("ui-glyph-paths.json"); }
    void pathData() {
        QFETCH(QJsonObject, row);
        const QString d = row["d"].toString();
        const std::optional<QPainterPath> path = GlyphItem::pathData(d);
        QCOMPARE(!path, row["refused"].toBool());
        if (!path) return;
        compareWithLibrsvg({*path},
                           "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'><path d='" +
                               d.toLatin1() + "'/></svg>",
                           d);
    }

    // Every icon of the bundled set, as the screens get it.
    void bundledIcons() {
        const QDir icons(":/qt/qml/Tavo/Kit/icons", "*.svg");
        QVERIFY(icons.count() > 0);
        for (const QString& name : icons.entryList()) {
            QFile file(icons.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray svg = file.readAll();
            const auto paths = GlyphItem::paths(svg);
            QVERIFY2(paths && !paths->isEmpty(), qPrintable(name));
            compareWithLibrsvg(*paths, svg, name);
        }
        QVERIFY(!GlyphItem::icon("mic.fill").isEmpty());
        QVERIFY(GlyphItem::icon("no.such.icon").isEmpty());
    }
};

QTEST_GUILESS_MAIN(GlyphTest)
#include "tst_glyph.moc"
