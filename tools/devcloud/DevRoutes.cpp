// The development routes that script the cloud itself: the sign-in code a test reads instead
// of a WhatsApp message, the log of requests made, answers arranged in advance, the state and
// its reset. The other groups are in DevSocketRoutes.cpp, DevBoxRoutes.cpp and
// DevAssistantRoutes.cpp; routeDev in Server.cpp looks through all of them.

#include "Server.h"

#include <QWebSocket>

namespace tavo::devcloud {

namespace {

// A "+" in a query string may arrive literally and read as a space.
QString queryPhone(const QUrlQuery& q) {
    QString phone = q.queryItemValue("phone", QUrl::FullyDecoded).trimmed();
    if (!phone.isEmpty() && !phone.startsWith('+')) phone.prepend('+');
    return phone;
}

} // namespace

std::span<const Server::DevRoute> Server::devCloudRoutes() {
    // The next request to METHOD /path gets this answer instead: a refusal with {"error"}, or
    // (answer-next with "body") exactly that text, e.g. a reply of the wrong shape.
    constexpr auto answerNext = [](Server& s, const DevRequest& r) {
        const int status = r.body.value("status").toInt(500);
        if (status < 200 || status > 599) return error(400, "status must be 200-599");
        Reply reply = json({{"error", r.body.value("error").toString("Server error")}}, status);
        if (r.body.contains("body")) reply.body = r.body.value("body").toString().toUtf8();
        s.m_failNext.insert(r.body.value("method").toString("GET") + ' ' + r.body.value("path").toString(),
                            reply);
        return json({{"ok", true}});
    };
    static constexpr DevRoute routes[] = {
        {"GET", "otp",
         [](Server& s, const DevRequest& r) {
             const QString phone = queryPhone(r.query);
             if (!s.m_pendingCodes.contains(phone)) return error(404, "No code pending for " + phone);
             return json({{"code", s.m_pendingCodes.value(phone)}});
         }},
        {nullptr, "requests",
         [](Server& s, const DevRequest& r) {
             if (r.parts.value(2) == "clear") s.m_requests = {};
             return json({{"requests", s.m_requests}});
         }},
        {nullptr, "respond",
         [](Server&, const DevRequest& r) {
             Reply reply;
             reply.status = r.query.queryItemValue("status").toInt();
             reply.body = r.query.queryItemValue("body", QUrl::FullyDecoded).toUtf8();
             if (r.query.hasQueryItem("content_type"))
                 reply.contentType = r.query.queryItemValue("content_type").toUtf8();
             if (reply.status < 100 || reply.status > 599) return error(400, "status must be 100-599");
             return reply;
         }},
        {"POST", "fail-next", answerNext},
        {"POST", "answer-next", answerNext},
        {nullptr, "state", [](Server& s, const DevRequest&) { return json(s.m_state.dump()); }},
        {"POST", "reset",
         [](Server& s, const DevRequest&) {
             // close() may drop the socket from m_sockets at once, so walk a copy.
             const auto sockets = s.m_sockets.values();
             for (QWebSocket* ws : sockets)
                 ws->close();
             s.m_state.reset();
             s.m_chat.reset();
             s.m_nextChat.reset();
             s.m_nextVoice.reset();
             s.m_lastVoice.reset();
             s.m_failNext.clear();
             s.m_pendingCodes.clear();
             s.m_skillSignIns.clear();
             if (s.m_options.seedDemo) s.seed();
             return json({{"ok", true}});
         }},
    };
    return routes;
}

} // namespace tavo::devcloud
