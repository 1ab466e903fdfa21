#pragma once

#include "chat/ChatMessage.h"
#include "chat/ChatThread.h"
#include "cloud/Api.h"
#include "cloud/CloudConfig.h"
#include "cloud/SocketMessage.h"
#include "core/Screen.h"
#include "devices/Activity.h"
#include "devices/Device.h"
#include "devices/DeviceNotice.h"
#include "devices/Member.h"
#include "music/MusicTrack.h"
#include "platform/Clock.h"
#include "platform/Keychain.h"
#include "setup/ProvisionStep.h"
#include "setup/TavoBoxProbe.h"
#include "skills/Skill.h"
#include "skills/SkillsAuth.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <list>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

class QWebSocket;

namespace tavo {

class ChatSpeaker;
class MusicPlayer;
class Preferences;
class SocketInbox;

// What the store is built from; main() wires the real ones, tests their own.
struct StoreServices {
    QNetworkAccessManager* network = nullptr;
    Preferences* preferences = nullptr;
    Clock* clock = nullptr;
    CloudConfig config = CloudConfig::fromBuild();
    // All four required: main builds each once (none is expensive before its first use).
    ChatSpeaker* speaker = nullptr;
    MusicPlayer* music = nullptr;
    SkillsAuth* skillsAuth = nullptr;
    Keychain* keychain = nullptr;
    TavoBoxProbe::Network boxNetwork =
        TavoBoxProbe::Network::fromEnvironment(); // where the hotspot probe looks
    // A restored session opens the device socket at once (the window); tavoctl opens it only
    // for the commands that need it.
    bool connectOnRestore = true;
};

// The one observable application state object. Screens and the tray read its properties and
// call its operations; only the store talks to the network. Main thread only.
//
// Operations live in the folder of their subsystem (devices/RelayControl.cpp defines
// setRelay, and so on); this file and TavoStore.cpp hold the fields, persistence, toasts and
// sign-out.
class TavoStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(tavo::Screen screen READ screen WRITE setScreen NOTIFY screenChanged)
    Q_PROPERTY(tavo::Screen::Kind screenKind READ screenKind NOTIFY screenChanged)
    Q_PROPERTY(QString screenName READ screenName NOTIFY screenChanged)
    Q_PROPERTY(QString phone READ phone WRITE setPhone NOTIFY phoneChanged)
    Q_PROPERTY(QString sessionToken READ sessionToken NOTIFY sessionTokenChanged)
    Q_PROPERTY(qint64 userID READ userID NOTIFY userIDChanged)
    Q_PROPERTY(QList<tavo::Device> devices READ devices NOTIFY devicesChanged)
    Q_PROPERTY(bool chatBusy READ chatBusy NOTIFY chatBusyChanged)
    Q_PROPERTY(bool chatTyping READ chatTyping NOTIFY chatTypingChanged)
    Q_PROPERTY(bool skillsLoading READ skillsLoading NOTIFY skillsLoadingChanged)
    Q_PROPERTY(QVariantList skillRows READ skillRows NOTIFY skillsChanged)
    Q_PROPERTY(bool musicPlaying READ musicPlaying NOTIFY musicPlayingChanged)
    Q_PROPERTY(qint64 currentThreadID READ currentThreadID NOTIFY currentThreadIDChanged)
    Q_PROPERTY(bool chatThreadsLoading READ chatThreadsLoading NOTIFY chatThreadsLoadingChanged)
    Q_PROPERTY(bool hasToast READ hasToast NOTIFY toastChanged)
    Q_PROPERTY(QString toast READ toastText NOTIFY toastChanged)
    Q_PROPERTY(bool toastIsError READ toastIsError NOTIFY toastIsErrorChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString provHomeSSID READ provHomeSSID WRITE setProvHomeSSID NOTIFY provHomeSSIDChanged)
    Q_PROPERTY(QString provHomePass READ provHomePass WRITE setProvHomePass NOTIFY provHomePassChanged)
    Q_PROPERTY(QString provKind READ provKind NOTIFY provChanged)
    Q_PROPERTY(QString provCode READ provCode NOTIFY provChanged)
    Q_PROPERTY(QString provHeadline READ provHeadline NOTIFY provChanged)
    Q_PROPERTY(QString provPairCode READ provPairCode NOTIFY provPairCodeChanged)
    Q_PROPERTY(tavo::TavoStore::ConnStatus conn READ conn NOTIFY connChanged)
    Q_PROPERTY(
        QString pendingInviteShareLink READ pendingInviteShareLinkText NOTIFY pendingInviteShareLinkChanged)
    Q_PROPERTY(tavo::SkillsAuth* skillsAuth READ skillsAuthObject CONSTANT)

public:
    enum class ConnStatus { Offline, Connecting, Connected };
    Q_ENUM(ConnStatus)

    // Restores the persisted session (see TavoStore.cpp).
    explicit TavoStore(StoreServices services, QObject* parent = nullptr);
    ~TavoStore() override;

    // Fields, in the order of the state table.
    Screen screen() const { return m_screen; }
    Screen::Kind screenKind() const { return m_screen.kind; }
    QString screenName() const { return m_screen.name(); }
    void setScreen(Screen s) { assign(m_screen, s, &TavoStore::screenChanged); }
    Q_INVOKABLE void showAuth() { setScreen(Screen::auth()); }
    Q_INVOKABLE void showHome() { setScreen(Screen::home()); }
    Q_INVOKABLE void showAdd() { setScreen(Screen::add()); }
    QString phone() const { return m_phone; }
    void setPhone(const QString& p) { assign(m_phone, p, &TavoStore::phoneChanged); }
    QString sessionToken() const { return m_sessionToken; }
    qint64 userID() const { return m_userID; }
    const QList<Device>& devices() const { return m_devices; }
    const QList<Member>& members() const { return m_members; }
    const QList<ChatMessage>& chatMessages() const { return m_chatMessages; }
    bool chatBusy() const { return m_chatBusy; }
    bool chatTyping() const { return m_chatTyping; }
    const std::optional<QString>& chatLiveStatus() const { return m_chatLiveStatus; }
    const QList<Skill>& skills() const { return m_skills; }
    bool skillsLoading() const { return m_skillsLoading; }
    QVariantList skillRows() const; // `skills` for the screens: id, name, description, provider, connected
    const std::optional<TavoMusicTrack>& music() const { return m_music; }
    bool musicPlaying() const { return m_musicPlaying; }
    qint64 currentThreadID() const { return m_currentThreadID; }
    const QList<ChatThreadRow>& chatThreads() const { return m_chatThreads; }
    bool chatThreadsLoading() const { return m_chatThreadsLoading; }
    const std::optional<QString>& toast() const { return m_toast; }
    bool hasToast() const { return m_toast.has_value(); }
    QString toastText() const { return m_toast.value_or(QString()); }
    bool toastIsError() const { return m_toastIsError; }
    bool busy() const { return m_busy; }
    const ProvisionStep& prov() const { return m_prov; }
    QString provKind() const { return m_prov.name(); }
    QString provCode() const { return m_prov.code; }
    QString provHeadline() const { return m_prov.headline(); }
    QString provHomeSSID() const { return m_provHomeSSID; }
    void setProvHomeSSID(const QString& s) { assign(m_provHomeSSID, s, &TavoStore::provHomeSSIDChanged); }
    QString provHomePass() const { return m_provHomePass; }
    void setProvHomePass(const QString& s) { assign(m_provHomePass, s, &TavoStore::provHomePassChanged); }
    // The pair code a box reported whose claim has not gone through yet ("" when none).
    QString provPairCode() const;
    ConnStatus conn() const { return m_conn; }
    const std::optional<QString>& pendingInviteShareLink() const { return m_pendingInviteShareLink; }
    QString pendingInviteShareLinkText() const { return m_pendingInviteShareLink.value_or(QString()); }

    // Session
    void persistSession();
    Q_INVOKABLE void signOut();
    // The cloud refused `token` (HTTP 401, or the device socket closed as unauthorized). When it
    // is the session's token, the session is over: sign-out, the sign-in screen, a toast saying
    // why, and sessionExpired(). False for a token that is no longer the session's.
    bool endRefusedSession(const QString& token);
    Q_INVOKABLE void showToast(const QString& text, bool error);

    // Sign-in (core/SignIn.cpp)
    Q_INVOKABLE void sendOTP();
    Q_INVOKABLE void verifyOTP(const QString& code);

    // Device socket (cloud/CloudSocket.cpp, cloud/SocketMessages.cpp)
    void connectWS();
    void teardownWSTask();
    Q_INVOKABLE void reconnectIfStale();
    void wsSend(const QJsonObject& message);
    void handleWS(const QJsonObject& message) { handleWS(SocketMessage::of(message)); }
    void handleWS(const SocketMessage& message);
    void noticeSwitches(const Device& before, const Device& after); // someone else's relay switches
    bool readerRunning() const { return m_wsTask.has_value(); }
    // Why the last device socket could not be opened securely (the cloud's certificate was
    // refused, or no TLS answered); "" for any other end. Trying again every 3 s won't mend it.
    QString socketTlsError() const { return m_socketTlsError; }

    // Devices and relays (devices/RelayControl.cpp)
    QCoro::Task<> refetchDevices();
    Q_INVOKABLE void setRelay(qint64 deviceID, int ch, bool on);
    Q_INVOKABLE void allRelays(qint64 deviceID, bool on);
    // The home screen on this box, when signed in.
    void revealDevice(qint64 deviceID);

    // Device management (devices/DeviceManagement.cpp)
    Q_INVOKABLE void renameDevice(qint64 deviceID, const QString& name);
    void renameRelays(qint64 deviceID, const QMap<QString, QString>& names);
    Q_INVOKABLE void forgetDevice(qint64 deviceID);
    Q_INVOKABLE void leaveDevice(qint64 deviceID);

    // Members and invites (devices/Sharing.cpp)
    Q_INVOKABLE void loadMembers(qint64 deviceID);
    Q_INVOKABLE void invite(qint64 deviceID, const QString& phone, const QString& relaysCSV);
    // The members screen's form: the selected relay chips of a box with `total` relays.
    Q_INVOKABLE void inviteWithChips(qint64 deviceID, const QString& phone, const QList<int>& selected,
                                     int total);
    Q_INVOKABLE void removeMember(qint64 deviceID, qint64 userID);

    // Activity (devices/Activity.cpp). Never fail: a failure is a toast and an empty list.
    static constexpr int activitySheetLimit = 100;
    static constexpr int historyLimitPerBox = 50;
    QCoro::Task<QList<ActivityEntry>> fetchActivityLog(qint64 deviceID, int limit);
    QCoro::Task<QList<HistoryItem>> fetchHistory(); // box after box, then latest first

    // Skills (skills/Skills.cpp)
    Q_INVOKABLE void loadSkills();
    Q_INVOKABLE void connectSwiggy();
    Q_INVOKABLE void disconnectSkill(const QString& id);

    // Box set-up (setup/Provisioning.cpp)
    Q_INVOKABLE void beginProvision();
    Q_INVOKABLE void scanForBox();
    Q_INVOKABLE void provisionSubmit();
    Q_INVOKABLE void claim(const QString& pairCode);
    // The manual pair card's claim: the set-up steps end, unless a claim of the code the box
    // reported failed (its card stays, code and all).
    Q_INVOKABLE void manualClaim(const QString& pairCode);
    // The add-box screen's own moves: "Pair code", after its manual claim, and "Cancel".
    Q_INVOKABLE void showManualPair() { setProv(ProvisionStep::of(ProvisionStep::Kind::ManualPair)); }
    Q_INVOKABLE void endProvision() { setProv({}); }
    Q_INVOKABLE void cancelProvision() {
        setProv({});
        showHome();
    }
    SkillsAuth& skillsAuth() const;
    SkillsAuth* skillsAuthObject() const { return &skillsAuth(); }

    // Chat (chat/ChatStream.cpp, chat/ChatStatus.cpp)
    Q_INVOKABLE void sendChat(const QString& text, const QString& context = {});
    QString chatStatusCaption() const;
    Q_INVOKABLE void toggleMusic();
    Q_INVOKABLE void stopMusic(); // the stop sequence, then no `music`

    // Saved conversations (chat/ChatThreads.cpp)
    Q_INVOKABLE void loadChatThreads();
    Q_INVOKABLE void openChatThread(qint64 id);
    Q_INVOKABLE void newChatThread();
    Q_INVOKABLE void deleteChatThread(qint64 id);
    // The window's start: the restored thread is opened with its history, or, when it can't
    // be, a new conversation begins. A thread the user cannot see is never continued.
    Q_INVOKABLE void resumeChatThread();

    // Awaitable forms of the operations above, for callers that wait for the end (the
    // command-line client, tests). The screens call the plain ones.
    QCoro::Task<> doRenameDevice(qint64 deviceID, QString name);
    QCoro::Task<> doForgetDevice(qint64 deviceID);
    QCoro::Task<> doLeaveDevice(qint64 deviceID);
    QCoro::Task<> doLoadMembers(qint64 deviceID);
    QCoro::Task<> doInvite(qint64 deviceID, QString phone, std::optional<qint64> mask); // nullopt: no relay
    QCoro::Task<> doRemoveMember(qint64 deviceID, qint64 userID);
    QCoro::Task<> doLoadSkills();
    QCoro::Task<> doConnectSwiggy();
    QCoro::Task<> doDisconnectSkill(QString id);
    QCoro::Task<> doBeginProvision();
    QCoro::Task<> doScanForBox();
    QCoro::Task<> doProvisionSubmit();
    QCoro::Task<> doClaim(QString pairCode);
    QCoro::Task<> doManualClaim(QString pairCode);

    const StoreServices& services() const { return m_services; }
    // A request with the current token; see API. A 401 to it ends the session.
    API api() const;
    // The same without that rule, for the sign-in requests, where 401 means a wrong code.
    API signInApi() const;

signals:
    void screenChanged();
    void phoneChanged();
    void sessionTokenChanged();
    void userIDChanged();
    void devicesChanged();
    void membersChanged();
    void chatMessagesChanged();
    void chatBusyChanged();
    void chatTypingChanged();
    void chatLiveStatusChanged();
    void skillsChanged();
    void skillsLoadingChanged();
    void skillTaskFinished(const QString& id); // a connect or disconnect the screens started is over
    void musicChanged();
    void musicPlayingChanged();
    void currentThreadIDChanged();
    void chatThreadsChanged();
    void chatThreadsLoadingChanged();
    void toastChanged();
    void toastIsErrorChanged();
    void busyChanged();
    void provChanged();
    void provHomeSSIDChanged();
    void provHomePassChanged();
    void provPairCodeChanged();
    void connChanged();
    void pendingInviteShareLinkChanged();
    void sessionExpired();
    void chatTurnEnded(); // a streamed turn is over, whether or not its conversation is still shown
    // A box changed without this client asking: presence, access, or a relay someone else switched.
    void deviceNotice(const tavo::DeviceNotice& notice);
    // Bring this box before the user (a desktop notification was clicked). The id as text, as
    // the screens' device model has it: QML numbers lose 64-bit ids.
    void deviceRevealRequested(const QString& idText);

protected:
    template <class T> void assign(T& field, const T& value, void (TavoStore::*changed)()) {
        if (field == value) return;
        field = value;
        emit(this->*changed)();
    }

    void setSessionToken(const QString& t) { assign(m_sessionToken, t, &TavoStore::sessionTokenChanged); }
    void setUserID(qint64 id) { assign(m_userID, id, &TavoStore::userIDChanged); }
    void setDevices(const QList<Device>& d) { assign(m_devices, d, &TavoStore::devicesChanged); }
    void setChatMessages(const QList<ChatMessage>& m) {
        assign(m_chatMessages, m, &TavoStore::chatMessagesChanged);
    }
    void setCurrentThreadID(qint64 id) { assign(m_currentThreadID, id, &TavoStore::currentThreadIDChanged); }
    void setToast(const std::optional<QString>& t) { assign(m_toast, t, &TavoStore::toastChanged); }
    void setToastIsError(bool e) { assign(m_toastIsError, e, &TavoStore::toastIsErrorChanged); }
    void setBusy(bool b) { assign(m_busy, b, &TavoStore::busyChanged); }
    void setProv(const ProvisionStep& step) { assign(m_prov, step, &TavoStore::provChanged); }
    Keychain& keychain() { return *m_services.keychain; }
    // The clock's sleep for the store's own tasks: true once `duration` has passed, false when
    // the store is being destroyed (the task then ends without touching the store). Await it
    // into a variable: GCC 12 miscompiles a task co_awaited inside an if condition.
    QCoro::Task<bool> sleepWhileAlive(std::chrono::milliseconds duration);
    QCoro::Task<> pollForPairCode(QUrl base);
    QCoro::Task<> autoClaim(QString code);
    // Claim, "Box added", then the fresh device list; the failure for the caller to show.
    QCoro::Task<std::optional<Failure>> claimAndRefresh(QString code);
    QCoro::Task<bool> claimTyped(QString pairCode); // true once claimed for this account
    QCoro::Task<> loadSavedWifi();
    QCoro::Task<> saveWifi(QString ssid, QString password);
    void setProvPairCode(const QString& code);
    void retryOnNetworkChange();
    void networkChanged(); // claims provPairCode() again while its card is up
    void retryPairCode();
    void setConn(ConnStatus c) { assign(m_conn, c, &TavoStore::connChanged); }
    void setChatBusy(bool b) { assign(m_chatBusy, b, &TavoStore::chatBusyChanged); }
    void setChatTyping(bool b) { assign(m_chatTyping, b, &TavoStore::chatTypingChanged); }
    void setChatLiveStatus(const std::optional<QString>& s) {
        assign(m_chatLiveStatus, s, &TavoStore::chatLiveStatusChanged);
    }
    void setMusic(const std::optional<TavoMusicTrack>& t) { assign(m_music, t, &TavoStore::musicChanged); }
    void setMusicPlaying(bool p) { assign(m_musicPlaying, p, &TavoStore::musicPlayingChanged); }
    void setChatThreads(const QList<ChatThreadRow>& t) {
        assign(m_chatThreads, t, &TavoStore::chatThreadsChanged);
    }
    void setChatThreadsLoading(bool b) {
        assign(m_chatThreadsLoading, b, &TavoStore::chatThreadsLoadingChanged);
    }

private:
    void restoreSession();
    void forgetAccountData();
    QCoro::Task<> expireToast(QString text);
    QCoro::Task<> doSendOTP();
    QCoro::Task<> doVerifyOTP(QString code);
    QCoro::Task<> readWSLoop(QPointer<SocketInbox> inbox, CancelToken cancel, QString token);
    Device* findDevice(qint64 id);

    // Working state of one streamed reply. It writes only while the conversation it began in
    // is still the one shown: after New or Open its late records touch nothing on screen.
    struct ChatTurn {
        quint64 conversation = 0; // m_conversation when the turn began
        QString replyText;
        qsizetype bubbleIndex = 0;
        bool bubblePending = true;
        bool relayTouched = false;
        bool failed = false; // an "error" record answered: no "Done." after it
    };
    QCoro::Task<> doRemoveDevice(qint64 deviceID, QString path, QString doneText);
    QCoro::Task<> reportSkillTask(QCoro::Task<> task, QString id);
    QCoro::Task<std::optional<QList<Skill>>> reloadSkills(); // the list, or nothing when it failed
    QCoro::Task<> doSendChat(QString text, QString context);
    QCoro::Task<std::optional<Failure>> streamChat(ChatTurn& turn, QString message, QJsonArray history,
                                                   QString context);
    bool shows(const ChatTurn& turn) const { return turn.conversation == m_conversation; }
    void endChatTurnShown(); // busy, typing dots and caption off
    // Puts `messages` of thread `threadID` (0: none yet) on screen as a new conversation; a
    // turn still streaming into the one before is detached from it.
    void showConversation(const QList<ChatMessage>& messages, qint64 threadID);
    QByteArray chatRequestBody(const QString& message, const QJsonArray& history,
                               const QString& context) const;
    void flushRecord(ChatTurn& turn, const QString& data);
    void appendChatMessage(const ChatMessage& m);
    void replaceChatMessage(qsizetype index, const ChatMessage& m);
    ChatSpeaker& speaker() const;
    MusicPlayer& musicPlayer() const;
    QCoro::Task<> doLoadChatThreads();
    QCoro::Task<bool> doOpenChatThread(qint64 id, bool resuming); // true once it is shown
    QCoro::Task<> doDeleteChatThread(qint64 id);

    StoreServices m_services;

    Screen m_screen = Screen::auth();
    QString m_phone;
    QString m_sessionToken;
    qint64 m_userID = 0;
    QList<Device> m_devices;
    QList<Member> m_members;
    QList<ChatMessage> m_chatMessages;
    bool m_chatBusy = false;
    bool m_chatTyping = false;
    std::optional<QString> m_chatLiveStatus;
    QList<Skill> m_skills;
    bool m_skillsLoading = false;
    int m_skillsLoads = 0; // list requests out
    std::optional<TavoMusicTrack> m_music;
    bool m_musicPlaying = false;
    qint64 m_currentThreadID = 0;
    quint64 m_conversation = 0; // counts the conversations shown; see ChatTurn
    QList<ChatThreadRow> m_chatThreads;
    bool m_chatThreadsLoading = false;
    std::optional<QString> m_toast;
    bool m_toastIsError = false;
    bool m_busy = false;
    ProvisionStep m_prov;
    QString m_provHomeSSID;
    QString m_provHomePass;
    quint64 m_provSearch = 0;                    // the latest scanForBox
    quint64 m_provWifiLoad = 0;                  // the latest read of the saved WiFi
    QString m_provPairCode, m_provPairCodeToken; // and the session it was read in
    ConnStatus m_conn = ConnStatus::Offline;
    QPointer<QWebSocket> m_ws;
    std::optional<CancelToken> m_wsTask;
    QString m_socketTlsError;
    QStringList m_pendingSends; // frames sent while the socket is still opening
    std::optional<QString> m_pendingInviteShareLink;
    QList<qint64> m_removingDevices; // forget or leave in flight: their push is no lost access
    QList<qint64> m_switching;       // a set or all sent: the next state push answers it
    // One token per running sleepWhileAlive(). The destructor cancels them: a fire-and-forget
    // task suspended in the clock would otherwise never resume, and its frame never be freed.
    std::list<CancelToken> m_sleeps;
};

} // namespace tavo
