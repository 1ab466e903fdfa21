#pragma once

// The voice endpoint's spoken replies: espeak-ng's US English voice, resampled to the rate the
// client plays.

#include <QByteArray>
#include <QString>

namespace tavo::devcloud {

class Speech {
public:
    static constexpr int sampleRate = 24000;

    // The text spoken as s16 LE mono at `sampleRate`; empty with `error` set when it fails.
    // espeak-ng is process-wide state: call from one thread only.
    static QByteArray speak(const QString& text, QString& error);

private:
    static int synthRate(QString& error); // espeak-ng's own rate, set up on first use
};

} // namespace tavo::devcloud
