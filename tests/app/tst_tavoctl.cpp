// tavoctl as a user runs it, against the development cloud: each command's words and exit
// status, and nothing else on stderr (no Qt warnings). And a settings file that is damaged or
// cannot be written: tavoctl and the window app still start, with an empty session, and a
// sign-in that cannot be kept says so instead of reporting success.

#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/SessionDaemons.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavo;

namespace {

int mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class TavoctlTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo", "--otp-code", "123456"}};
    QTemporaryDir home;
    const QString demo = "+919876543210";

    QProcessEnvironment env() const { return cloud.clientEnv(home.path()); }
    // The demo account signed in, as `tavoctl login` leaves it; `token` instead of a real one.
    void signIn(const QString& token = {}) { cloud.writeSession(home.path(), demo, token); }

    // The program as a user starts it, with config and runtime folders under `folder` and no
    // desktop (no tray, no keyring).
    test::Run runIn(const QString& folder, const QString& program, const QStringList& args,
                    const QMap<QString, QString>& extra = {}) {
        QProcessEnvironment e = cloud.clientEnv(folder);
        e.insert("QT_QPA_PLATFORM", "offscreen");
        e.insert("QT_QUICK_BACKEND", "software");
        for (auto it = extra.begin(); it != extra.end(); ++it)
            e.insert(it.key(), it.value());
        return test::runProgram(program, args, e);
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void cleanupTestCase() { test::stopSpawnedUnder(home.path()); }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
        signIn();
    }

    // What a command prints and how it exits (the whole of stderr, and of stdout unless "out"
    // is absent). "script": the assistant's next reply; "session": the token it runs with
    // ("revoked" is one the cloud no longer knows: the session ends, with one line saying what
    // to do); "key": stdout is one JSON document of the cloud's records, for scripts, with "key"
    // in the first. A chat turn runs in a pipe, on a machine with no sound server: a spoken
    // relay reply ends the command soon, not after the 60 s speech cap.
    void commands_data() { TAVO_JSON_ROWS("tavoctl-commands.json"); }
    void commands() {
        QFETCH(QJsonObject, row);
        const QStringList args = row["args"].toVariant().toStringList();
        if (row.contains("script")) cloud.post("/dev/chat/next", row["script"].toObject());
        if (row.contains("session")) signIn(row["session"].toString());
        const test::Run run = test::runProgram(TAVOCTL_PATH, args, env(), 20'000);
        QCOMPARE(run.err, row["err"].toString());
        if (row.contains("key")) {
            const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8());
            QVERIFY2(doc.isArray() && !doc.array().isEmpty(), qPrintable(run.out));
            QVERIFY2(doc.array().first().toObject().contains(row["key"].toString()), qPrintable(run.out));
        } else if (row.contains("out")) {
            QCOMPARE(run.out, row["out"].toString());
        }
        QCOMPARE(run.code, row["code"].toInt());
        if (args.first() == "rename") { // what was sent, not what our cloud made of it
            QStringList names;
            for (const QJsonObject& body : cloud.requestBodies("/v1/device/2/name"))
                names << body.value("name").toString();
            QCOMPARE(names, run.code == 0 ? QStringList{"Den"} : QStringList());
        }
        if (row.contains("session")) {
            const test::Run after = test::runProgram(TAVOCTL_PATH, {"devices"}, env());
            QCOMPARE(after.err, QString("tavoctl: Not signed in. Run: tavoctl login PHONE\n"));
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

    // On a terminal a chat turn shows its caption while the assistant works.
    void chatOnATerminal() {
        const QString command = QStringLiteral("'%1' chat 'turn on the fan'").arg(TAVOCTL_PATH);
        const test::Run run = test::runProgram("script", {"-qec", command, "/dev/null"}, env(), 20'000);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains("Toggling relay…\r\nTurned on Fan in Living Room."), qPrintable(run.out));
    }

    // `watch` takes hostile records in its stride, stays responsive and ends at SIGTERM.
    void watchSurvivesAHugeRelayCount() {
        QProcess watch;
        watch.setProcessEnvironment(env());
        watch.start(TAVOCTL_PATH, {"watch", "--json"});
        QTRY_VERIFY_WITH_TIMEOUT(cloud.get("/dev/sockets").value("total").toInt() == 1, 10'000);
        const char* huge = R"({"type":"device_added","device":{"id":99,"mac":"m","name":"Huge",
            "relay_count":2147483647,"relay_names":{},"acl_mask":-1,"role":"owner","online":true}})";
        cloud.post("/dev/push", {{"phone", demo}, {"frame", huge}});
        cloud.post("/dev/push", {{"phone", demo}, {"frame", R"({"type":"error","error":"still here"})"}});
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += watch.readAllStandardOutput()).contains("still here"), 10'000);
        QVERIFY(!out.contains("Huge"));
        ::kill(pid_t(watch.processId()), SIGTERM);
        QVERIFY(watch.waitForFinished(5000));
        QCOMPARE(watch.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(watch.readAllStandardError()), QString());
    }

    // A settings file of these "file" contents ("hex" for bytes), or a "setup" of the folder;
    // "writable": whether a sign-in can be kept.
    void damagedOrUnwritable_data() { TAVO_JSON_ROWS("tavoctl-settings-files.json"); }

    void damagedOrUnwritable() {
        QFETCH(QJsonObject, row);
        const QString setup = row["setup"].toString();
        const bool writable = row["writable"].toBool();
        if (setup == "read-only" && geteuid() == 0) QSKIP("root writes into read-only folders");

        ::umask(022); // as on most desktops: new files 0644, folders 0755
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath("config")));
        const QString folder = dir.filePath("config/Tavo");
        const QString file = folder + "/Tavo.json";
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        const QByteArray contents = row.contains("hex")
                                        ? QByteArray::fromHex(row["hex"].toString().toLatin1())
                                        : row["file"].toString().toUtf8();
        if (setup == "folder-is-file") {
            QVERIFY(write(folder, "not a folder"));
        } else {
            QVERIFY(QDir().mkpath(folder));
            if (!contents.isEmpty()) QVERIFY(write(file, contents));
            if (setup == "file-is-folder") QVERIFY(QDir().mkpath(file));
            if (setup == "read-only")
                QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }

        // Start-up: an empty session, told plainly, no crash.
        const test::Run devices = runIn(dir.path(), TAVOCTL_PATH, {"devices"});
        QCOMPARE(devices.code, 1);
        QCOMPARE(devices.err, QString("tavoctl: Not signed in. Run: tavoctl login PHONE\n"));

        // The window app starts on sign-in and quits after its screenshot.
        const QString shot = dir.filePath("shot.png");
        const test::Run app =
            runIn(dir.path(), TAVO_APP_PATH, {}, {{"TAVO_DEVELOPMENT", "screenshot=" + shot + ",delay=300"}});
        QVERIFY2(app.code == 0, qPrintable(app.err));
        QVERIFY(QFile::exists(shot));

        // A sign-in is kept where it can be, and where it cannot the command fails.
        const test::Run login =
            runIn(dir.path(), TAVOCTL_PATH, {"login", "+15550001234", "--code", "123456"});
        const test::Run after = runIn(dir.path(), TAVOCTL_PATH, {"devices"});
        if (writable) {
            QVERIFY2(login.code == 0, qPrintable(login.err));
            QCOMPARE(login.out, QString("Signed in as +15550001234\n"));
            QVERIFY2(after.code == 0, qPrintable(after.err));
            // The file holds the bearer token: the owner's alone, whatever the umask made.
            QCOMPARE(mode(file), 0600);
            QCOMPARE(mode(folder), 0700);
        } else {
            QCOMPARE(login.code, 1);
            QVERIFY2(login.err.contains("couldn't be saved"), qPrintable(login.err));
            QCOMPARE(after.code, 1);
        }
        QFile::setPermissions(folder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
};

QTEST_GUILESS_MAIN(TavoctlTest)
#include "tst_tavoctl.moc"
