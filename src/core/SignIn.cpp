// Phone sign-in: ask for a WhatsApp code, then trade it for a session.

#include "cloud/Endpoints.h"
#include "core/PhoneNumber.h"
#include "core/TavoStore.h"
#include "platform/Preferences.h"

namespace tavo {

namespace {

struct SignInResult {
    qint64 user_id = 0;
    QString session_token;
    static std::optional<SignInResult> fromJson(json::Reader& r) {
        SignInResult s{r.required<qint64>("user_id"), r.required<QString>("session_token")};
        if (!r.ok()) return std::nullopt;
        return s;
    }
    QJsonObject toJson() const { return {{"user_id", user_id}, {"session_token", session_token}}; }
};

const QString post = QStringLiteral("POST");

} // namespace

void TavoStore::sendOTP() {
    doSendOTP();
}

void TavoStore::verifyOTP(const QString& code) {
    doVerifyOTP(code);
}

QCoro::Task<> TavoStore::doSendOTP() {
    if (!isE164(m_phone)) {
        showToast(QStringLiteral("Phone must be E.164, e.g. +919876543210"), true);
        co_return;
    }
    QPointer<TavoStore> self(this);
    setBusy(true);
    // Arguments are built before the await: g++ 12 cannot keep string-literal temporaries
    // alive across a suspension point.
    QByteArray body = json::compact({{"phone", m_phone}});
    Result<EmptyOK> reply = co_await signInApi().send<EmptyOK>(post, Endpoints::authStart(), std::move(body));
    if (!self) co_return;
    if (reply)
        setScreen(Screen::otp());
    else
        showToast(reply.failure().description(), true);
    setBusy(false);
}

QCoro::Task<> TavoStore::doVerifyOTP(QString code) {
    if (!isSixDigitCode(code)) {
        showToast(QStringLiteral("Enter the 6-digit code"), true);
        co_return;
    }
    QPointer<TavoStore> self(this);
    setBusy(true);
    QByteArray body = json::compact({{"phone", m_phone}, {"code", code}});
    Result<SignInResult> reply =
        co_await signInApi().send<SignInResult>(post, Endpoints::authVerify(), std::move(body));
    if (!self) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        setBusy(false);
        co_return;
    }
    // Another account signing in over a kept session (tavoctl login) starts clean: it never
    // continues the previous user's conversation or sees their boxes.
    if (reply->user_id != m_userID) {
        forgetAccountData();
        m_services.preferences->remove(PrefKey::threadID);
    }
    setSessionToken(reply->session_token);
    setUserID(reply->user_id);
    persistSession();
    setScreen(Screen::home());
    connectWS();
    setBusy(false);
}

} // namespace tavo
