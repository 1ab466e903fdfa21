#pragma once

// What every tavoctl command shares: its arguments, the client it runs against, the two
// output streams and the few ways of waiting that the commands have in common.

#include "cloud/Api.h"
#include "core/TavoStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <QTextStream>
#include <csignal>
#include <functional>
#include <limits>
#include <optional>

namespace tavo {

class SettingsPreferences;

namespace ctl {

// The client a command runs against, built only for the commands that talk to the cloud.
struct Client {
    TavoStore& store;
    SettingsPreferences& preferences;
    QNetworkAccessManager& network;
    SkillsAuth& auth;
    const CloudConfig& config;
};

struct Context {
    QStringList args; // after the command's name, --json taken out
    bool asJson = false;
    Client* client = nullptr; // null only for the commands that need no cloud

    TavoStore& store() const { return client->store; }
};

extern QTextStream out;
extern QTextStream err;
// Progress (captions while the assistant works, partial transcripts) is for a person
// watching a terminal; in a pipe or a file it would only be noise around the results.
extern const bool showProgress;

constexpr int waitMs = 10'000;
constexpr int noTimeout = std::numeric_limits<int>::max();

// Set once the cloud refused the session: whatever the command was doing, it ends with the one
// "Session expired" line from main, not with the error of the request that found out.
extern bool sessionEnded;
extern volatile std::sig_atomic_t interrupted;

// The whole usage on stderr; status 2. Defined beside the command table.
int usage();
// "tavoctl: TEXT" on stderr (nothing once the session has ended); status 1.
int fail(const QString& text);

// SIGINT and SIGTERM set `interrupted` and wake every wait at once. Commands that can be
// interrupted call this first; the others end at Ctrl-C as any program does.
void catchInterrupts();

// Runs the event loop until `done` holds or the time is up. `done` is looked at each time the
// loop has handled what was pending and is about to sleep, so waiting costs no CPU.
bool waitFor(const std::function<bool()>& done, int ms = waitMs);

// Runs one store operation to its end. The operation reports through toasts: an error toast
// is the failure, any other the success line (else `doneText`).
int runOperation(TavoStore& store, const std::function<QCoro::Task<>()>& operation,
                 const QString& doneText = {});

// Sends what `send` sends over the device socket and waits for the cloud's answer, a push or
// an error: 0 for a push, else the failure reported.
int awaitAnswer(TavoStore& store, const std::function<void()>& send);

// Opens the device socket (only commands that need it do) and waits for its welcome, which
// carries the list. A socket refused for its TLS is not waited for: retrying won't mend it.
bool connected(TavoStore& store);
QString unreachable(const TavoStore& store);

// The account's boxes as the cloud lists them now.
Result<DeviceList> fetchDevices(TavoStore& store);
// BOX as an id, else as a unique name, among `devices`; a failure is reported.
std::optional<Device> findBox(const QList<Device>& devices, const QString& box);
// BOX among the boxes the cloud lists now.
std::optional<Device> fetchBox(TavoStore& store, const QString& box);
// CH as a relay of `d`; a failure is reported.
std::optional<int> relayArgument(const Device& d, const QString& ch);

QString lastError(const TavoStore& store, const QString& fallback);
QString deviceLine(const Device& d);
QString compact(const QJsonObject& o);

// A listing as one JSON document, the records written as the cloud writes them.
template <class T> int printJson(const QList<T>& rows) {
    out << QString::fromUtf8(QJsonDocument(json::Codec<QList<T>>::encode(rows).toArray()).toJson());
    return 0;
}
int printJson(const QJsonArray& rows);

} // namespace ctl
} // namespace tavo
