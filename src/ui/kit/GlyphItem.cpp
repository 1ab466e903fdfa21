#include "GlyphItem.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QXmlStreamReader>
#include <QtMath>

namespace tavo {

namespace {

// The screens' icon names and the files of the set that draw them.
const QHash<QString, QString>& files() {
    static const QHash<QString, QString> table{
        {"square.grid.2x2", "view-grid"},
        {"bubble.left", "chat-message-new"},
        {"clock.arrow.circlepath", "document-open-recent"},
        {"person", "avatar-default"},
        {"chevron.down", "pan-down"},
        {"checkmark", "object-select"},
        {"xmark", "window-close"},
        {"plus", "list-add"},
        {"mic.fill", "audio-input-microphone"},
        {"arrow.clockwise", "view-refresh"},
        {"plus.circle.fill", "list-add"},
        {"line.3.horizontal", "open-menu"},
        {"square.and.pencil", "document-edit"},
        {"arrow.right", "go-next"},
        {"trash", "user-trash"},
        {"music.note", "emblem-music"},
        {"play.fill", "media-playback-start"},
        {"pause.fill", "media-playback-pause"},
        {"hifispeaker", "audio-speakers"},
        {"chevron.left", "go-previous"},
    };
    return table;
}

// Reads path data: a command letter, then numbers, with spaces or commas between any of them.
class PathReader {
public:
    explicit PathReader(QStringView data) : m_data(data) {}

    bool atEnd() {
        skipSeparators();
        return m_at >= m_data.size();
    }
    // The next command letter, if that is what comes next.
    std::optional<QChar> command() {
        skipSeparators();
        if (m_at < m_data.size() && m_data[m_at].isLetter()) return m_data[m_at++];
        return std::nullopt;
    }
    bool numberNext() {
        skipSeparators();
        if (m_at >= m_data.size()) return false;
        const QChar c = m_data[m_at];
        return c.isDigit() || c == u'-' || c == u'+' || c == u'.';
    }
    // sign, digits, a fraction, an exponent: "-1.5e-3", ".5", and "1.5.5" as 1.5 then .5.
    std::optional<qreal> number() {
        skipSeparators();
        const qsizetype start = m_at;
        auto digits = [this] {
            const qsizetype from = m_at;
            while (m_at < m_data.size() && m_data[m_at].isDigit())
                ++m_at;
            return m_at > from;
        };
        if (m_at < m_data.size() && (m_data[m_at] == u'-' || m_data[m_at] == u'+')) ++m_at;
        bool any = digits();
        if (m_at < m_data.size() && m_data[m_at] == u'.') {
            ++m_at;
            any = digits() || any;
        }
        if (!any) return std::nullopt;
        if (m_at < m_data.size() && (m_data[m_at] == u'e' || m_data[m_at] == u'E')) {
            const qsizetype mark = m_at++;
            if (m_at < m_data.size() && (m_data[m_at] == u'-' || m_data[m_at] == u'+')) ++m_at;
            if (!digits()) m_at = mark; // an "e" that starts no exponent is not ours
        }
        bool ok = false;
        const qreal value = m_data.sliced(start, m_at - start).toDouble(&ok);
        return ok ? std::optional(value) : std::nullopt;
    }
    std::optional<QPointF> point() {
        const auto x = number();
        if (!x) return std::nullopt;
        const auto y = number();
        return y ? std::optional(QPointF(*x, *y)) : std::nullopt;
    }

private:
    void skipSeparators() {
        while (m_at < m_data.size() && (m_data[m_at].isSpace() || m_data[m_at] == u','))
            ++m_at;
    }
    QStringView m_data;
    qsizetype m_at = 0;
};

} // namespace

std::optional<QPainterPath> GlyphItem::pathData(QStringView data) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    PathReader in(data);
    QPointF current, start, lastControl;
    QChar previous;
    while (!in.atEnd()) {
        const std::optional<QChar> letter = in.command();
        if (!letter) return std::nullopt;
        const QChar cmd = letter->toUpper();
        const bool relative = letter->isLower();
        auto at = [&](QPointF p) { return relative ? current + p : p; };
        bool first = true; // a command's numbers may repeat it; "m" repeats as "l"
        do {
            switch (cmd.unicode()) {
            case 'M':
            case 'L': {
                const auto p = in.point();
                if (!p) return std::nullopt;
                current = at(*p);
                if (cmd == u'M' && first) {
                    path.moveTo(current);
                    start = current;
                } else {
                    path.lineTo(current);
                }
                break;
            }
            case 'H':
            case 'V': {
                const auto v = in.number();
                if (!v) return std::nullopt;
                if (cmd == u'H')
                    current.setX(relative ? current.x() + *v : *v);
                else
                    current.setY(relative ? current.y() + *v : *v);
                path.lineTo(current);
                break;
            }
            case 'C':
            case 'S':
            case 'Q':
            case 'T': {
                // A smooth curve's first control mirrors the last one of a curve of its kind just
                // before it; a plain curve gives its own.
                const bool cubic = cmd == u'C' || cmd == u'S', smooth = cmd == u'S' || cmd == u'T';
                const bool follows =
                    cubic ? previous == u'C' || previous == u'S' : previous == u'Q' || previous == u'T';
                QPointF c1 = follows ? 2 * current - lastControl : current;
                if (!smooth) {
                    const auto p = in.point();
                    if (!p) return std::nullopt;
                    c1 = at(*p);
                }
                const std::optional<QPointF> c2 = cubic ? in.point() : std::optional(c1);
                const std::optional<QPointF> end = c2 ? in.point() : std::nullopt;
                if (!end) return std::nullopt;
                lastControl = cubic ? at(*c2) : c1;
                current = at(*end);
                if (cubic)
                    path.cubicTo(c1, lastControl, current);
                else
                    path.quadTo(c1, current);
                break;
            }
            case 'Z':
                path.closeSubpath();
                current = start;
                break;
            default:
                return std::nullopt; // arcs, or no command at all
            }
            previous = cmd;
            first = false;
        } while (cmd != u'Z' && in.numberNext());
    }
    return path;
}

std::optional<QList<QPainterPath>> GlyphItem::paths(const QByteArray& svg) {
    QList<QPainterPath> out;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("path")) {
            const auto path = pathData(xml.attributes().value(QLatin1String("d")));
            if (!path) return std::nullopt;
            out << *path;
        }
    }
    if (xml.hasError()) return std::nullopt;
    return out;
}

const QList<QPainterPath>& GlyphItem::icon(const QString& name) {
    static QHash<QString, QList<QPainterPath>> loaded; // items live on the GUI thread only
    if (const auto found = loaded.constFind(name); found != loaded.cend()) return *found;
    QList<QPainterPath> icon;
    if (const auto file = files().constFind(name); file != files().cend()) {
        QFile svg(QStringLiteral(":/qt/qml/Tavo/Kit/icons/%1.svg").arg(*file));
        if (svg.open(QIODevice::ReadOnly)) icon = paths(svg.readAll()).value_or(QList<QPainterPath>());
        Q_ASSERT_X(!icon.isEmpty(), "GlyphItem", "a bundled icon that does not read");
    }
    return *loaded.insert(name, icon);
}

GlyphItem::GlyphItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
    setImplicitSize(m_size, m_size);
    setFlag(ItemHasContents, false); // until it names an icon
}

void GlyphItem::setName(const QString& name) {
    if (name == m_name) return;
    m_name = name;
    setFlag(ItemHasContents, !icon(m_name).isEmpty());
    update();
    emit nameChanged();
}

void GlyphItem::setColor(const QColor& color) {
    if (color == m_color) return;
    m_color = color;
    update();
    emit colorChanged();
}

void GlyphItem::setSize(qreal size) {
    if (qFuzzyCompare(size, m_size)) return;
    m_size = size;
    setImplicitSize(size, size);
    update();
    emit sizeChanged();
}

void GlyphItem::paint(QPainter* painter) {
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(m_color);
    painter->translate(width() / 2, height() / 2);
    painter->scale(m_size / 16, m_size / 16);
    painter->translate(-8, -8);
    for (const QPainterPath& path : icon(m_name))
        painter->drawPath(path);
}

PowerGlyphItem::PowerGlyphItem(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(true);
}

void PowerGlyphItem::setColor(const QColor& color) {
    if (color == m_color) return;
    m_color = color;
    update();
    emit colorChanged();
}

void PowerGlyphItem::paint(QPainter* painter) {
    const qreal w = width(), stroke = std::max(1.5, w / 9), c = w / 2, r = w / 2 - stroke;
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(m_color, stroke, Qt::SolidLine, Qt::RoundCap));
    painter->setBrush(Qt::NoBrush);
    // The ring leaves 0.7 rad either side of the top open, drawn clockwise from the right of the
    // gap (Qt's angles are degrees, counter-clockwise).
    const qreal gap = qRadiansToDegrees(0.7);
    QPainterPath ring;
    ring.arcMoveTo(QRectF(c - r, c + 1 - r, 2 * r, 2 * r), 90 - gap);
    ring.arcTo(QRectF(c - r, c + 1 - r, 2 * r, 2 * r), 90 - gap, -(360 - 2 * gap));
    painter->drawPath(ring);
    painter->drawLine(QPointF(c, 1), QPointF(c, c));
}

} // namespace tavo
