// The tray's menu and what it switches, and the login item under it: the desktop's autostart
// entry.

#include "platform/linux/XdgAutostart.h"
#include "shell/LoginItem.h"
#include "shell/TrayController.h"
#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/DevCloud.h"
#include "support/StoreFixture.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace tavo;

namespace {

// The store with the fields a tray reacts to settable from the test.
class TrayStore : public TavoStore {
public:
    using TavoStore::setConn;
    using TavoStore::setMusic;
    using TavoStore::setMusicPlaying;
    using TavoStore::setSessionToken;
    using TavoStore::TavoStore;
};

// Records what the tray asked of the window.
struct RecordingWindow : WindowHost {
    QStringList calls;
    void showWindow() override { calls << "show"; }
    void hideWindow() override { calls << "hide"; }
};

// The menu as lines: "-" separators, "(x) " disabled items, submenus indented below their title.
QStringList dump(const QMenu* menu, const QString& indent = {}) {
    QStringList out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            out << indent + "-";
            continue;
        }
        out << indent + (a->isEnabled() ? "" : "(x) ") + a->text();
        if (a->menu()) out << dump(a->menu(), indent + "    ");
    }
    return out;
}

QAction* find(const QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions()) {
        if (a->text() == text) return a;
        if (a->menu())
            if (QAction* inner = find(a->menu(), text)) return inner;
    }
    return nullptr;
}

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

    struct Rig {
        test::StoreFixture f;
        QTemporaryDir dir;
        XdgAutostart login{"tavo", dir.filePath("autostart/tavo.desktop")};
        LoginItem loginItem{login};
        RecordingWindow window;
        std::unique_ptr<TrayStore> store = std::make_unique<TrayStore>(f.services());
        TrayController tray{loginItem, window};
        Rig() { tray.install(store.get()); }
    };

private slots:
    // The menu for each state of session, boxes, connection and music ("title|artist|playing").
    void menus_data() { TAVO_JSON_ROWS("tray-menus.json"); }
    void menus() {
        QFETCH(QJsonObject, row);
        Rig rig;
        rig.store->setSessionToken(row["token"].toString());
        rig.store->handleWS({{"type", "welcome"}, {"devices", row["devices"]}});
        rig.store->setConn(TavoStore::ConnStatus(row["conn"].toInt()));
        if (const QStringList t = row["track"].toString().split('|'); t.size() == 3) {
            rig.store->setMusic(TavoMusicTrack{t[0],
                                               t[1].isEmpty() ? std::nullopt : std::optional(t[1]),
                                               "http://127.0.0.1:9/a",
                                               {},
                                               {},
                                               {}});
            rig.store->setMusicPlaying(t[2] == "1");
        }
        QCOMPARE(dump(rig.tray.menu()), row["menu"].toVariant().toStringList());
    }

    // Against the development cloud: a click switches the opposite of what the item shows;
    // a channel past the known states switches on; actions carry full 64-bit ids.
    void relayClicks() {
        test::DevCloud cloud{{"--seed", "demo"}};
        QVERIFY(cloud.start());
        const QString demo = "+919876543210";
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        RecordingWindow window;
        QTemporaryDir dir;
        XdgAutostart login("tavo", dir.filePath("a.desktop"));
        LoginItem loginItem(login);
        TrayController tray(loginItem, window);
        tray.install(&store);
        QTRY_COMPARE(store.devices().size(), 3);

        cloud.post("/dev/push",
                   {{"phone", demo}, {"frame", R"({"type":"state","device_id":1,"states":[true]})"}});
        QTRY_COMPARE(store.devices().at(0).states->size(), 1);
        find(tray.menu(), "   Lamp")->trigger();
        QTRY_VERIFY(store.devices().at(0).states->size() == 4 && store.devices().at(0).isOn(2));
        find(tray.menu(), "✓ Fan")->trigger();
        QTRY_VERIFY(!store.devices().at(0).isOn(1));

        const qint64 big = 9007199254740993LL; // not exact as a double
        cloud.post("/dev/devices", {{"owner", demo}, {"name", "Big"}, {"relay_count", 1}, {"id", big}});
        QTRY_COMPARE(store.devices().size(), 4);
        QMenu* bigMenu = tray.menu()->actions().at(5)->menu();
        QCOMPARE(bigMenu->title(), "Big  ●");
        bigMenu->actions().first()->trigger();
        QTRY_VERIFY(store.devices().at(3).isOn(1));
        QCOMPARE(store.devices().at(3).id, big);
        bigMenu = tray.menu()->actions().at(5)->menu();
        bigMenu->actions().last()->trigger(); // "All off"
        QTRY_VERIFY(!store.devices().at(3).isOn(1));
    }

    void windowAndLoginItems() {
        Rig rig;
        find(rig.tray.menu(), "Hide window")->trigger();
        find(rig.tray.menu(), "Show Tavo")->trigger();
        QCOMPARE(rig.window.calls, (QStringList{"hide", "show"}));

        find(rig.tray.menu(), "  Launch at login")->trigger();
        QVERIFY(rig.login.isEnabled());
        QVERIFY(find(rig.tray.menu(), "✓ Launch at login"));
        find(rig.tray.menu(), "✓ Launch at login")->trigger();
        QVERIFY(!rig.login.isEnabled());
        QVERIFY(find(rig.tray.menu(), "  Launch at login"));

        // The account tab's switch and the tray share one state: each sees the other's toggle.
        QSignalSpy switchRereads(&rig.loginItem, &LoginItem::enabledChanged);
        rig.loginItem.setEnabled(true); // the switch
        QVERIFY(find(rig.tray.menu(), "✓ Launch at login"));
        find(rig.tray.menu(), "✓ Launch at login")->trigger();
        QCOMPARE(switchRereads.size(), 2);
        QVERIFY(!rig.loginItem.isEnabled());
    }

    // Sign out from the menu; a second store is never attached; the store going away leaves the
    // menu on its signed-out texts, and clicks do nothing.
    void signOutInstallOnceAndStoreGone() {
        Rig rig;
        rig.store->setSessionToken("tok");
        QVERIFY(find(rig.tray.menu(), "Sign out…"));
        TrayStore other(rig.f.services());
        rig.tray.install(&other); // ignored: the first store stays attached
        find(rig.tray.menu(), "Sign out…")->trigger();
        QVERIFY(rig.store->sessionToken().isEmpty());
        QVERIFY(!find(rig.tray.menu(), "Sign out…"));
        QCOMPARE(dump(rig.tray.menu()).at(2), "(x) Sign in to see devices");

        rig.store->setSessionToken("tok");
        rig.store.reset();
        rig.tray.rebuildMenu();
        QCOMPARE(dump(rig.tray.menu()).mid(0, 3),
                 (QStringList{"(x) Tavo  ·  offline", "-", "(x) Sign in to see devices"}));
        rig.tray.tapRelay(1, 1);
        rig.tray.tapSignOut();
    }

    // Whatever the program's path holds, the entry is one the desktop's own parser (GLib's)
    // and the validator take, and it starts exactly that program; on and off are idempotent.
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
        QVERIFY(!login.isEnabled());
        QVERIFY(login.setEnabled(false)); // never registered: nothing to remove
        QVERIFY(login.setEnabled(true));
        QVERIFY(login.isEnabled());

        const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const test::Run validate = test::runProgram("desktop-file-validate", {path}, env);
        QVERIFY2(validate.code == 0, qPrintable(validate.out));
        const test::Run glib =
            test::runProgram("/usr/bin/python3",
                             {"-c",
                              "import sys, gi\n"
                              "from gi.repository import Gio, GLib\n"
                              "info = Gio.DesktopAppInfo.new_from_filename(sys.argv[1])\n"
                              "print(GLib.shell_parse_argv(info.get_commandline())[1][0], end='')",
                              path},
                             env);
        QVERIFY2(glib.code == 0, qPrintable(glib.err));
        QCOMPARE(glib.out, program);

        // Already on: the entry is left exactly as it is. Off removes it.
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        const QDateTime written = QFileInfo(path).lastModified();
        QVERIFY(login.setEnabled(true));
        QCOMPARE(QFileInfo(path).lastModified(), written);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(login.setEnabled(false));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!login.isEnabled());
    }

    void hiddenEntriesDoNotCount_data() { TAVO_JSON_ROWS("tray-autostart-entries.json"); }
    void hiddenEntriesDoNotCount() {
        QFETCH(QJsonObject, row);
        const QByteArray entry = row["entry"].toString().toUtf8();
        QTemporaryDir dir;
        QFile f(dir.filePath("app.desktop"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(entry) == entry.size());
        f.close();
        XdgAutostart login("tavo", f.fileName());
        QCOMPARE(login.isEnabled(), row["enabled"].toBool());
        if (!row["enabled"].toBool()) {
            QVERIFY(login.setEnabled(true)); // rewritten as a plain entry
            QVERIFY(login.isEnabled());
        }
    }

    // A config folder that can't hold the entry (here a file stands where the folder should be,
    // which stops root too): logged, reported as failed, nothing else.
    void unwritableDirectoryIsLoggedNotFatal() {
        QTemporaryDir dir;
        QVERIFY(QFile(dir.filePath("autostart")).open(QIODevice::WriteOnly));
        XdgAutostart login("tavo", dir.filePath("autostart/app.desktop"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^\\[LaunchAtLogin\\] toggle failed: .+"));
        QVERIFY(!login.setEnabled(true));
        QVERIFY(!login.isEnabled());
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
