// Skills: the catalogue, connect through a development sign-in page standing in for the
// outside service's, and disconnect.

#include "Server.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QUuid>

namespace tavo::devcloud {

namespace {

struct SkillInfo {
    const char* id;
    const char* name;
    const char* description;
    const char* provider;
    bool signIn; // connected through the outside service's sign-in page
};

constexpr SkillInfo catalogue[] = {
    {"swiggy", "Swiggy", "Order food from restaurants near you, right from chat.", "Swiggy", true},
    {"reminders", "Reminders", "Lets the assistant set reminders and timers for you.", "Tavo", false},
};

const SkillInfo* findSkill(const QString& id) {
    for (const SkillInfo& s : catalogue)
        if (id == QLatin1String(s.id)) return &s;
    return nullptr;
}

QByteArray page(const QString& title, const QString& body) {
    return QStringLiteral(
               "<!doctype html><html><head><meta charset=\"utf-8\"><title>%1</title>"
               "<style>body{font-family:sans-serif;background:#10131a;color:#e8eaf0;display:flex;"
               "justify-content:center;margin-top:12vh}main{max-width:28rem;padding:2rem;border-radius:16px;"
               "background:#1a1f2b}a.button{display:inline-block;padding:.6rem 1.4rem;margin:.5rem .5rem 0 0;"
               "border-radius:999px;text-decoration:none;color:#10131a;background:#fc8019}"
               "a.ghost{background:transparent;color:#e8eaf0;border:1px solid #4a5160}</style></head>"
               "<body><main><h1>%1</h1>%2</main></body></html>")
        .arg(title.toHtmlEscaped(), body)
        .toUtf8();
}

} // namespace

std::optional<Server::Reply> Server::routeSkills(const QString& method, const QStringList& parts,
                                                 const QHttpServerRequest& request, qint64 user) {
    if (parts.size() < 2 || parts[0] != "v1" || parts[1] != "skills") return std::nullopt;
    if (parts.size() == 2 && method == "GET") {
        const QSet<QString> connected = m_state.skillsOf(user);
        QJsonArray list;
        for (const SkillInfo& s : catalogue)
            list.append(QJsonObject{{"id", s.id},
                                    {"name", s.name},
                                    {"description", s.description},
                                    {"provider", s.provider},
                                    {"connected", connected.contains(s.id)}});
        return json({{"ok", true}, {"skills", list}});
    }
    if (parts.size() != 4 || method != "POST") return std::nullopt;
    const SkillInfo* skill = findSkill(parts[2]);
    if (!skill) return error(404, "Unknown skill");
    if (parts[3] == "disconnect") {
        m_state.setSkill(user, skill->id, false);
        return json({{"ok", true}});
    }
    if (parts[3] != "connect") return std::nullopt;
    const QJsonObject body = QJsonDocument::fromJson(request.body()).object();
    const QString scheme = body.value("callback_scheme").toString();
    static const QRegularExpression schemeShape(QStringLiteral("^[a-z][a-z0-9+.-]*$"));
    if (!schemeShape.match(scheme).hasMatch()) return error(400, "callback_scheme is required");
    if (!skill->signIn) return error(400, "This skill has no sign-in page");
    const QString state = QUuid::createUuid().toString(QUuid::Id128);
    m_skillSignIns.insert(state, {user, skill->id, scheme});
    const QString host = QString::fromUtf8(request.value("host"));
    return json({{"ok", true},
                 {"authorize_url",
                  QStringLiteral("http://%1/skills/%2/authorize?state=%3").arg(host, skill->id, state)}});
}

// GET /skills/ID/authorize?state=S shows Allow and Deny; /allow and /deny end the flow with a
// redirect to the app's scheme, as the outside service's flow does.
std::optional<Server::Reply> Server::routeSkillPage(const QStringList& parts, const QUrlQuery& query) {
    if (parts.size() < 3 || parts[2] != "authorize") return std::nullopt;
    const QString state = query.queryItemValue("state");
    const auto signIn = m_skillSignIns.constFind(state);
    const SkillInfo* skill = findSkill(parts[1]);
    if (!skill || signIn == m_skillSignIns.constEnd() || signIn->skill != parts[1])
        return html(400, page("Sign-in expired",
                              "<p>This sign-in link is no longer valid. Start again from Tavo.</p>"));

    const QString name = QString::fromLatin1(skill->name);
    if (parts.size() == 3) {
        const QString phone = m_state.phoneOf(signIn->user).toHtmlEscaped();
        const QString base = QStringLiteral("/skills/%1/authorize/").arg(skill->id);
        return html(200, page(name + " sign-in",
                              QStringLiteral(
                                  "<p>Tavo would like to order from %1 for <b>%2</b>.</p>"
                                  "<p>This is the development cloud's stand-in for the %1 sign-in.</p>"
                                  "<a class=\"button\" id=\"allow\" href=\"%3allow?state=%4\">Allow</a>"
                                  "<a class=\"button ghost\" id=\"deny\" href=\"%3deny?state=%4\">Deny</a>")
                                  .arg(name, phone, base, state)));
    }
    const bool allow = parts.value(3) == "allow";
    if (!allow && parts.value(3) != "deny") return std::nullopt;
    const SkillSignIn done = m_skillSignIns.take(state);
    if (allow) m_state.setSkill(done.user, done.skill, true);
    const QString target = QStringLiteral("%1://skills/%2?%3")
                               .arg(done.scheme, done.skill, allow ? "ok=1" : "ok=0&reason=denied");
    Reply r = html(
        302,
        page(allow ? "Connected" : "Not connected",
             QStringLiteral("<p>Return to Tavo: <a href=\"%1\">%1</a></p>").arg(target.toHtmlEscaped())));
    r.location = target.toUtf8();
    return r;
}

} // namespace tavo::devcloud
