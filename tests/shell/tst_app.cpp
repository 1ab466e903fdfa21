// The window app as a user runs it: a real `tavo` on Xvfb and a private session bus where
// a small status-notifier watcher plays the desktop's tray, against the development cloud.

#include "support/ChildProcess.h"
#include "support/DevCloud.h"
#include "support/SessionDaemons.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace tavo;

namespace {

// Just enough of org.kde.StatusNotifierWatcher for Qt to register its tray item here.
class Watcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registered)
public:
    QStringList items; // "service" of every registration
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QStringList registered() const { return items; }
public slots:
    void RegisterStatusNotifierItem(const QString& service) {
        items << (service.startsWith('/') ? message().service() : service);
    }
    void RegisterStatusNotifierHost(const QString&) {}
signals:
    void StatusNotifierItemRegistered(const QString&);
    void StatusNotifierHostRegistered();
};

struct MenuNode {
    int id = 0;
    QString label;
    QList<MenuNode> children;
};

MenuNode readNode(const QDBusArgument& arg) {
    MenuNode node;
    QVariantMap props;
    arg.beginStructure();
    arg >> node.id >> props;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        node.children << readNode(child.variant().value<QDBusArgument>());
    }
    arg.endArray();
    arg.endStructure();
    node.label = props.value("label").toString();
    return node;
}

// A D-Bus menu label as the tray host shows it: "_" marks the mnemonic, "__" is an "_".
QString shown(QString label) {
    return label.replace("__", "\x01").remove(u'_').replace(u'\x01', u'_');
}

const MenuNode* findLabel(const MenuNode& node, const QString& label) {
    if (shown(node.label) == label) return &node;
    for (const MenuNode& c : node.children)
        if (const MenuNode* hit = findLabel(c, label)) return hit;
    return nullptr;
}

} // namespace

class AppTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    QTemporaryDir home;
    test::PrivateBus bus;
    test::VirtualDisplay display;
    std::unique_ptr<Watcher> watcher;
    std::unique_ptr<QDBusConnection> connection;
    QProcess first;

    QProcessEnvironment env() const {
        QProcessEnvironment e = cloud.clientEnv(home.path());
        e.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        e.insert("QT_QUICK_BACKEND", "software");
        e.insert("QT_LOGGING_RULES", "tavo.shell.debug=true\ntavo.skills.debug=true");
        e.remove("QT_QPA_PLATFORM"); // xcb, on Xvfb: offscreen has no tray
        e.insert("DISPLAY", display.name());
        return e;
    }
    // The item's ToolTip property (icon name, pixmaps, title, text) as dbus-send prints it.
    QString toolTip(const QString& service) const {
        return test::runProgram("dbus-send",
                                {"--session", "--print-reply", "--dest=" + service, "/StatusNotifierItem",
                                 "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierItem",
                                 "string:ToolTip"},
                                env())
            .out;
    }
    void launch(QProcess& p, const QStringList& args = {}) {
        p.setProcessEnvironment(env());
        p.setProcessChannelMode(QProcess::SeparateChannels);
        p.start(TAVO_APP_PATH, args);
    }

private slots:
    void initTestCase() {
        if (const QString missing = test::missingTool({"Xvfb", "dbus-daemon"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        QVERIFY(cloud.start());
        QVERIFY(display.start({"-ac"})); // -ac: xdotool has no share of an authorisation

        QVERIFY(bus.start());
        connection = std::make_unique<QDBusConnection>(bus.connect("watcher"));
        QVERIFY(connection->isConnected());
        watcher = std::make_unique<Watcher>();
        QVERIFY(connection->registerObject("/StatusNotifierWatcher", watcher.get(),
                                           QDBusConnection::ExportAllSlots |
                                               QDBusConnection::ExportAllSignals |
                                               QDBusConnection::ExportAllProperties));
        QVERIFY(connection->registerService("org.kde.StatusNotifierWatcher"));

        // The demo account, signed in as the app would have stored it.
        const QString phone = "+919876543210";
        cloud.writeSession(home.path(), phone);
        cloud.post("/dev/devices",
                   {{"owner", phone},
                    {"name", "R_D Lab"},
                    {"relay_count", 2},
                    {"relay_names", QJsonObject{{"1", "Fan & Light"}, {"2", "Fan_2 & _3_"}}}});
    }

    void cleanupTestCase() { test::stopProcess(first); }

    // The tray item appears, and its exported menu shows the boxes (what its items do is the
    // tray test's).
    void trayItemAndMenu() {
        launch(first);
        QTRY_COMPARE_WITH_TIMEOUT(watcher->items.size(), 1, 20'000);
        const QString service = watcher->items.first();
        QDBusInterface item(service, "/StatusNotifierItem", "org.kde.StatusNotifierItem", *connection);
        const QString menuPath = item.property("Menu").value<QDBusObjectPath>().path();
        QVERIFY(!menuPath.isEmpty());
        const QString tip = toolTip(service); // the title follows the pixmaps
        QVERIFY2(QRegularExpression(R"(\]\s*string "Tavo")").match(tip).hasMatch(), qPrintable(tip));

        // The menu fills once the socket's welcome brings the boxes.
        const QDBusMessage getLayout =
            QDBusMessage::createMethodCall(service, menuPath, "com.canonical.dbusmenu", "GetLayout")
            << 0 << -1 << QStringList();
        MenuNode root;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const QDBusMessage reply = connection->call(getLayout);
                if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() < 2) return false;
                root = readNode(reply.arguments().at(1).value<QDBusArgument>());
                return findLabel(root, "   Lamp") != nullptr &&
                       findLabel(root, "Tavo  ·  connected") != nullptr;
            }(),
            20'000);
        // The home screen is up with its boxes, and nothing of music yet: no media back end,
        // no player on the desktop's bus.
        QFile mapped(QStringLiteral("/proc/%1/maps").arg(first.processId()));
        QVERIFY(mapped.open(QIODevice::ReadOnly));
        const QByteArray maps = mapped.readAll();
        QVERIFY(maps.contains("libQt6Quick"));
        QVERIFY(!maps.contains("libgstreamer-1.0"));
        QVERIFY(!connection->interface()->isServiceRegistered("org.mpris.MediaPlayer2.tavo"));
        // Names are shown as they are, mnemonic markers and all.
        QVERIFY(findLabel(root, "R_D Lab  ●"));
        QVERIFY(findLabel(root, "   Fan & Light"));
        QVERIFY(findLabel(root, "   Fan_2 & _3_"));
    }

    // A "tavo:" link given to a second launch reaches the running app, which takes it only
    // while a skill sign-in waits; none does here.
    void linkHandedOverButNotAwaited() {
        QVERIFY(first.state() == QProcess::Running);
        first.readAllStandardError();
        QProcess second;
        launch(second, {"tavo://skills/swiggy?ok=1"});
        QVERIFY(second.waitForFinished(20'000));
        QCOMPARE(second.exitCode(), 0);
        QByteArray firstLog;
        QTRY_VERIFY_WITH_TIMEOUT((firstLog += first.readAllStandardError()).contains("link ignored"), 5000);
        QVERIFY(!firstLog.contains("window shown"));
    }

    // The desktop's standard keys, typed for real: Ctrl+W closes the window as its close button
    // does (the app stays in the tray), a second launch hands over to show it again and exits,
    // Ctrl+Q quits.
    void standardKeys() {
        if (const QString missing = test::missingTool({"xdotool"}); !missing.isEmpty())
            QSKIP(qPrintable(missing));
        cleanupTestCase(); // the first app goes: the only window is this one's
        QProcess app;
        launch(app);
        const auto xdotool = [&](const QStringList& args) {
            return test::runProgram("xdotool", args, env(), 15'000).out.trimmed();
        };
        const QStringList tavo{"search", "--onlyvisible", "--name", "^Tavo$"};
        // A first window: under AddressSanitizer beside the screen tests this has taken over 20 s.
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool(tavo).isEmpty(), 60'000);
        QTRY_COMPARE_WITH_TIMEOUT(watcher->items.size(), 2, 20'000); // closing keeps it in the tray

        xdotool(tavo + QStringList{"windowfocus", "--sync", "key", "ctrl+w"});
        QTRY_VERIFY_WITH_TIMEOUT(xdotool(tavo).isEmpty(), 10'000);
        QTest::qWait(300);
        QCOMPARE(app.state(), QProcess::Running);

        QProcess again; // a second launch on the same display brings the window back
        launch(again);
        QVERIFY(again.waitForFinished(20'000));
        QCOMPARE(again.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!xdotool(tavo).isEmpty(), 10'000);
        QCOMPARE(watcher->items.size(), 2); // handed over: no tray item of its own
        xdotool(tavo + QStringList{"windowfocus", "--sync", "key", "ctrl+q"});
        QVERIFY(app.waitForFinished(20'000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
    }
};

QTEST_MAIN(AppTest)
#include "tst_app.moc"
