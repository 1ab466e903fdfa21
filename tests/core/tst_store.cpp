#include "platform/Preferences.h"
#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QTest>

using namespace tavo;
using namespace std::chrono_literals;

class StoreTest : public QObject {
    Q_OBJECT

private slots:
    // The stored keys, each absent from the row when not stored, as a new process reads them.
    void restore_data() { TAVO_JSON_ROWS("store-restore.json"); }

    void restore() {
        QFETCH(QJsonObject, row);
        const bool home = row["home"].toBool();

        test::StoreFixture f;
        const std::pair<const char*, QVariant> stored[] = {{PrefKey::session, row["token"].toVariant()},
                                                           {PrefKey::phone, row["phone"].toVariant()},
                                                           {PrefKey::userID, row["userID"].toVariant()},
                                                           {PrefKey::threadID, row["threadID"].toVariant()}};
        for (const auto& [key, value] : stored)
            if (value.isValid()) f.prefs->setValue(key, value);
        // Read back through a fresh file handle, as a new process would.
        f.prefs = std::make_unique<SettingsPreferences>(f.dir.filePath("Tavo.json"));

        TavoStore& store = f.make();
        QCOMPARE(store.sessionToken(), row["expectToken"].toString());
        QCOMPARE(store.userID(), row["expectUser"].toInteger());
        QCOMPARE(store.currentThreadID(), row["expectThread"].toInteger());
        // The screen is decided in the constructor; the socket opens in the first turn.
        QCOMPARE(store.screenKind(), home ? Screen::Kind::Home : Screen::Kind::Auth);
        QCOMPARE(store.conn(), TavoStore::ConnStatus::Offline);
        QCoreApplication::processEvents();
        QCOMPARE(store.screenKind(), home ? Screen::Kind::Home : Screen::Kind::Auth);
        QCOMPARE(store.conn(), home ? TavoStore::ConnStatus::Connecting : TavoStore::ConnStatus::Offline);
    }

    void persistWritesTypedValues() {
        test::StoreFixture f;
        f.prefs->setValue(PrefKey::session, "tok");
        f.prefs->setValue(PrefKey::phone, "+919876543210");
        f.prefs->setValue(PrefKey::userID, qint64(9007199254740993));
        TavoStore& store = f.make();
        f.prefs->remove(PrefKey::session);
        f.prefs->remove(PrefKey::userID);
        store.persistSession();

        SettingsPreferences reread(f.dir.filePath("Tavo.json"));
        QCOMPARE(reread.string(PrefKey::session), std::optional<QString>("tok"));
        QCOMPARE(reread.string(PrefKey::phone), std::optional<QString>("+919876543210"));
        QCOMPARE(reread.int64(PrefKey::userID), qint64(9007199254740993));
        QVERIFY(!reread.value(PrefKey::threadID).isValid());
    }

    void signOutOrderAndWhatItKeeps() {
        test::StoreFixture f;
        f.prefs->setValue(PrefKey::session, "tok");
        f.prefs->setValue(PrefKey::phone, "+919876543210");
        f.prefs->setValue(PrefKey::userID, qint64(42));
        f.prefs->setValue(PrefKey::threadID, qint64(7));
        f.prefs->setValue(PrefKey::useLocalServer, true);
        TavoStore& store = f.make();
        QCoreApplication::processEvents();
        QCOMPARE(store.conn(), TavoStore::ConnStatus::Connecting);
        store.setProvHomeSSID("HomeNet");
        store.showToast("Still here", true);

        // Record the order of changes, and whether the keys were gone when the screen changed.
        QStringList order;
        bool keysGoneAtScreenChange = false;
        connect(&store, &TavoStore::connChanged, this, [&] { order << "conn"; });
        connect(&store, &TavoStore::sessionTokenChanged, this, [&] { order << "token"; });
        connect(&store, &TavoStore::userIDChanged, this, [&] { order << "user"; });
        connect(&store, &TavoStore::phoneChanged, this, [&] { order << "phone"; });
        connect(&store, &TavoStore::currentThreadIDChanged, this, [&] { order << "thread"; });
        connect(&store, &TavoStore::screenChanged, this, [&] {
            order << "screen";
            keysGoneAtScreenChange = !f.prefs->value(PrefKey::session).isValid();
        });
        store.signOut();

        QCOMPARE(order, (QStringList{"conn", "token", "user", "phone", "thread", "screen"}));
        QVERIFY(keysGoneAtScreenChange);
        QCOMPARE(store.conn(), TavoStore::ConnStatus::Offline);
        QCOMPARE(store.screenKind(), Screen::Kind::Auth);
        QVERIFY(store.sessionToken().isEmpty() && store.phone().isEmpty() && store.userID() == 0);
        QCOMPARE(store.currentThreadID(), 0);
        for (const char* key : {PrefKey::session, PrefKey::phone, PrefKey::userID, PrefKey::threadID})
            QVERIFY2(!f.prefs->value(key).isValid(), key);
        // Left alone: the developer switch, set-up fields and the toast.
        QVERIFY(f.prefs->boolean(PrefKey::useLocalServer));
        QCOMPARE(store.provHomeSSID(), QString("HomeNet"));
        QCOMPARE(store.toast(), std::optional<QString>("Still here"));
        QVERIFY(store.toastIsError());
    }

    // "goneAtMs" after the first toast; the second comes at 1000 ms.
    void toastTiming_data() { TAVO_JSON_ROWS("store-toasts.json"); }
    void toastTiming() {
        QFETCH(QJsonObject, row);
        const QString first = row["first"].toString(), second = row["second"].toString();
        const int goneAtMs = row["goneAtMs"].toInt();
        test::StoreFixture f;
        TavoStore& store = f.make();

        store.showToast(first, false);
        QCOMPARE(store.toast(), std::optional<QString>(first));
        QVERIFY(!store.toastIsError());
        f.clock.advance(1000ms);
        store.showToast(second, true);
        QCOMPARE(store.toast(), std::optional<QString>(second));
        QVERIFY(store.toastIsError());

        f.clock.advance(std::chrono::milliseconds(goneAtMs - 1000 - 1));
        QCOMPARE(store.toast(), std::optional<QString>(second));
        f.clock.advance(1ms);
        QCOMPARE(store.toast(), std::nullopt);
        // The error flag is only reset by the next toast.
        QVERIFY(store.toastIsError());
        QCOMPARE(f.clock.pendingSleeps(), goneAtMs == 2500 ? 1 : 0);
    }

    // Destroying the store ends its toast timers: none is left suspended in the clock, where
    // its coroutine frame would stay allocated for good, and none touches the dying store.
    void destroyedWhileToastTimersRun() {
        test::StoreFixture f;
        TavoStore& store = f.make();
        store.showToast("Saved", false);
        f.clock.advance(1000ms);
        store.showToast("Box removed", true);
        QCOMPARE(f.clock.pendingSleeps(), 2);
        bool touched = false;
        connect(&store, &TavoStore::toastChanged, this, [&] { touched = true; });

        f.store.reset();
        QVERIFY(!touched);
        QCOMPARE(f.clock.pendingSleeps(), 0);
        // The clock still lists the ended sleeps; passing their deadlines must wake nothing
        // (under ASan, resuming a freed frame here is a report).
        f.clock.advance(5000ms);
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
