// The client over TLS, as a release build talks to the cloud: the development cloud serves
// HTTP, the chat stream and both sockets with certificates of a throw-away CA. Trusted through
// the CA file, everything works; a certificate that must not be trusted, or no TLS at all, is
// refused with Qt's words for it before anything is sent.
#include "cloud/Tls.h"
#include "platform/Media.h"
#include "support/ChildProcess.h"
#include "support/DataRows.h"
#include "support/SessionDaemons.h"
#include "support/SpeechWav.h"
#include "support/StoreFixture.h"
#include "support/TestCerts.h"
#include "voice/VoiceService.h"
#include "voice/WavFile.h"

#include <QJsonArray>
#include <QSslConfiguration>
#include <QTest>

using namespace tavo;
using Conn = TavoStore::ConnStatus;
using Cert = test::TestCerts::Server;

namespace {

// Qt's words for a certificate of an unknown CA, UNKNOWN ISSUER in the tables.
QString withQtsWords(QString text) {
    return text.replace("UNKNOWN ISSUER",
                        "The issuer certificate of a locally looked up certificate could not be found");
}

} // namespace

class TlsTest : public QObject {
    Q_OBJECT

    test::TestCerts certs;
    test::NullSink sound;
    bool haveSound = false;
    std::unique_ptr<test::DevCloud> cloud; // serves with the CA's certificate for 127.0.0.1
    const QString demo = "+919876543210";

    static std::unique_ptr<test::StoreFixture> tlsFixture(const QString& host) {
        auto f = std::make_unique<test::StoreFixture>();
        f->config.cloudTLS = true;
        f->useCloud(host);
        return f;
    }

    std::unique_ptr<VoiceService> voice(const QString& socketBase, const QString& token) {
        auto input = std::make_unique<WavFileInput>(test::tone());
        WavFileInput* file = input.get();
        auto v = std::make_unique<VoiceService>([token] { return token; }, socketBase, std::move(input),
                                                desktopSpeaker());
        connect(file, &WavFileInput::finished, v.get(), &VoiceService::stop);
        return v;
    }

private slots:
    void initTestCase() {
        QVERIFY2(certs.make(), qPrintable(certs.log()));
        // What the executables do at start-up, before any socket is made.
        QCOMPARE(trustCAFile(certs.caFile()), std::optional<QString>());
        cloud = std::make_unique<test::DevCloud>(certs.cloudArgs(Cert::Good) +
                                                 QStringList{"--seed", "demo", "--otp-code", "123456"});
        QVERIFY2(cloud->start(), qPrintable(cloud->log()));
        haveSound = test::missingTool({"pulseaudio"}).isEmpty() && sound.start();
    }
    void init() { cloud->post("/dev/reset"); }

    // A CA file adds to the system's CAs; one that can't be used says why and changes nothing.
    // "the CA", "the key", or a path; KEY stands for the key's path.
    void caFiles_data() { TAVO_JSON_ROWS("tls-cafiles.json"); }
    void caFiles() {
        QFETCH(QJsonObject, row);
        const QString file = row["file"] == "the CA"    ? certs.caFile()
                             : row["file"] == "the key" ? certs.keyFile()
                                                        : row["file"].toString();
        const QString error = row["error"].toString().replace("KEY", certs.keyFile());
        const QList<QSslCertificate> before = QSslConfiguration::defaultConfiguration().caCertificates();
        QCOMPARE(trustCAFile(file).value_or(QString()), error);
        const QList<QSslCertificate> after = QSslConfiguration::defaultConfiguration().caCertificates();
        if (!error.isEmpty()) QCOMPARE(after, before);
        const QList<QSslCertificate> system = QSslConfiguration::systemCaCertificates();
        QVERIFY(!system.isEmpty());
        for (const QSslCertificate& ca : system)
            QVERIFY(after.contains(ca));
        QVERIFY(after.contains(QSslCertificate::fromPath(certs.caFile()).value(0)));
    }

    // Sign-in over HTTPS, the list over the wss:// socket, a relay switched from one store
    // pushed to another, and a streamed chat turn that switches a relay.
    void storeOverTls() {
        auto f = tlsFixture(cloud->host());
        TavoStore& store = f->make();
        store.setPhone(demo);
        store.sendOTP();
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Otp);
        store.verifyOTP("123456");
        QTRY_COMPARE(store.screenKind(), Screen::Kind::Home);
        QTRY_COMPARE(store.conn(), Conn::Connected);
        QCOMPARE(store.devices().size(), 3);
        QCOMPARE(store.devices().at(0).name, QString("Living Room"));

        auto g = tlsFixture(cloud->host());
        TavoStore& other = g->makeSignedIn(*cloud, demo);
        QTRY_COMPARE(other.conn(), Conn::Connected);
        store.setRelay(2, 1, true);
        QTRY_VERIFY(other.devices().at(1).isOn(1));

        store.sendChat("turn on the lamp");
        QTRY_VERIFY(!store.chatBusy());
        QVERIFY(!store.chatMessages().last().err);
        QVERIFY(!store.chatMessages().last().content.isEmpty());
        QTRY_VERIFY(other.devices().at(0).isOn(2));
    }

    // The media back end has TLS of its own that knows only the system's CAs: an https track
    // from a cloud with a CA of its own plays only because the stream comes through ours.
    void musicOverTls() {
        if (!haveSound) QSKIP("no pulseaudio");
        auto f = tlsFixture(cloud->host());
        TavoStore& store = f->makeSignedIn(*cloud, demo);
        store.sendChat("play some jazz");
        QTRY_VERIFY_WITH_TIMEOUT(store.music().has_value(), 15'000);
        QVERIFY(store.music()->streamURL.startsWith("https://"));
        QTRY_VERIFY_WITH_TIMEOUT(store.musicPlaying(), 20'000);
        store.stopMusic();
    }

    // One scripted exchange on the wss:// voice socket: the microphone's audio goes up, the
    // answer comes back and is played. Scripted, so that the answer does not hang on how soon the
    // cloud's own recogniser is ready: audio before "ready" is not sent, and the file lasts 0.5 s.
    void voiceOverTls() {
        if (!haveSound) QSKIP("no PulseAudio for the answer's playback");
        const QString token = cloud->signIn(demo).value("session_token").toString();
        const QJsonArray onStop{QJsonObject{{"type", "transcript.final"}, {"text", "turn on the fan"}},
                                QJsonObject{{"type", "response"},
                                            {"transcript", "turn on the fan"},
                                            {"text", "Fan is on."},
                                            {"fired", 1}},
                                QJsonObject{{"type", "tts.start"}}, 4800, QJsonObject{{"type", "tts.end"}}};
        cloud->post("/dev/voice/script",
                    {{"on_open", QJsonArray{QJsonObject{{"type", "ready"}}}}, {"on_stop", onStop}});
        auto v = voice(cloud->socketBase(), token);
        v->start();
        QTRY_COMPARE_WITH_TIMEOUT(v->state(), VoiceService::State::Idle, 10'000);
        QCOMPARE(v->errorText(), std::optional<QString>());
        QCOMPARE(v->heard(), QString("turn on the fan"));
        QCOMPARE(v->spoken(), QString("Fan is on."));
        QVERIFY(cloud->get("/dev/voice/last").value("binary_bytes").toInteger() > 0);
    }

    // Each refusal, on every connection: sign-in, the chat stream, the device socket and the
    // voice socket all fail with the same words, and the cloud gets nothing.
    // "cert": the cloud's certificate, none for plain HTTP.
    void refusals_data() { TAVO_JSON_ROWS("tls-refusals.json"); }
    void refusals() {
        QFETCH(QJsonObject, row);
        const QString reason = withQtsWords(row["reason"].toString());
        const QMap<QString, Cert> certificates{
            {"unknown CA", Cert::UnknownCA}, {"other host", Cert::OtherHost}, {"expired", Cert::Expired}};
        test::DevCloud refusing(row["cert"] == "" ? QStringList()
                                                  : certs.cloudArgs(certificates[row["cert"].toString()]));
        QVERIFY2(refusing.start(), qPrintable(refusing.log()));

        auto f = tlsFixture(refusing.host());
        TavoStore& signingIn = f->make();
        signingIn.setPhone(demo);
        signingIn.sendOTP();
        QTRY_VERIFY(signingIn.toast());
        QCOMPARE(*signingIn.toast(), reason);
        QCOMPARE(signingIn.screenKind(), Screen::Kind::Auth);

        auto g = tlsFixture(refusing.host());
        g->prefs->setValue(PrefKey::session, "token");
        g->prefs->setValue(PrefKey::phone, demo);
        TavoStore& store = g->make();
        QTRY_COMPARE(store.socketTlsError(), reason.mid(reason.indexOf(": ") + 2));
        QCOMPARE(store.conn(), Conn::Connecting);
        store.sendChat("turn on the lamp");
        QTRY_VERIFY(!store.chatBusy());
        QVERIFY(store.chatMessages().last().err);
        QCOMPARE(store.chatMessages().last().content, reason);

        if (haveSound) {
            auto v = voice(QStringLiteral("wss://") + refusing.host(), "token");
            v->start();
            QTRY_COMPARE_WITH_TIMEOUT(v->state(), VoiceService::State::Error, 10'000);
            QCOMPARE(v->errorText(), std::optional<QString>(reason.mid(reason.indexOf(": ") + 2)));
        }

        QVERIFY2(!refusing.log().contains("sign-in code"), qPrintable(refusing.log()));
        if (!refusing.tls()) { // this one answers this process in plain HTTP: ask it
            QCOMPARE(refusing.get("/dev/requests").value("requests").toArray(), QJsonArray());
            QCOMPARE(refusing.get("/dev/sockets").value("opened").toInt(), 0);
            QCOMPARE(refusing.get("/dev/voice/last").value("texts").toArray(), QJsonArray());
        }
    }

    // tavoctl against the TLS cloud: with the CA file the commands work; without it, or with a
    // file that can't be used, each fails with one line per problem and exit status 1.
    // "ca": "the CA", none, or a file; UNKNOWN ISSUER stands for Qt's words for an unknown CA.
    void tavoctl_data() { TAVO_JSON_ROWS("tls-tavoctl.json"); }
    void tavoctl() {
        QFETCH(QJsonObject, row);
        const QStringList args = row["args"].toVariant().toStringList();
        const QString ca = row["ca"].toString();
        QTemporaryDir home;
        if (args.first() != "login") cloud->writeSession(home.path(), demo);
        QProcessEnvironment env = cloud->clientEnv(home.path());
        if (ca.isEmpty())
            env.remove("TAVO_CA_FILE");
        else
            env.insert("TAVO_CA_FILE", ca == "the CA" ? certs.caFile() : ca);
        const test::Run run = test::runProgram(TAVOCTL_PATH, args, env);
        QCOMPARE(run.err, withQtsWords(row["err"].toString()));
        QCOMPARE(run.code, row["code"].toInt());
        if (run.code == 0) QVERIFY(!run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TlsTest)
#include "tst_tls.moc"
