#include "platform/linux/XdgAutostart.h"
#include "shell/LoginItem.h"
#include "shell/TrayController.h"
#include "support/DevCloud.h"
#include "support/StoreFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
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
        std::unique_ptr<TrayStore> store = std::make_unique<TrayStore>(
            StoreServices{&f.network, f.prefs.get(), &f.clock, f.config, &f.speaker});
        TrayController tray{loginItem, window};
        Rig() { tray.install(store.get()); }
        void welcome(const QString& devices) {
            store->handleWS(
                {{"type", "welcome"}, {"devices", QJsonDocument::fromJson(devices.toUtf8()).array()}});
        }
    };

private slots:
    void menus_data();
    void menus() {
        QFETCH(QString, token);
        QFETCH(QString, devices);
        QFETCH(int, conn);
        QFETCH(QString, track); // "title|artist|playing" or empty
        QFETCH(QStringList, expected);
        Rig rig;
        rig.store->setSessionToken(token);
        rig.welcome(devices);
        rig.store->setConn(TavoStore::ConnStatus(conn));
        if (!track.isEmpty()) {
            const QStringList t = track.split('|');
            rig.store->setMusic(TavoMusicTrack{t[0],
                                               t[1].isEmpty() ? std::nullopt : std::optional(t[1]),
                                               "http://127.0.0.1:9/a",
                                               {},
                                               {},
                                               {}});
            rig.store->setMusicPlaying(t[2] == "1");
        }
        QCOMPARE(dump(rig.tray.menu()), expected);
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

    void signOutAndInstallOnce() {
        Rig rig;
        rig.store->setSessionToken("tok");
        QVERIFY(find(rig.tray.menu(), "Sign out…"));
        TrayStore other(
            StoreServices{&rig.f.network, rig.f.prefs.get(), &rig.f.clock, rig.f.config, &rig.f.speaker});
        rig.tray.install(&other); // ignored: the first store stays attached
        find(rig.tray.menu(), "Sign out…")->trigger();
        QVERIFY(rig.store->sessionToken().isEmpty());
        QVERIFY(!find(rig.tray.menu(), "Sign out…"));
        QCOMPARE(dump(rig.tray.menu()).at(2), "(x) Sign in to see devices");
    }

    // The store going away leaves the menu on its signed-out texts, and clicks do nothing.
    void storeGone() {
        Rig rig;
        rig.store->setSessionToken("tok");
        rig.store.reset();
        rig.tray.rebuildMenu();
        QCOMPARE(dump(rig.tray.menu()).mid(0, 3),
                 (QStringList{"(x) Tavo  ·  offline", "-", "(x) Sign in to see devices"}));
        rig.tray.tapRelay(1, 1);
        rig.tray.tapSignOut();
    }
};

void TrayTest::menus_data() {
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("devices");
    QTest::addColumn<int>("conn");
    QTest::addColumn<QString>("track");
    QTest::addColumn<QStringList>("expected");
    const QStringList tail{"Show Tavo", "Hide window", "-", "  Launch at login", "-"};
    const QString three =
        R"([{"id":7,"mac":"m","name":"Hall","relay_count":3,"relay_names":{},"acl_mask":5,"role":"owner","online":true,"states":[true]}])";
    const QString offline =
        R"([{"id":8,"mac":"m","name":"Shed","relay_count":2,"relay_names":{"2":"Pump"},"acl_mask":3,"role":"member","online":false,"states":[false,true]},
                               {"id":9,"mac":"n","name":"Empty","relay_count":0,"relay_names":{},"acl_mask":0,"role":"owner","online":true}])";

    QTest::newRow("signed out") << ""
                                << "[]" << 0 << ""
                                << (QStringList{"(x) Tavo  ·  offline", "-", "(x) Sign in to see devices",
                                                "-"} +
                                    tail + QStringList{"Quit Tavo"});
    QTest::newRow("signed in, no boxes, connected")
        << "tok"
        << "[]" << 2 << ""
        << (QStringList{"(x) Tavo  ·  connected", "-", "(x) No boxes paired", "-"} + tail +
            QStringList{"Sign out…", "Quit Tavo"});
    QTest::newRow("three relays, one known state, bit 2 clear, reconnecting")
        << "tok" << three << 1 << ""
        << (QStringList{"(x) Tavo  ·  reconnecting…", "-", "Hall  ●", "    ✓ Relay 1", "    (x)    Relay 2",
                        "       Relay 3", "    -", "    All on", "    All off", "-"} +
            tail + QStringList{"Sign out…", "Quit Tavo"});
    QTest::newRow("offline box and a box without relays")
        << "tok" << offline << 2 << ""
        << (QStringList{"(x) Tavo  ·  connected", "-", "Shed  ○", "    (x)    Relay 1", "    (x) ✓ Pump",
                        "    -", "    (x) All on", "    (x) All off", "Empty  ●", "    -", "    All on",
                        "    All off", "-"} +
            tail + QStringList{"Sign out…", "Quit Tavo"});
    QTest::newRow("a track with artist, playing")
        << "tok"
        << "[]" << 2 << "Raga|Ravi|1"
        << (QStringList{"(x) Tavo  ·  connected", "-", "(x) No boxes paired", "-", "(x) ♪  Raga — Ravi",
                        "Pause", "Stop music", "-"} +
            tail + QStringList{"Sign out…", "Quit Tavo"});
    QTest::newRow("a track without artist, paused")
        << "tok"
        << "[]" << 2 << "Raga||0"
        << (QStringList{"(x) Tavo  ·  connected", "-", "(x) No boxes paired", "-", "(x) ♪  Raga", "Play",
                        "Stop music", "-"} +
            tail + QStringList{"Sign out…", "Quit Tavo"});
}

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
