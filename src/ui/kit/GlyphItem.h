#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QQuickPaintedItem>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace tavo {

// An icon of the bundled set (icons/*.svg, 16 × 16 views of plain paths) filled in one colour at
// `size` pixels, centred in the item: the screens draw icons as they draw text, sharp at every
// size and theme-coloured. One painted item per icon, so a screen's icons cost an item each.
class GlyphItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
    Q_PROPERTY(qreal size READ size WRITE setSize NOTIFY sizeChanged)
public:
    explicit GlyphItem(QQuickItem* parent = nullptr);

    QString name() const { return m_name; }
    void setName(const QString& name);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    qreal size() const { return m_size; }
    void setSize(qreal size);

    void paint(QPainter* painter) override;

    // The bundled icon drawn for a system name ("mic.fill"), one path per <path>, each filled on
    // its own; empty for a name the set has no icon for.
    static const QList<QPainterPath>& icon(const QString& name);
    // Every <path> of an SVG file; nothing when one of them cannot be read.
    static std::optional<QList<QPainterPath>> paths(const QByteArray& svg);
    // SVG path data: moves, lines, cubic and quadratic curves, closes (absolute and relative);
    // nothing for arcs, which the set does not use, or for malformed data.
    static std::optional<QPainterPath> pathData(QStringView data);

signals:
    void nameChanged();
    void colorChanged();
    void sizeChanged();

private:
    QString m_name;
    QColor m_color;
    qreal m_size = 16;
};

// The power symbol on a relay's switch, stroked in `color`: a ring open at the top and a bar,
// with round ends, the stroke a ninth of the item's width (at least 1.5 px). Every relay tile
// has one, so it is a painted item rather than a canvas running script for each tile.
class PowerGlyphItem : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged)
public:
    explicit PowerGlyphItem(QQuickItem* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    void paint(QPainter* painter) override;

signals:
    void colorChanged();

private:
    QColor m_color;
};

} // namespace tavo
