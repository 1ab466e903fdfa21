#include "platform/linux/XdgAutostart.h"
#include "support/ChildProcess.h"
#include "support/DataRows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tavo;

class AutostartTest : public QObject {
    Q_OBJECT

private slots:
    void onOffAndIdempotence() {
        QTemporaryDir dir;
        const QString path = dir.filePath("autostart/app.desktop");
        XdgAutostart login("/opt/tavo/bin/tavo", path);
        QVERIFY(!login.isEnabled());
        QVERIFY(login.setEnabled(false)); // never registered: nothing to remove
        QVERIFY(login.setEnabled(true));
        QVERIFY(login.isEnabled());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray entry = f.readAll();
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nExec=/opt/tavo/bin/tavo\n"));
        f.close();

        // Already on: the entry is left exactly as it is.
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        const QDateTime written = QFileInfo(path).lastModified();
        QVERIFY(login.setEnabled(true));
        QCOMPARE(QFileInfo(path).lastModified(), written);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        QVERIFY(login.setEnabled(false));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!login.isEnabled());
    }

    // Whatever the program's path holds, the entry is one the desktop's own parser (GLib's)
    // and the validator take, and it starts exactly that program.
    void execIsQuoted_data() {
        QTest::addColumn<QString>("folder"); // where the program is
        QTest::newRow("a space") << "My Apps";
        // ("%" is written "%%" as the rules say, but GLib looks for the program before it reads
        // field codes, so it refuses such a path whatever the entry says.)
        QTest::newRow("quotes, dollar, backtick, backslash") << R"(a "b" $c `d` \e)";
    }

    void execIsQuoted() {
        QFETCH(QString, folder);
        QTemporaryDir dir;
        // GLib takes an entry only when its program exists.
        const QString program = dir.filePath(folder + "/tavo");
        QVERIFY(test::writeExecutable(program, "#!/bin/sh\n"));
        const QString path = dir.filePath("autostart/app.tavo.Desktop.desktop");
        XdgAutostart login(program, path);
        QVERIFY(login.setEnabled(true));
        QVERIFY(login.isEnabled());

        QProcess validate;
        validate.start("desktop-file-validate", {path});
        QVERIFY(validate.waitForFinished());
        QVERIFY2(validate.exitCode() == 0, validate.readAllStandardOutput().constData());

        QProcess glib;
        glib.start("/usr/bin/python3", {"-c",
                                        "import sys, gi\n"
                                        "from gi.repository import Gio, GLib\n"
                                        "info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])\n"
                                        "print(GLib.shell_parse_argv(info.get_commandline())[1][0], end='')",
                                        path});
        QVERIFY(glib.waitForFinished());
        QVERIFY2(glib.exitCode() == 0, glib.readAllStandardError().constData());
        QCOMPARE(QString::fromUtf8(glib.readAllStandardOutput()), program);
    }

    void hiddenEntriesDoNotCount_data() { TAVO_JSON_ROWS("autostart-entries.json"); }
    void hiddenEntriesDoNotCount() {
        QFETCH(QJsonObject, row);
        const QByteArray entry = row["entry"].toString().toUtf8();
        const bool enabled = row["enabled"].toBool();
        QTemporaryDir dir;
        QFile f(dir.filePath("app.desktop"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(entry);
        f.close();
        XdgAutostart login("tavo", f.fileName());
        QCOMPARE(login.isEnabled(), enabled);
        if (!enabled) {
            QVERIFY(login.setEnabled(true)); // rewritten as a plain entry
            QVERIFY(login.isEnabled());
        }
    }

    // A config folder that can't hold the entry (here a file stands where the folder should be,
    // which stops root too): logged, reported as failed, nothing else.
    void unwritableDirectoryIsLoggedNotFatal() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        XdgAutostart login("tavo", dir.filePath("autostart/app.desktop"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[LaunchAtLogin\\] toggle failed: .+"));
        QVERIFY(!login.setEnabled(true));
        QVERIFY(!login.isEnabled());
    }
};

QTEST_MAIN(AutostartTest)
#include "tst_autostart.moc"
