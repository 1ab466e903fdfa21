#include "skills/SkillsAuth.h"

#include "core/Logging.h"

#include <QLoggingCategory>
#include <QProcess>

#include <qcoro/qcorosignal.h>

namespace tavo {

SkillsAuth::SkillsAuth(Opener open, QObject* parent)
    : QObject(parent), m_open(open ? std::move(open) : Opener(&SkillsAuth::openInDesktopBrowser)) {}

SkillsAuth::~SkillsAuth() = default;

bool SkillsAuth::openInDesktopBrowser(const QUrl& url) {
    // The window app opens pages through its GUI (portals, the desktop's own handler), see
    // DesktopServices; without one, xdg-open is the desktop's handler.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

QCoro::Task<SkillsAuth::Outcome> SkillsAuth::run(QUrl url, QString callbackScheme) {
    if (m_pending) settle(UserCancelled{});
    auto pending = std::make_shared<Pending>();
    pending->scheme = callbackScheme;
    m_pending = pending;
    emit waitingChanged();
    if (!m_open(url)) {
        if (m_pending == pending) {
            m_pending.reset();
            emit waitingChanged();
        }
        co_return Failed{QStringLiteral("Could not start auth session")};
    }
    while (!pending->outcome)
        co_await qCoro(this, &SkillsAuth::settled);
    co_return *pending->outcome;
}

bool SkillsAuth::deliver(const QUrl& link) {
    if (!m_pending || link.scheme().compare(m_pending->scheme, Qt::CaseInsensitive) != 0) {
        qCDebug(lcSkills) << "link ignored: no sign-in is waiting for it";
        return false;
    }
    qCDebug(lcSkills) << "sign-in link received";
    settle(link);
    return true;
}

QString SkillsAuth::submitPasted(const QString& text) {
    if (!m_pending) return QStringLiteral("No sign-in is waiting");
    const QUrl link(text.trimmed(), QUrl::StrictMode);
    if (!link.isValid() || !deliver(link))
        return QStringLiteral("Paste the whole link that starts with \"%1:\"").arg(m_pending->scheme);
    return {};
}

void SkillsAuth::cancel() {
    if (m_pending) settle(UserCancelled{});
}

void SkillsAuth::settle(Outcome outcome) {
    const std::shared_ptr<Pending> done = std::move(m_pending);
    m_pending.reset();
    done->outcome = std::move(outcome);
    emit waitingChanged();
    emit settled();
}

} // namespace tavo
