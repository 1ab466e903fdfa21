#include "Icons.h"

#include <QFile>
#include <QXmlStreamReader>

namespace tavo {

QStringList Icons::paths(const QString& name) {
    if (const auto found = m_paths.constFind(name); found != m_paths.cend()) return *found;
    QStringList data;
    // Names come from the screens' own table; anything else would not name a bundled file.
    if (!name.isEmpty() && !name.contains(QLatin1Char('/'))) {
        QFile file(QStringLiteral(":/qt/qml/Tavo/Kit/icons/%1.svg").arg(name));
        if (file.open(QIODevice::ReadOnly)) data = pathData(file.readAll());
    }
    m_paths.insert(name, data);
    return data;
}

QStringList Icons::pathData(const QByteArray& svg) {
    QStringList parts;
    QXmlStreamReader xml(svg);
    while (xml.readNextStartElement() || !xml.atEnd()) {
        if (xml.isStartElement() && xml.name() == QLatin1String("path"))
            parts << xml.attributes().value(QLatin1String("d")).toString();
        if (xml.hasError()) return {};
    }
    Q_ASSERT_X(parts.size() <= maxPaths, "Icons", "an icon with more paths than Glyph draws");
    return parts;
}

} // namespace tavo
