#include "Speech.h"

#include <QtEndian>
#include <espeak-ng/speak_lib.h>
#include <soxr.h>
#include <vector>

namespace tavo::devcloud {

namespace {

int collect(short* wav, int count, espeak_EVENT* events) {
    auto* samples = static_cast<std::vector<qint16>*>(events->user_data);
    if (wav && count > 0) samples->insert(samples->end(), wav, wav + count);
    return 0;
}

} // namespace

int Speech::synthRate(QString& error) {
    static const int rate = [] {
        const int r = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, 0);
        if (r <= 0) return 0;
        espeak_SetSynthCallback(collect);
        return espeak_SetVoiceByName("en-us") == EE_OK ? r : 0;
    }();
    if (rate == 0) error = QStringLiteral("espeak-ng cannot start its en-us voice");
    return rate;
}

QByteArray Speech::speak(const QString& text, QString& error) {
    const int rate = synthRate(error);
    if (rate == 0) return {};
    std::vector<qint16> spoken;
    const QByteArray utf8 = text.toUtf8();
    if (espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                     nullptr, &spoken) != EE_OK ||
        spoken.empty()) {
        error = QStringLiteral("espeak-ng produced no speech");
        return {};
    }

    std::vector<qint16> out(spoken.size() * sampleRate / size_t(rate) + 64);
    size_t done = 0;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    if (soxr_error_t e = soxr_oneshot(rate, sampleRate, 1, spoken.data(), spoken.size(), nullptr, out.data(),
                                      out.size(), &done, &io, nullptr, nullptr)) {
        error = QStringLiteral("resampling failed: %1").arg(QString::fromLatin1(e));
        return {};
    }
    QByteArray s16(qsizetype(done) * 2, Qt::Uninitialized);
    for (size_t i = 0; i < done; ++i)
        qToLittleEndian<qint16>(out[i], s16.data() + 2 * i);
    return s16;
}

} // namespace tavo::devcloud
