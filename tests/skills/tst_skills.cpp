#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/StoreFixture.h"

#include <QNetworkReply>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace tavo;

// The browser's part of the sign-in, played for real against the development cloud's page:
// load it, press a button, follow the redirect to the "tavo:" link, which the desktop hands to
// the waiting sign-in. (How a second `tavo` hands a link to the running one: the app test.)
class Browser : public QObject {
    Q_OBJECT
public:
    QString press; // "allow", "deny", or empty: the user never finishes
    QList<QUrl> opened;
    SkillsAuth* auth = nullptr;

    bool open(const QUrl& url) {
        opened << url;
        if (!press.isEmpty()) QTimer::singleShot(0, this, [this, url] { finish(url); });
        return true;
    }

private:
    QByteArray get(const QUrl& url, QUrl* location = nullptr) {
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        std::unique_ptr<QNetworkReply> reply(nam.get(request));
        [[maybe_unused]] const bool done = QTest::qWaitFor([&] { return reply->isFinished(); }, 5000);
        if (location) *location = reply->header(QNetworkRequest::LocationHeader).toUrl();
        return reply->readAll();
    }
    void finish(const QUrl& page) {
        const QString html = QString::fromUtf8(get(page));
        const QRegularExpression button(QStringLiteral("id=\"%1\" href=\"([^\"]+)\"").arg(press));
        const QString href = button.match(html).captured(1);
        QUrl link;
        get(page.resolved(QUrl(href)), &link);
        auth->deliver(link);
    }
    QNetworkAccessManager nam;
};

class SkillsTest : public QObject {
    Q_OBJECT

    test::DevCloud cloud{{"--seed", "demo"}};
    const QString demo = "+919876543210";

    bool swiggyConnected(const TavoStore& store) {
        for (const Skill& s : store.skills())
            if (s.id == "swiggy") return s.connected;
        return false;
    }

private slots:
    void initTestCase() { QVERIFY(cloud.start()); }
    void init() {
        cloud.post("/dev/reset");
        cloud.post("/dev/requests/clear");
    }

    // What a returned "tavo:" link says, before the cloud's list has the last word.
    void callback_data() { TAVO_JSON_ROWS("skills-callbacks.json"); }
    void callback() {
        QFETCH(QJsonObject, row);
        const SkillCallback result = readSkillCallback(QUrl(row["link"].toString()));
        QCOMPARE(result.ok, row["ok"].toBool());
        QCOMPARE(result.toast, row["toast"].toString());
    }

    // A skill's id as its toasts name it.
    void capitalized_data() { TAVO_JSON_ROWS("skills-names.json"); }
    void capitalized() {
        QFETCH(QJsonObject, row);
        QCOMPARE(capitalizedWords(row["id"].toString()), row["text"].toString());
    }

    // The whole connect flow through the browser and the cloud's sign-in page; "press" empty:
    // the user never finishes and pastes a success link instead.
    void connect_data() { TAVO_JSON_ROWS("skills-connects.json"); }
    void connect() {
        QFETCH(QJsonObject, row);
        const QString press = row["press"].toString(), toast = row["toast"].toString();
        Browser browser;
        browser.press = press;
        SkillsAuth auth([&](const QUrl& u) { return browser.open(u); });
        browser.auth = &auth;
        test::StoreFixture f;
        f.skillsAuth = &auth;
        TavoStore& store = f.makeSignedIn(cloud, demo);

        store.connectSwiggy();
        if (press.isEmpty()) {
            QTRY_VERIFY(auth.waiting());
            QCOMPARE(auth.submitPasted("tavo://skills/swiggy?ok=1"), QString());
        }
        QTRY_COMPARE_WITH_TIMEOUT(store.toast(), std::optional<QString>(toast), 15'000);
        QCOMPARE(store.toastIsError(), row["error"].toBool());
        QCOMPARE(browser.opened.size(), 1);
        QCOMPARE(browser.opened.first().path(), "/skills/swiggy/authorize");
        QTRY_COMPARE(cloud.requestCount("GET", "/v1/skills"), 1); // reloaded either way
        QTRY_VERIFY(!store.skillsLoading());
        QCOMPARE(swiggyConnected(store), row["connected"].toBool());
        QVERIFY(!auth.waiting());
    }

    // Refusals before the browser, and a sign-in that ends without a link: never a reload.
    // "authorizeURL" empty: the cloud's own ("-": an empty one); "toast" empty: none (cancelled).
    void noCallback_data() { TAVO_JSON_ROWS("skills-nocallbacks.json"); }
    void noCallback() {
        QFETCH(QJsonObject, row);
        const QString authorizeURL = row["authorizeURL"].toString(), toast = row["toast"].toString();
        const bool browserOpens = row["browserOpens"].toBool();
        int opens = 0;
        SkillsAuth auth([&](const QUrl&) { return ++opens, browserOpens; });
        test::StoreFixture f;
        f.skillsAuth = &auth;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        if (!authorizeURL.isEmpty())
            cloud.post(
                "/dev/answer-next",
                {{"method", "POST"},
                 {"path", "/v1/skills/swiggy/connect"},
                 {"status", 200},
                 {"body", QString::fromUtf8(json::compact(
                              {{"ok", true}, {"authorize_url", authorizeURL == "-" ? "" : authorizeURL}}))}});
        store.connectSwiggy();
        if (toast.isEmpty()) {
            QTRY_VERIFY(auth.waiting());
            auth.cancel();
            QTest::qWait(200);
            QVERIFY(!store.toast());
        } else {
            QTRY_COMPARE(store.toast(), std::optional<QString>(toast));
            QVERIFY(store.toastIsError());
        }
        QCOMPARE(opens, row["opened"].toInt());
        QVERIFY(!auth.waiting());
        QCOMPARE(cloud.requestCount("POST", "/v1/skills/swiggy/connect"), 1);
        QCOMPARE(cloud.requestCount("GET", "/v1/skills"), 0);
    }

    // Only a link of the waiting scheme, while a sign-in waits, ends it.
    void linksTakenOnlyWhileWaiting() {
        SkillsAuth auth([](const QUrl&) { return true; });
        QVERIFY(!auth.deliver(QUrl("tavo://skills/swiggy?ok=1")));
        QCOMPARE(auth.submitPasted("tavo://skills/swiggy?ok=1"), "No sign-in is waiting");

        std::optional<SkillsAuth::Outcome> outcome;
        auto run = [&]() -> QCoro::Task<> {
            outcome = co_await auth.run(QUrl("https://example.invalid/"), "tavo");
        };
        run();
        QVERIFY(auth.waiting());
        QVERIFY(!auth.deliver(QUrl("https://skills/swiggy?ok=1")));
        QVERIFY(!auth.submitPasted("not a link at all").isEmpty());
        QVERIFY(auth.waiting());
        QCOMPARE(auth.submitPasted("  TAVO://skills/swiggy?ok=1\n"), "");
        QVERIFY(!auth.waiting());
        QTRY_VERIFY(outcome.has_value());
        QVERIFY(std::holds_alternative<QUrl>(*outcome));
        QCOMPARE(std::get<QUrl>(*outcome).query(), "ok=1");
    }

    // tavoctl's exit status says the same: a forged link fails the command.
    void tavoctlFollowsTheList() {
        QTemporaryDir home;
        cloud.writeSession(home.path(), demo);
        // The command opens the sign-in page with xdg-open: here one that opens nothing.
        QVERIFY(test::writeExecutable(home.filePath("bin/xdg-open"), "#!/bin/sh\nexit 0\n"));
        QProcess p;
        QProcessEnvironment env = cloud.clientEnv(home.path());
        env.insert("PATH", home.filePath("bin") + ":" + env.value("PATH"));
        p.setProcessEnvironment(env);
        p.start(TAVOCTL_PATH, {"skill", "connect", "swiggy"});
        QVERIFY(p.waitForStarted());
        QByteArray said8;
        QTRY_VERIFY_WITH_TIMEOUT((said8 += p.readAllStandardError()).contains("paste the tavo: link"),
                                 10'000);
        p.write("tavo://skills/swiggy?ok=1\n");
        QVERIFY(p.waitForFinished(20'000));
        const QString said = QString::fromUtf8(said8 + p.readAllStandardOutput() + p.readAllStandardError());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(said.contains("tavoctl: Swiggy connect failed (not connected)"), qPrintable(said));
    }

    // A list reply that does not decode is reported, and the list on show stays.
    void undecodableListKeepsThePrevious_data() { TAVO_JSON_ROWS("skills-undecodable.json"); }
    void undecodableListKeepsThePrevious() {
        QFETCH(QJsonObject, row);
        const QString body = row["body"].toString();
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        QCoro::waitFor(store.doLoadSkills());
        const QList<Skill> before = store.skills();
        QCOMPARE(before.size(), 2);
        cloud.post("/dev/answer-next",
                   {{"method", "GET"}, {"path", "/v1/skills"}, {"status", 200}, {"body", body}});
        QCoro::waitFor(store.doLoadSkills());
        QCOMPARE(store.skills(), before);
        QVERIFY(store.toast() && store.toastIsError());
        QVERIFY(!store.skillsLoading());
    }

    // A list that comes back after its account signed out is not shown to whoever is next.
    void aListAfterSignOutIsDropped() {
        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        store.loadSkills();
        store.signOut();
        QTRY_VERIFY(!store.skillsLoading());
        QCOMPARE(cloud.requestCount("GET", "/v1/skills"), 1);
        QVERIFY(store.skills().isEmpty());
        QVERIFY(!store.toast());
    }

    void signedOutAndDisconnect() {
        test::StoreFixture signedOut;
        TavoStore& nobody = signedOut.make();
        nobody.connectSwiggy();
        QCOMPARE(nobody.toast(), std::optional<QString>("Sign in first"));
        nobody.loadSkills();
        QVERIFY(!nobody.skillsLoading());

        test::StoreFixture f;
        TavoStore& store = f.makeSignedIn(cloud, demo);
        store.disconnectSkill("swiggy");
        QTRY_COMPARE(store.toast(), std::optional<QString>("Swiggy disconnected"));
        QVERIFY(!store.toastIsError());
        QTRY_COMPARE(store.skills().size(), 2);
        store.disconnectSkill("nope/../../v1/devices");
        QTRY_COMPARE(store.toast(), std::optional<QString>("Not found"));
        QTest::qWait(100);
        QCOMPARE(cloud.requestCount("GET", "/v1/skills"), 1);
    }
};

QTEST_MAIN(SkillsTest)
#include "tst_skills.moc"
