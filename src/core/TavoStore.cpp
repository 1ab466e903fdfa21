#include "core/TavoStore.h"

#include "platform/Preferences.h"
#include "skills/SkillsAuth.h"

#include <QMetaObject>

namespace tavo {

TavoStore::TavoStore(StoreServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)) {
    Q_ASSERT(m_services.network && m_services.preferences && m_services.clock && m_services.speaker &&
             m_services.music && m_services.skillsAuth && m_services.keychain);
    restoreSession();
}

SkillsAuth& TavoStore::skillsAuth() const {
    return *m_services.skillsAuth;
}

TavoStore::~TavoStore() {
    teardownWSTask();
    // Last, so nothing above starts a sleep after it. Each resumes here and returns at once.
    for (const CancelToken& sleeping : m_sleeps)
        sleeping.cancel();
}

QCoro::Task<bool> TavoStore::sleepWhileAlive(std::chrono::milliseconds duration) {
    const auto mine = m_sleeps.emplace(m_sleeps.end());
    const CancelToken cancel = *mine;
    co_await m_services.clock->sleep(duration, cancel);
    if (cancel.isCancelled()) co_return false; // inside the destructor; m_sleeps is going too
    m_sleeps.erase(mine);
    co_return true;
}

API TavoStore::api() const {
    QPointer<TavoStore> self(const_cast<TavoStore*>(this));
    return API(*m_services.network, m_services.config, *m_services.preferences, m_sessionToken,
               [self](const QString& token) { return self && self->endRefusedSession(token); });
}

API TavoStore::signInApi() const {
    return API(*m_services.network, m_services.config, *m_services.preferences, m_sessionToken);
}

bool TavoStore::endRefusedSession(const QString& token) {
    if (token.isEmpty() || token != m_sessionToken) return false;
    signOut();
    showToast(Failure::sessionExpiredText(), true);
    emit sessionExpired();
    return true;
}

// Wrongly typed stored values read as empty or 0, so start-up never fails on them.
void TavoStore::restoreSession() {
    const Preferences& prefs = *m_services.preferences;
    if (auto token = prefs.string(PrefKey::session)) m_sessionToken = *token;
    if (auto phone = prefs.string(PrefKey::phone)) m_phone = *phone;
    m_userID = prefs.int64(PrefKey::userID);
    m_currentThreadID = prefs.int64(PrefKey::threadID);

    // A token without a phone number stays on sign-in with the token kept in memory.
    if (m_sessionToken.isEmpty() || m_phone.isEmpty()) return;
    // Home from the start, so the window never builds sign-in only to replace it; the socket
    // opens in the first event-loop turn, once whoever made the store is listening.
    m_screen = Screen::home();
    if (m_services.connectOnRestore)
        QMetaObject::invokeMethod(
            this, [this] { connectWS(); }, Qt::QueuedConnection);
}

void TavoStore::persistSession() {
    Preferences& prefs = *m_services.preferences;
    prefs.setValue(PrefKey::session, m_sessionToken);
    prefs.setValue(PrefKey::phone, m_phone);
    prefs.setValue(PrefKey::userID, m_userID);
}

void TavoStore::signOut() {
    teardownWSTask();
    setConn(ConnStatus::Offline);
    setSessionToken({});
    setUserID(0);
    setPhone({});
    forgetAccountData();
    Preferences& prefs = *m_services.preferences;
    for (const char* key : {PrefKey::session, PrefKey::userID, PrefKey::phone, PrefKey::threadID})
        prefs.remove(key);
    setScreen(Screen::auth());
}

// What one account saw, so that the next one signed in on this desktop never does. Kept, as
// the computer's rather than the account's: the home WiFi typed for set-up, the server
// switch, and the toast being shown.
void TavoStore::forgetAccountData() {
    setDevices({});
    showConversation({}, 0);
    assign(m_members, {}, &TavoStore::membersChanged);
    assign(m_skills, {}, &TavoStore::skillsChanged);
    setChatThreads({});
    if (m_music) stopMusic();
    assign(m_pendingInviteShareLink, std::optional<QString>(), &TavoStore::pendingInviteShareLinkChanged);
    setProv({});
}

void TavoStore::showToast(const QString& text, bool error) {
    setToastIsError(error); // first, so whoever watches the text reads the flag of this toast
    setToast(text);
    expireToast(text);
}

// A newer toast replaces this one at once; this timer then finds another text and leaves it.
QCoro::Task<> TavoStore::expireToast(QString text) {
    const bool alive = co_await sleepWhileAlive(std::chrono::milliseconds(2500));
    if (!alive) co_return;
    if (m_toast && *m_toast == text) setToast(std::nullopt);
}

} // namespace tavo
