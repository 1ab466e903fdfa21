#include "platform/linux/XdgAutostart.h"

#include <QDir>
#include <QFile>
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

    void hiddenEntriesDoNotCount_data() {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("plain") << QByteArray("[Desktop Entry]\nExec=tavo\n") << true;
        QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nHidden=true\nExec=tavo\n") << false;
        QTest::newRow("switched off in GNOME")
            << QByteArray("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n") << false;
        QTest::newRow("hidden in another group only")
            << QByteArray("[Desktop Entry]\nExec=tavo\n[Desktop Action x]\nHidden=true\n") << true;
    }

    void hiddenEntriesDoNotCount() {
        QFETCH(QByteArray, entry);
        QFETCH(bool, enabled);
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
