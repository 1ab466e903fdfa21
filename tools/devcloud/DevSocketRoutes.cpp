// The development routes for the device sockets: how many are open, dropping them all, and
// pushing a frame of the test's own making.

#include "Server.h"

#include <QWebSocket>

namespace tavo::devcloud {

std::span<const Server::DevRoute> Server::devSocketRoutes() {
    static constexpr DevRoute routes[] = {
        {"POST", "drop-sockets",
         [](Server& s, const DevRequest&) {
             const auto sockets = s.m_sockets.values();
             for (QWebSocket* ws : sockets)
                 ws->abort();
             return json({{"ok", true}, {"dropped", int(sockets.size())}});
         }},
        {nullptr, "sockets",
         [](Server& s, const DevRequest&) {
             QJsonObject counts;
             for (qint64 u : s.m_sockets.uniqueKeys())
                 counts.insert(s.m_state.phoneOf(u), int(s.m_sockets.count(u)));
             return json({{"sockets", counts},
                          {"total", int(s.m_sockets.size())},
                          {"opened", s.m_socketsOpened},
                          {"last_close_code", s.m_lastCloseCode}});
         }},
        {"POST", "push",
         [](Server& s, const DevRequest& r) {
             const qint64 user = s.m_state.userFor(r.body.value("phone").toString(), false);
             const QString frame = r.body.value("frame").toString();
             for (QWebSocket* ws : s.m_sockets.values(user)) {
                 if (r.body.value("binary").toBool())
                     ws->sendBinaryMessage(QByteArray::fromBase64(frame.toLatin1()));
                 else
                     ws->sendTextMessage(frame);
             }
             return json({{"ok", true}, {"sockets", int(s.m_sockets.count(user))}});
         }},
    };
    return routes;
}

} // namespace tavo::devcloud
