#pragma once

#include "voice/WavFile.h"

#include <QString>
#include <QStringList>

namespace tavo::test {

// Real speech for recognition tests: espeak-ng's voice, which the cloud's recogniser hears best
// as "en-us+f3" at 130 words a minute.
QString espeakWav(const QString& text, const QString& path,
                  const QStringList& espeakArgs = {QStringLiteral("-v"), QStringLiteral("en-us+f3"),
                                                   QStringLiteral("-s"), QStringLiteral("130")});

// A quiet 300 Hz tone as 16-bit mono at `rate` (half a second: two tap buffers at 16 kHz).
WavSound tone(int rate = 16000, int ms = 500);

// The loudness of 16-bit little-endian samples, 0 for silence up to 1 for full scale.
double rms(const QByteArray& s16);

} // namespace tavo::test
