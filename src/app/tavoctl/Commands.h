#pragma once

// Each command of tavoctl's table, by the file of its group.

namespace tavo::ctl {

struct Context;

// Auth.cpp
int login(Context& ctx);
int logout(Context& ctx);

// Boxes.cpp
int devices(Context& ctx);
int relay(Context& ctx);
int all(Context& ctx);
int watch(Context& ctx);
int rename(Context& ctx);
int renameRelay(Context& ctx);
int forget(Context& ctx);

// Sharing.cpp
int leave(Context& ctx);
int members(Context& ctx);
int invite(Context& ctx);
int removeMember(Context& ctx);

// Activity.cpp
int logs(Context& ctx);
int history(Context& ctx);

// Chat.cpp
int chat(Context& ctx);
int threads(Context& ctx);
int thread(Context& ctx);

// Voice.cpp
int voice(Context& ctx);

// Skills.cpp
int skills(Context& ctx);
int skill(Context& ctx);

// Setup.cpp
int box(Context& ctx);

} // namespace tavo::ctl
