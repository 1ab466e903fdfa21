// tavoctl as a user runs it, against the development cloud: each command's words and exit
// status, and nothing else on stderr (no Qt warnings).

#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/SessionDaemons.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

using namespace tavo;

class TavoctlTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    QTemporaryDir home;
    const QString demo = "+919876543210";

    QProcessEnvironment env() const { return cloud.clientEnv(home.path()); }
    // The demo account signed in, as `tavoctl login` leaves it; `token` instead of a real one.
    void signIn(const QString& token = {}) { cloud.writeSession(home.path(), demo, token); }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void cleanupTestCase() { test::stopSpawnedUnder(home.path()); }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
        signIn();
    }

    // What a command prints and how it exits (the whole of stdout and stderr), for commands
    // that report success or failure.
    void commands_data() { TAVO_JSON_ROWS("tavoctl-commands.json"); }
    void commands() {
        QFETCH(QJsonObject, row);
        const QStringList args = row["args"].toVariant().toStringList();
        const test::Run run = test::runProgram(TAVOCTL_PATH, args, env());
        QCOMPARE(run.err, row["err"].toString());
        QCOMPARE(run.out, row["out"].toString());
        QCOMPARE(run.code, row["code"].toInt());
        if (args.first() == "rename") { // what was sent, not what our cloud made of it
            QStringList names;
            for (const QJsonObject& body : cloud.requestBodies("/v1/device/2/name"))
                names << body.value("name").toString();
            QCOMPARE(names, run.code == 0 ? QStringList{"Den"} : QStringList());
        }
    }

    // Help, the version and a mistyped command: answered with no session, no cloud and no
    // display; usage on stdout when asked for, on stderr with status 2 when not. A command that
    // needs a session says so before it tries the cloud. "out" and "err" are patterns; an empty
    // "err" is none.
    void conventions_data() { TAVO_JSON_ROWS("tavoctl-conventions.json"); }
    void conventions() {
        QFETCH(QJsonObject, row);
        const QString out = row["out"].toString(), err = row["err"].toString();
        QProcessEnvironment e = env();
        e.insert("XDG_CONFIG_HOME", home.filePath("nobody")); // no session
        e.insert("TAVO_CLOUD_HOST", "127.0.0.1:9");           // no cloud
        e.remove("DISPLAY");
        e.remove("WAYLAND_DISPLAY");
        e.insert("QT_QPA_PLATFORM", "xcb"); // a display opened would abort
        const test::Run run = test::runProgram(row["program"] == "tavo" ? TAVO_APP_PATH : TAVOCTL_PATH,
                                               row["args"].toVariant().toStringList(), e);
        QVERIFY2(QRegularExpression(out).match(run.out).hasMatch(), qPrintable(run.out));
        QVERIFY2(err.isEmpty() ? run.err.isEmpty() : QRegularExpression(err).match(run.err).hasMatch(),
                 qPrintable(run.err));
        QCOMPARE(run.code, row["code"].toInt());
    }

    // Every listing as one JSON document of the cloud's records, for scripts; "key" is in the
    // first record.
    void listingsAsJson_data() { TAVO_JSON_ROWS("tavoctl-listings.json"); }
    void listingsAsJson() {
        QFETCH(QJsonObject, row);
        const QString key = row["key"].toString();
        const test::Run run = test::runProgram(TAVOCTL_PATH, row["args"].toVariant().toStringList(), env());
        QCOMPARE(run.err, QString());
        QCOMPARE(run.code, 0);
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8());
        QVERIFY2(doc.isArray() && !doc.array().isEmpty(), qPrintable(run.out));
        QVERIFY2(doc.array().first().toObject().contains(key), qPrintable(run.out));
    }

    // One chat turn in a pipe, on a machine with no sound server: an error record said once,
    // and a spoken relay reply that ends the command soon (not after the 60 s speech cap).
    // "script": the next reply, empty for the assistant's own.
    void chat_data() { TAVO_JSON_ROWS("tavoctl-chats.json"); }
    void chat() {
        QFETCH(QJsonObject, row);
        const QJsonObject script = row["script"].toObject();
        const QString words = row["words"].toString();
        if (!script.isEmpty()) cloud.post("/dev/chat/next", script);
        const test::Run run = test::runProgram(TAVOCTL_PATH, {"chat", words}, env(), 20'000);
        QCOMPARE(run.err, row["err"].toString());
        QCOMPARE(run.out, row["out"].toString());
        QCOMPARE(run.code, row["code"].toInt());
    }

    // On a terminal the same turn shows its caption while the assistant works.
    void chatOnATerminal() {
        const QString command = QStringLiteral("'%1' chat 'turn on the fan'").arg(TAVOCTL_PATH);
        const test::Run run = test::runProgram("script", {"-qec", command, "/dev/null"}, env(), 20'000);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains("Toggling relay…\r\nTurned on Fan in Living Room."), qPrintable(run.out));
    }

    // A token the cloud no longer knows ends the session, found out by a request or by the
    // device socket, with one line saying what to do.
    void sessionExpired_data() { TAVO_JSON_ROWS("tavoctl-expired.json"); }
    void sessionExpired() {
        QFETCH(QJsonObject, row);
        signIn("revoked");
        const test::Run run =
            test::runProgram(TAVOCTL_PATH, row["args"].toVariant().toStringList(), env(), 20'000);
        QCOMPARE(run.err, QString("Session expired. Run: tavoctl login PHONE\n"));
        QCOMPARE(run.code, 1);
        const test::Run after = test::runProgram(TAVOCTL_PATH, {"devices"}, env());
        QCOMPARE(after.err, QString("tavoctl: Not signed in. Run: tavoctl login PHONE\n"));
    }

    // `watch` takes hostile records in its stride, stays responsive and ends at SIGTERM.
    void watchSurvivesAHugeRelayCount() {
        QProcess watch;
        watch.setProcessEnvironment(env());
        watch.start(TAVOCTL_PATH, {"watch", "--json"});
        QTRY_VERIFY_WITH_TIMEOUT(cloud.get("/dev/sockets").value("total").toInt() == 1, 10'000);
        const QJsonObject huge{{"type", "device_added"},
                               {"device", QJsonObject{{"id", 99},
                                                      {"mac", "m"},
                                                      {"name", "Huge"},
                                                      {"relay_count", 2147483647},
                                                      {"relay_names", QJsonObject()},
                                                      {"acl_mask", -1},
                                                      {"role", "owner"},
                                                      {"online", true}}}};
        cloud.post("/dev/push",
                   {{"phone", demo}, {"frame", QString::fromUtf8(QJsonDocument(huge).toJson())}});
        cloud.post("/dev/push", {{"phone", demo}, {"frame", R"({"type":"error","error":"still here"})"}});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += watch.readAllStandardOutput()).contains("still here"), 10'000);
        QVERIFY(!out.contains("Huge"));
        ::kill(pid_t(watch.processId()), SIGTERM);
        QVERIFY(watch.waitForFinished(5000));
        QCOMPARE(watch.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(watch.readAllStandardError()), QString());
    }
};

QTEST_GUILESS_MAIN(TavoctlTest)
#include "tst_tavoctl.moc"
