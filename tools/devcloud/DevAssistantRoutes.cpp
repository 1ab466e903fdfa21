// The development routes for the assistant: the next chat or voice reply scripted instead of
// the assistant's own, a saved thread made up front, and what the last voice session received.

#include "Server.h"

namespace tavo::devcloud {

std::span<const Server::DevRoute> Server::devAssistantRoutes() {
    static constexpr DevRoute routes[] = {
        {"POST", "chat/next", [](Server& s, const DevRequest& r) { return s.scriptNextChat(r.body); }},
        {"POST", "chat/thread",
         [](Server& s, const DevRequest& r) {
             const qint64 user = s.m_state.userFor(r.body.value("phone").toString(), true);
             const qint64 thread = s.m_chat.threadFor(user, 0, r.body.value("title").toString("Saved chat"));
             for (const auto& m : r.body.value("messages").toArray())
                 s.m_chat.addMessage(thread, m.toObject().value("role").toString(),
                                     m.toObject().value("content").toString());
             return json({{"id", thread}});
         }},
        {"POST", "voice/script", [](Server& s, const DevRequest& r) { return s.scriptNextVoice(r.body); }},
        {"GET", "voice/last", [](Server& s, const DevRequest&) { return s.lastVoice(); }},
    };
    return routes;
}

} // namespace tavo::devcloud
