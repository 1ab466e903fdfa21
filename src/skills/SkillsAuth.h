#pragma once

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <variant>

#include <qcoro/qcorotask.h>

namespace tavo {

// The web sign-in of a skill. The authorize page opens in the user's browser; the service's
// flow ends by redirecting to the app's scheme, which the desktop hands to `tavo`, whose
// single-instance channel passes it to deliver(). Browsers that don't hand the scheme over
// leave the user to paste the link (submitPasted). Only a link that arrives while a sign-in
// waits is taken. Main thread only.
class SkillsAuth : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool waiting READ waiting NOTIFY waitingChanged)

public:
    struct Failed {
        QString message;
    };
    struct UserCancelled {};
    using Outcome = std::variant<QUrl, Failed, UserCancelled>;
    // Shows the URL to the user; false when it couldn't.
    using Opener = std::function<bool(const QUrl&)>;

    // Without an opener: the desktop's default browser.
    explicit SkillsAuth(Opener open = {}, QObject* parent = nullptr);
    ~SkillsAuth() override;

    // The callback URL, or why there is none. A second run while one waits cancels the first.
    QCoro::Task<Outcome> run(QUrl url, QString callbackScheme);

    bool waiting() const { return m_pending != nullptr; }
    // A link from the scheme handler. False (and ignored) unless a sign-in waits for its scheme.
    Q_INVOKABLE bool deliver(const QUrl& link);
    // A link the user pasted: "" when taken, else why not.
    Q_INVOKABLE QString submitPasted(const QString& text);
    Q_INVOKABLE void cancel();

    static bool openInDesktopBrowser(const QUrl& url);

signals:
    void waitingChanged();
    void settled(); // internal: a waiting run has its outcome

private:
    struct Pending {
        QString scheme;
        std::optional<Outcome> outcome;
    };
    void settle(Outcome outcome);

    Opener m_open;
    std::shared_ptr<Pending> m_pending;
};

} // namespace tavo
