// Setting up a new box: find it on its hotspot, hand it the home WiFi, wait for it to reach
// the cloud, claim it. Nothing cancels a running poll: a box that comes online after the
// screen closed is still claimed.

#include "cloud/Endpoints.h"
#include "core/TavoStore.h"
#include "setup/BoxClient.h"
#include "setup/Sanitize.h"
#include "setup/WifiCreds.h"

namespace tavo {

namespace {
constexpr auto pollDeadline = std::chrono::seconds(45);
constexpr auto pollInterval = std::chrono::milliseconds(1500);
constexpr int findTimeoutMs = 1200;
} // namespace

void TavoStore::beginProvision() {
    doBeginProvision();
}

QCoro::Task<> TavoStore::doBeginProvision() {
    // The keychain answers over D-Bus; the search card shows meanwhile, and the fields are
    // filled long before a found box shows the portal card.
    setProv(ProvisionStep::of(ProvisionStep::Kind::Searching));
    QPointer<TavoStore> self(this);
    const std::optional<WifiCreds::Pair> saved = co_await WifiCreds::load(keychain());
    if (!self) co_return;
    if (saved) {
        setProvHomeSSID(saved->ssid);
        setProvHomePass(saved->password);
    }
    if (m_prov.kind != ProvisionStep::Kind::Searching) co_return; // cancelled, or "Pair code" chosen
    co_await doScanForBox();
}

void TavoStore::scanForBox() {
    doScanForBox();
}

QCoro::Task<> TavoStore::doScanForBox() {
    setProv(ProvisionStep::of(ProvisionStep::Kind::Searching));
    QPointer<TavoStore> self(this);
    const TavoBoxProbe probe(m_services.boxNetwork);
    const std::optional<QUrl> base = co_await probe.find(findTimeoutMs);
    // A search the user has left (cancelled, or moved to the pair code) no longer decides.
    if (!self || m_prov.kind != ProvisionStep::Kind::Searching) co_return;
    setProv(base ? ProvisionStep::onAP(*base) : ProvisionStep::of(ProvisionStep::Kind::NeedsAP));
}

void TavoStore::provisionSubmit() {
    doProvisionSubmit();
}

QCoro::Task<> TavoStore::doProvisionSubmit() {
    if (m_prov.kind != ProvisionStep::Kind::OnAP) co_return;
    const QUrl base = m_prov.base;
    if (m_provHomeSSID.isEmpty()) {
        showToast(QStringLiteral("Enter WiFi SSID"), true);
        co_return;
    }
    const QString ssid = m_provHomeSSID, password = m_provHomePass;
    setProv(ProvisionStep::of(ProvisionStep::Kind::Submitting));
    QPointer<TavoStore> self(this);
    const BoxClient box(*m_services.network, base);
    const Result<std::monostate> sent = co_await box.connect(ssid, password);
    if (!self) co_return;
    if (!sent) {
        setProv(ProvisionStep::onAP(base));
        showToast(QStringLiteral("Couldn't reach the box: ") + sent.failure().description(), true);
        co_return;
    }
    co_await WifiCreds::save(keychain(), ssid, password);
    if (!self) co_return;
    setProv(ProvisionStep::of(ProvisionStep::Kind::WaitingForCloud));
    co_await pollForPairCode(base);
}

QCoro::Task<> TavoStore::pollForPairCode(QUrl base) {
    QPointer<TavoStore> self(this);
    Clock& clock = *m_services.clock;
    const QDateTime deadline = clock.now().addMSecs(std::chrono::milliseconds(pollDeadline).count());
    const BoxClient box(*m_services.network, base);
    while (clock.now() < deadline) {
        const bool alive = co_await sleepWhileAlive(pollInterval);
        if (!alive) co_return;
        const Result<CloudStatus> status = co_await box.cloudStatus();
        if (!self) co_return;
        if (status && status->connected && status->hasPairCode()) {
            const QString code = *status->pair_code;
            setProv(ProvisionStep::havePair(code));
            co_await autoClaim(code);
            co_return;
        }
    }
    setProv(ProvisionStep::of(ProvisionStep::Kind::ManualPair));
    showToast(QStringLiteral("Box took too long to come online. Type the pair code manually."), true);
}

QCoro::Task<std::optional<Failure>> TavoStore::claimAndRefresh(QString code) {
    QPointer<TavoStore> self(this);
    const QString post = QStringLiteral("POST"), get = QStringLiteral("GET");
    const QByteArray body = json::compact({{"pair_code", code}});
    const Result<EmptyOK> claimed = co_await api().send<EmptyOK>(post, Endpoints::deviceClaim(), body);
    if (!self || !claimed) co_return claimed ? std::nullopt : std::optional(claimed.failure());
    showToast(QStringLiteral("Box added"), false);
    const Result<DeviceList> list = co_await api().send<DeviceList>(get, Endpoints::devices());
    if (!self || !list) co_return list ? std::nullopt : std::optional(list.failure());
    setDevices(list->devices);
    co_return std::nullopt;
}

QCoro::Task<> TavoStore::autoClaim(QString code) {
    QPointer<TavoStore> self(this);
    const std::optional<Failure> failed = co_await claimAndRefresh(code);
    if (!self) co_return;
    if (failed) {
        setProv(ProvisionStep::of(ProvisionStep::Kind::ManualPair));
        showToast(failed->description(), true);
        co_return;
    }
    setProv({});
    setScreen(Screen::home());
}

void TavoStore::claim(const QString& pairCode) {
    doClaim(pairCode);
}

QCoro::Task<> TavoStore::doClaim(QString pairCode) {
    const QString code = Sanitize::claimCode(pairCode);
    if (code.isEmpty()) {
        showToast(QStringLiteral("Enter the pair code"), true);
        co_return;
    }
    setBusy(true);
    QPointer<TavoStore> self(this);
    const std::optional<Failure> failed = co_await claimAndRefresh(code);
    if (!self) co_return;
    if (failed) showToast(failed->description(), true);
    else setScreen(Screen::home());
    setBusy(false);
}

void TavoStore::manualClaim(const QString& pairCode) {
    doManualClaim(pairCode);
}

QCoro::Task<> TavoStore::doManualClaim(QString pairCode) {
    QPointer<TavoStore> self(this);
    co_await doClaim(pairCode);
    if (self) setProv({});
}

} // namespace tavo
