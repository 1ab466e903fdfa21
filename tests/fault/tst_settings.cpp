// A settings file that is damaged or cannot be written: the real programs still start, with an
// empty session, and a sign-in that cannot be kept says so instead of reporting success.

#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace tavo;

namespace {

int mode(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--otp-code", "123456"}};

    static test::Run run(const QString& program, const QStringList& args, const QString& home,
                         const QMap<QString, QString>& extra = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("XDG_RUNTIME_DIR", home + "/run");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_QUICK_BACKEND", "software");
        env.remove("DBUS_SESSION_BUS_ADDRESS"); // no desktop: no tray, no keyring
        for (auto it = extra.begin(); it != extra.end(); ++it)
            env.insert(it.key(), it.value());
        return test::runProgram(program, args, env);
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }

    // "writable": whether a sign-in can be kept.
    void damagedOrUnwritable_data() { TAVO_JSON_ROWS("settings-files.json"); }

    void damagedOrUnwritable() {
        QFETCH(QJsonObject, row);
        const QString setup = row["setup"].toString();
        const bool writable = row["writable"].toBool();
        if (setup == "read-only" && geteuid() == 0) QSKIP("root writes into read-only folders");

        ::umask(022); // as on most desktops: new files 0644, folders 0755
        QTemporaryDir home;
        QVERIFY(QDir().mkpath(home.filePath("run")));
        QFile::setPermissions(home.filePath("run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(QDir().mkpath(home.filePath("config")));
        const QString folder = home.filePath("config/Tavo");
        const QString file = folder + "/Tavo.json";
        const auto write = [](const QString& path, const QByteArray& bytes) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        if (setup == "folder-is-file") {
            QVERIFY(write(folder, "not a folder"));
        } else {
            QVERIFY(QDir().mkpath(folder));
            if (setup == "garbage") QVERIFY(write(file, QByteArray("\x00\xff\xfe{{tavo_session", 16)));
            if (setup == "array") QVERIFY(write(file, "[\"tavo_session\", \"tok\"]"));
            if (setup == "types")
                QVERIFY(write(file, "{\"tavo_session\": 5, \"tavo_phone\": true, \"tavo_user_id\": \"x\"}"));
            if (setup == "truncated")
                QVERIFY(write(file, "{\"tavo_session\": \"tok\", \"tavo_phone\": \"+91"));
            if (setup == "file-is-folder") QVERIFY(QDir().mkpath(file));
            if (setup == "read-only")
                QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const QMap<QString, QString> toCloud{{"TAVO_CLOUD_HOST", cloud.host()}, {"TAVO_CLOUD_TLS", "0"}};

        // Start-up: an empty session, told plainly, no crash.
        const test::Run devices = run(TAVOCTL_PATH, {"devices"}, home.path(), toCloud);
        QCOMPARE(devices.code, 1);
        QCOMPARE(devices.err, QString("tavoctl: Not signed in. Run: tavoctl login PHONE\n"));

        // The window app starts on sign-in and quits after its screenshot.
        const QString shot = home.filePath("shot.png");
        const test::Run app = run(
            TAVO_APP_PATH, {}, home.path(),
            {{"TAVO_CLOUD_HOST", cloud.host()}, {"TAVO_DEVELOPMENT", "screenshot=" + shot + ",delay=300"}});
        QVERIFY2(app.code == 0, qPrintable(app.err));
        QVERIFY(QFile::exists(shot));

        // A sign-in is kept where it can be, and where it cannot the command fails.
        const test::Run login =
            run(TAVOCTL_PATH, {"login", "+15550001234", "--code", "123456"}, home.path(), toCloud);
        const test::Run after = run(TAVOCTL_PATH, {"devices"}, home.path(), toCloud);
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

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
