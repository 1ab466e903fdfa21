#include "platform/Media.h"

#include "core/Logging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>

namespace tavo {

namespace {

// In the package's library folder, found from the program's own (the build tree is laid out
// the same); TAVO_MEDIA_DIR names another folder, as for programs built elsewhere (tests).
QStringList candidates() {
    QStringList dirs;
    if (const QString dir = qEnvironmentVariable("TAVO_MEDIA_DIR"); !dir.isEmpty()) dirs << dir;
    dirs << QCoreApplication::applicationDirPath() + QStringLiteral("/" TAVO_MEDIA_RELATIVE_DIR);
    for (QString& dir : dirs)
        dir += QStringLiteral("/libtavomedia.so");
    return dirs;
}

MediaModule* load() {
    QStringList errors;
    for (const QString& path : candidates()) {
        if (!QFileInfo::exists(path)) continue;
        QLibrary library(path);
        // Kept loaded for the process's life: objects it made may outlive any owner.
        library.setLoadHints(QLibrary::PreventUnloadHint);
        // The module's one export (src/media/Module.cpp).
        using Entry = MediaModule* (*)();
        const auto entry = reinterpret_cast<Entry>(library.resolve("tavo_media_module"));
        if (entry) return entry();
        errors << library.errorString();
    }
    qCWarning(lcPlatform) << "no sound: the media module did not load"
                          << (errors.isEmpty() ? QStringLiteral("(not found)") : errors.join(u"; "));
    return nullptr;
}

} // namespace

MediaModule* media() {
    static MediaModule* const module = load();
    return module;
}

namespace {

class DesktopMicrophone final : public AudioInput {
public:
    bool available() const override { return real() && m_real->available(); }
    AudioFormat format() const override { return real() ? m_real->format() : AudioFormat(); }
    void installTap(int frames, std::function<void(AudioBuffer)> onBuffer) override {
        if (real()) m_real->installTap(frames, std::move(onBuffer));
    }
    void removeTap() override {
        if (m_real) m_real->removeTap();
    }
    std::optional<QString> start() override {
        if (!real()) return QStringLiteral("no microphone");
        return m_real->start();
    }
    void stop() override {
        if (m_real) m_real->stop();
    }

private:
    AudioInput* real() const {
        if (!m_real && media()) m_real = media()->microphone();
        return m_real.get();
    }
    mutable std::unique_ptr<AudioInput> m_real;
};

class DesktopSpeaker final : public AudioOutput {
public:
    std::optional<QString> attach(const AudioFormat& format) override {
        if (!m_real && media()) m_real = media()->speaker();
        if (!m_real) return QStringLiteral("no audio output");
        return m_real->attach(format);
    }
    void schedule(std::vector<float> samples, std::function<void()> playedBack) override {
        if (m_real) m_real->schedule(std::move(samples), std::move(playedBack));
    }
    bool isPlaying() const override { return m_real && m_real->isPlaying(); }
    void play() override {
        if (m_real) m_real->play();
    }
    void stop() override {
        if (m_real) m_real->stop();
    }

private:
    std::unique_ptr<AudioOutput> m_real; // made by attach(), which comes first
};

} // namespace

std::unique_ptr<AudioInput> desktopMicrophone() {
    return std::make_unique<DesktopMicrophone>();
}

std::unique_ptr<AudioOutput> desktopSpeaker() {
    return std::make_unique<DesktopSpeaker>();
}

} // namespace tavo
