// tavoctl as a user runs it, against the development cloud: each command's words and exit
// status, and nothing else on stderr (no Qt warnings).

#include "platform/Preferences.h"
#include "platform/linux/SettingsPreferences.h"
#include "support/ChildProcess.h"
#include "support/DevCloud.h"

#include <QJsonArray>
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

    QProcessEnvironment env() const {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("XDG_CONFIG_HOME", home.filePath("config"));
        e.insert("XDG_RUNTIME_DIR", home.filePath("run"));
        e.insert("TAVO_CLOUD_HOST", cloud.host());
        e.insert("TAVO_CLOUD_TLS", "0");
        e.remove("DBUS_SESSION_BUS_ADDRESS");
        return e;
    }
    // The demo account signed in, as `tavoctl login` leaves it; `token` instead of a real one.
    void signIn(const QString& token = {}) {
        const QJsonObject session = cloud.signIn(demo);
        SettingsPreferences prefs(home.filePath("config/Tavo/Tavo.json"));
        prefs.setValue(PrefKey::session, token.isEmpty() ? session.value("session_token").toString() : token);
        prefs.setValue(PrefKey::phone, demo);
        prefs.setValue(PrefKey::userID, session.value("user_id").toInteger());
        prefs.remove(PrefKey::threadID); // the cloud was reset: no thread of an earlier test
    }

private slots:
    void initTestCase() {
        QVERIFY(cloud.start());
        QVERIFY(QDir().mkpath(home.filePath("run")));
        QFile::setPermissions(home.filePath("run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
        signIn();
    }

    // What a command prints and how it exits, for commands that report success or failure.
    void commands_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // the whole of stdout
        QTest::addColumn<QString>("err"); // the whole of stderr
        // The cloud's device_removed push comes before its reply: still a success, no "Access removed".
        QTest::newRow("forget") << QStringList{"forget", "Study"} << 0 << "Box removed\n" << "";
        QTest::newRow("leave") << QStringList{"leave", "3"} << 0 << "Left box\n" << "";
        // The window's rename: trimmed, and a blank name refused before anything is sent.
        QTest::newRow("rename trims") << QStringList{"rename", "2", "  Den  "} << 0 << "Renamed to \"Den\"\n" << "";
        QTest::newRow("rename blank") << QStringList{"rename", "2", "   "} << 1 << "" << "tavoctl: Name can't be empty\n";
        QTest::newRow("relay") << QStringList{"relay", "1", "2", "on"} << 0
                               << "1  Living Room  online  1:Fan=on  2:Lamp=on  3:TV=off  4:Heater=off\n" << "";
        QTest::newRow("relay refused: the real state back")
            << QStringList{"relay", "3", "1", "on"} << 1 << "" << "tavoctl: Box is offline\n";
    }

    void commands() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const test::Run run = test::runProgram(TAVOCTL_PATH, args, env());
        QCOMPARE(run.err, err);
        QCOMPARE(run.out, out);
        QCOMPARE(run.code, code);
        if (args.first() == "rename") { // what was sent, not what our cloud made of it
            QStringList names;
            for (const QJsonValue& r : cloud.get("/dev/requests").value("requests").toArray())
                if (r.toObject().value("path") == "/v1/device/2/name")
                    names << QJsonDocument::fromJson(r.toObject().value("body").toString().toUtf8())
                                 .object().value("name").toString();
            QCOMPARE(names, run.code == 0 ? QStringList{"Den"} : QStringList());
        }
    }

    // Help, the version and a mistyped command: answered with no session, no cloud and no
    // display; usage on stdout when asked for, on stderr with status 2 when not.
    void conventions_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out"); // a pattern
        QTest::addColumn<QString>("err");
        const QString all =
            R"(^usage: tavoctl login PHONE \[--code CODE\]\n(       tavoctl .*\n){23}BOX is .*\n$)";
        QTest::newRow("--help") << TAVOCTL_PATH << QStringList{"--help"} << 0 << all << "";
        QTest::newRow("-h") << TAVOCTL_PATH << QStringList{"-h"} << 0 << all << "";
        QTest::newRow("help COMMAND") << TAVOCTL_PATH << QStringList{"help", "relay"} << 0
                                      << R"(^usage: tavoctl relay BOX CH on\|off\|toggle\nBOX is .*\n$)"
                                      << "";
        QTest::newRow("--version") << TAVOCTL_PATH << QStringList{"--version"} << 0
                                   << R"(^tavoctl \d+\.\d+\.\d+\n$)"
                                   << "";
        QTest::newRow("unknown command") << TAVOCTL_PATH << QStringList{"frobnicate"} << 2 << "^$"
                                         << "^usage: tavoctl login";
        QTest::newRow("help for no command") << TAVOCTL_PATH << QStringList{"help", "frobnicate"} << 2 << "^$"
                                             << "^usage: tavoctl login";
        QTest::newRow("tavo --help") << TAVO_APP_PATH << QStringList{"--help"} << 0
                                     << "^usage: tavo \\[tavo:LINK\\]\n"
                                     << "";
        QTest::newRow("tavo --version")
            << TAVO_APP_PATH << QStringList{"--version"} << 0 << R"(^tavo \d+\.\d+\.\d+\n$)"
            << "";
    }
    void conventions() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcessEnvironment e = env();
        e.insert("XDG_CONFIG_HOME", home.filePath("nobody")); // no session
        e.insert("TAVO_CLOUD_HOST", "127.0.0.1:9");           // no cloud
        e.remove("DISPLAY");
        e.remove("WAYLAND_DISPLAY");
        e.insert("QT_QPA_PLATFORM", "xcb"); // a display opened would abort
        const test::Run run = test::runProgram(program, args, e);
        QVERIFY2(QRegularExpression(out).match(run.out).hasMatch(), qPrintable(run.out));
        QVERIFY2(err.isEmpty() ? run.err.isEmpty() : QRegularExpression(err).match(run.err).hasMatch(),
                 qPrintable(run.err));
        QTEST(run.code, "code");
    }

    // Every listing as one JSON document of the cloud's records, for scripts.
    void listingsAsJson_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("key"); // in the first row
        QTest::newRow("devices") << QStringList{"devices", "--json"} << "relay_count";
        QTest::newRow("members") << QStringList{"members", "1", "--json"} << "phone";
        QTest::newRow("logs") << QStringList{"logs", "1", "--json"} << "when";
        QTest::newRow("history") << QStringList{"history", "--json"} << "entry";
        QTest::newRow("skills") << QStringList{"skills", "--json"} << "connected";
    }
    void listingsAsJson() {
        QFETCH(QStringList, args);
        QFETCH(QString, key);
        const test::Run run = test::runProgram(TAVOCTL_PATH, args, env());
        QCOMPARE(run.err, QString());
        QCOMPARE(run.code, 0);
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8());
        QVERIFY2(doc.isArray() && !doc.array().isEmpty(), qPrintable(run.out));
        QVERIFY2(doc.array().first().toObject().contains(key), qPrintable(run.out));
    }

    // One chat turn in a pipe, on a machine with no sound server: an error record said once,
    // and a spoken relay reply that ends the command soon (not after the 60 s speech cap).
    void chat_data() {
        QTest::addColumn<QJsonObject>("script"); // the next reply; empty: the assistant's own
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("an error record") << QJsonObject{{"error", "Quota used up"}} << "hi" << 1 << "\n"
                                         << "error: Quota used up\n";
        QTest::newRow("a spoken reply with no sound server")
            << QJsonObject() << "turn on the fan" << 0 << "Turned on Fan in Living Room.\n"
            << "Toggling relay…\n";
    }
    void chat() {
        QFETCH(QJsonObject, script);
        QFETCH(QString, words);
        if (!script.isEmpty()) cloud.post("/dev/chat/next", script);
        const test::Run run = test::runProgram(TAVOCTL_PATH, {"chat", words}, env(), 20'000);
        QTEST(run.err, "err");
        QTEST(run.out, "out");
        QTEST(run.code, "code");
    }

    // A token the cloud no longer knows ends the session, found out by a request or by the
    // device socket, with one line saying what to do.
    void sessionExpired_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("request") << QStringList{"devices"};
        QTest::newRow("socket") << QStringList{"watch"};
        QTest::newRow("operation") << QStringList{"members", "1"};
    }

    void sessionExpired() {
        QFETCH(QStringList, args);
        signIn("revoked");
        const test::Run run = test::runProgram(TAVOCTL_PATH, args, env(), 20'000);
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
                               {"device", QJsonObject{{"id", 99}, {"mac", "m"}, {"name", "Huge"}, {"relay_count", 2147483647},
                                                      {"relay_names", QJsonObject()}, {"acl_mask", -1}, {"role", "owner"},
                                                      {"online", true}}}};
        cloud.post("/dev/push", {{"phone", demo}, {"frame", QString::fromUtf8(QJsonDocument(huge).toJson())}});
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
