// One spoken exchange with the assistant.

#include "Commands.h"
#include "Context.h"

#include "platform/Media.h"
#include "voice/VoiceService.h"
#include "voice/WavFile.h"

#include <QSocketNotifier>
#include <cstdio>

namespace tavo::ctl {

// The microphone (until Enter) or a WAV file fed through the same capture pipeline. What was
// heard goes to stdout as "You: …", the answer as "Tavo: …", partial transcripts to stderr;
// the answer is played before the command returns.
int voice(Context& ctx) {
    TavoStore& store = ctx.store();
    const QStringList& args = ctx.args;
    catchInterrupts();
    std::unique_ptr<AudioInput> input;
    WavFileInput* file = nullptr;
    if (const qsizetype at = args.indexOf("--file"); at >= 0) {
        const QString path = args.value(at + 1);
        if (path.isEmpty()) return usage();
        auto wav = readWav(path);
        if (const auto* error = std::get_if<QString>(&wav)) return fail(path + ": " + *error);
        auto owned = std::make_unique<WavFileInput>(std::get<WavSound>(std::move(wav)));
        file = owned.get();
        input = std::move(owned);
    } else if (!args.isEmpty()) {
        return usage();
    } else {
        input = desktopMicrophone();
    }
    VoiceService service([&store] { return store.sessionToken(); }, ctx.client->config.socketBase(false),
                         std::move(input), desktopSpeaker());
    QSocketNotifier enter(fileno(stdin), QSocketNotifier::Read);
    enter.setEnabled(false);
    if (file) {
        // The file is said from its start once the server listens: a cloud that loads its
        // recogniser first would otherwise miss the beginning, or all of a short file.
        file->hold();
        QObject::connect(&service, &VoiceService::serverReady, file, &WavFileInput::release);
        QObject::connect(file, &WavFileInput::finished, &service, &VoiceService::stop);
    } else {
        QObject::connect(&enter, &QSocketNotifier::activated, &service, [&] {
            char line[256];
            if (!std::fgets(line, sizeof line, stdin)) enter.setEnabled(false);
            service.stop();
        });
    }
    QObject::connect(&service, &VoiceService::heardChanged, &service, [&] {
        if (service.heardIsFinal())
            out << "You: " << service.heard() << "\n" << Qt::flush;
        else if (showProgress && !service.heard().isEmpty())
            err << "… " << service.heard() << "\n" << Qt::flush;
    });
    QObject::connect(&service, &VoiceService::spokenChanged, &service, [&] {
        out << "Tavo: " << service.spoken() << "\n" << Qt::flush;
    });

    service.start();
    if (service.state() == VoiceService::State::Error) return fail(service.errorTextOrEmpty());
    if (!file) {
        err << "Listening… press Enter when you have finished.\n" << Qt::flush;
        enter.setEnabled(true);
    }
    const auto over = [&] {
        return service.state() == VoiceService::State::Idle || service.state() == VoiceService::State::Error;
    };
    const bool ended = waitFor([&] { return over() || interrupted != 0; }, 150'000);
    if (!ended || interrupted != 0) {
        service.cancel();
        return fail(interrupted != 0 ? QStringLiteral("Cancelled") : QStringLiteral("No answer in time"));
    }
    if (service.state() == VoiceService::State::Error) return fail(service.errorTextOrEmpty());
    return 0;
}

} // namespace tavo::ctl
