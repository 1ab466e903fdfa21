#pragma once

#include <QString>
#include <QStringList>

namespace tavo::test {

// Real speech for recognition tests: espeak-ng's voice, which the cloud's recogniser hears best
// as "en-us+f3" at 130 words a minute.
QString espeakWav(const QString& text, const QString& path,
                  const QStringList& espeakArgs = {QStringLiteral("-v"), QStringLiteral("en-us+f3"),
                                                   QStringLiteral("-s"), QStringLiteral("130")});

} // namespace tavo::test
