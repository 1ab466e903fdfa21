#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

namespace tavo {

// The bundled icons (icons/*.svg, 16 × 16) as SVG path data for a Shape to fill in any colour:
// the screens draw them as they draw text, sharp at every size and theme-coloured. One string
// per <path>: each begins with a moveto relative to nothing, so they cannot be joined.
class Icons : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Icons)
    QML_SINGLETON
public:
    using QObject::QObject;

    static constexpr int maxPaths = 6; // what Glyph draws; the set's largest icon has five

    // The path data of icons/`name`.svg; empty for an unknown name.
    Q_INVOKABLE QStringList paths(const QString& name);

    static QStringList pathData(const QByteArray& svg);

private:
    QHash<QString, QStringList> m_paths;
};

} // namespace tavo
