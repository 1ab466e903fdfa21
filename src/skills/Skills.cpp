// Skills: the list, the web sign-in that connects the food-ordering skill, and disconnect.

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"
#include "skills/SkillsAuth.h"

#include <QUrlQuery>
#include <algorithm>

namespace tavo {

SkillCallback readSkillCallback(const QUrl& callback) {
    const QList<std::pair<QString, QString>> items = QUrlQuery(callback).queryItems(QUrl::FullyDecoded);
    auto first = [&](QStringView key) -> std::optional<QString> {
        for (const auto& [k, v] : items)
            if (k == key) return v;
        return std::nullopt;
    };
    if (first(u"ok") == QStringLiteral("1"))
        return {true, QStringLiteral("Swiggy connected — try ordering in chat.")};
    const QString reason = first(u"reason").value_or(QString());
    QString toast = QStringLiteral("Swiggy connect failed");
    if (!reason.isEmpty()) toast += QStringLiteral(" (") + reason + u')';
    return {false, toast};
}

QString capitalizedWords(const QString& text) {
    QString out = text;
    bool wordStart = true;
    for (QChar& c : out) {
        if (c.isSpace()) {
            wordStart = true;
            continue;
        }
        c = wordStart ? c.toUpper() : c.toLower();
        wordStart = false;
    }
    return out;
}

QVariantList TavoStore::skillRows() const {
    QVariantList rows;
    for (const Skill& s : m_skills)
        rows << s.toJson().toVariantMap();
    return rows;
}

QCoro::Task<> TavoStore::reportSkillTask(QCoro::Task<> task, QString id) {
    QPointer<TavoStore> self(this);
    co_await std::move(task);
    if (self) emit skillTaskFinished(id);
}

void TavoStore::loadSkills() {
    doLoadSkills();
}

QCoro::Task<> TavoStore::doLoadSkills() {
    co_await reloadSkills();
}

QCoro::Task<std::optional<QList<Skill>>> TavoStore::reloadSkills() {
    if (m_sessionToken.isEmpty()) co_return std::nullopt;
    // Loading while any list request is out, not just the first to come back.
    if (m_skillsLoads++ == 0) assign(m_skillsLoading, true, &TavoStore::skillsLoadingChanged);
    QPointer<TavoStore> self(this);
    const QString account = m_sessionToken;
    const QString get = QStringLiteral("GET");
    Result<SkillsListResponse> reply = co_await api().send<SkillsListResponse>(get, Endpoints::skills());
    if (!self) co_return std::nullopt;
    if (--m_skillsLoads == 0) assign(m_skillsLoading, false, &TavoStore::skillsLoadingChanged);
    if (m_sessionToken != account) co_return std::nullopt; // another account's list by now
    if (!reply) {
        showToast(reply.failure().description(), true); // the list on show stays
        co_return std::nullopt;
    }
    assign(m_skills, reply->skills, &TavoStore::skillsChanged);
    co_return reply->skills;
}

void TavoStore::connectSwiggy() {
    reportSkillTask(doConnectSwiggy(), QStringLiteral("swiggy"));
}

QCoro::Task<> TavoStore::doConnectSwiggy() {
    if (m_sessionToken.isEmpty()) {
        showToast(QStringLiteral("Sign in first"), true);
        co_return;
    }
    QPointer<TavoStore> self(this);
    const QString account = m_sessionToken;
    const QString post = QStringLiteral("POST");
    const QByteArray body = json::compact({{"callback_scheme", "tavo"}, {"return_to", "/"}});
    Result<SkillsConnectResponse> reply =
        co_await api().send<SkillsConnectResponse>(post, Endpoints::swiggyConnect(), body);
    if (!self || m_sessionToken != account) co_return; // signed out or in as someone else meanwhile
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    // Only a web page may be handed to the browser: another scheme could start any program.
    const QUrl authorize(reply->authorize_url, QUrl::StrictMode);
    const QString scheme = authorize.scheme().toLower();
    if (!authorize.isValid() || (scheme != u"https" && scheme != u"http") || authorize.host().isEmpty()) {
        showToast(QStringLiteral("Bad authorize URL"), true);
        co_return;
    }
    const QString callbackScheme = QStringLiteral("tavo");
    const SkillsAuth::Outcome outcome = co_await skillsAuth().run(authorize, callbackScheme);
    if (!self || m_sessionToken != account) co_return;
    if (std::holds_alternative<SkillsAuth::UserCancelled>(outcome)) co_return;
    if (const auto* failed = std::get_if<SkillsAuth::Failed>(&outcome)) {
        showToast(failed->message, true);
        co_return;
    }
    const SkillCallback result = readSkillCallback(std::get<QUrl>(outcome));
    if (!result.ok) {
        showToast(result.toast, true);
        co_await doLoadSkills();
        co_return;
    }
    // Anything can open a "tavo:" link (a stale one, a forged one): the cloud's own list says
    // whether the skill is connected.
    const std::optional<QList<Skill>> list = co_await reloadSkills();
    if (!self || !list) co_return; // the reload's failure is on show
    const bool connected = std::any_of(list->begin(), list->end(), [](const Skill& s) {
        return s.id == QLatin1String("swiggy") && s.connected;
    });
    if (connected)
        showToast(result.toast, false);
    else
        showToast(QStringLiteral("Swiggy connect failed (not connected)"), true);
}

void TavoStore::disconnectSkill(const QString& id) {
    reportSkillTask(doDisconnectSkill(id), id);
}

QCoro::Task<> TavoStore::doDisconnectSkill(QString id) {
    if (m_sessionToken.isEmpty()) co_return;
    QPointer<TavoStore> self(this);
    const QString account = m_sessionToken;
    const QString post = QStringLiteral("POST");
    Result<EmptyOK> reply =
        co_await api().send<EmptyOK>(post, Endpoints::skillDisconnect(id), QByteArray("{}"));
    if (!self || m_sessionToken != account) co_return;
    if (!reply) {
        showToast(reply.failure().description(), true);
        co_return;
    }
    showToast(capitalizedWords(id) + QStringLiteral(" disconnected"), false);
    co_await doLoadSkills();
}

} // namespace tavo
