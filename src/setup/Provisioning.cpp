// Setting up a new box: find it on its hotspot, hand it the home WiFi, wait for it to reach
// the cloud, claim it. Nothing cancels a running poll: a box that comes online after the
// screen closed is still claimed. The keychain is never waited for on the way: a locked or
// silent keyring only costs the prefill.

#include "cloud/CloudConfig.h"
#include "cloud/Endpoints.h"
#include "core/TavoStore.h"
#include "setup/BoxClient.h"
#include "setup/Sanitize.h"
#include "setup/WifiCreds.h"

#include <QNetworkInformation>

namespace tavo {

namespace {
constexpr auto pollDeadline = std::chrono::seconds(45);
constexpr auto pollInterval = std::chrono::milliseconds(1500);
constexpr int findTimeoutMs = 1200;
} // namespace

QString TavoStore::provPairCode() const {
    return m_provPairCodeToken == m_sessionToken ? m_provPairCode : QString();
}

void TavoStore::setProvPairCode(const QString& code) {
    m_provPairCodeToken = m_sessionToken;
    assign(m_provPairCode, code, &TavoStore::provPairCodeChanged);
}

void TavoStore::beginProvision() {
    doBeginProvision();
}

QCoro::Task<> TavoStore::doBeginProvision() {
    setProv(ProvisionStep::of(ProvisionStep::Kind::Searching));
    loadSavedWifi();
    co_await doScanForBox();
}

QCoro::Task<> TavoStore::loadSavedWifi() {
    const quint64 mine = ++m_provWifiLoad;
    const QString ssid = m_provHomeSSID, password = m_provHomePass;
    QPointer<TavoStore> self(this);
    const std::optional<WifiCreds::Pair> saved = co_await WifiCreds::load(keychain());
    if (!self || mine != m_provWifiLoad || !saved) co_return;
    // What the user typed while the keyring took its time is theirs.
    if (m_provHomeSSID != ssid || m_provHomePass != password) co_return;
    setProvHomeSSID(saved->ssid);
    setProvHomePass(saved->password);
}

QCoro::Task<> TavoStore::saveWifi(QString ssid, QString password) {
    QPointer<TavoStore> self(this);
    Keychain& store = keychain(); // the store's own: gone with it
    const QString service = applicationID(), account = QString::fromLatin1(WifiCreds::account);
    co_await store.remove(service, account);
    if (!self) co_return;
    co_await store.write(service, account, WifiCreds::value(ssid, password));
}

void TavoStore::scanForBox() {
    doScanForBox();
}

QCoro::Task<> TavoStore::doScanForBox() {
    setProv(ProvisionStep::of(ProvisionStep::Kind::Searching));
    const quint64 mine = ++m_provSearch;
    QPointer<TavoStore> self(this);
    const TavoBoxProbe probe(m_services.boxNetwork);
    const std::optional<QUrl> base = co_await probe.find(findTimeoutMs);
    // The latest search decides; one the user has left (cancelled, or moved to the pair
    // code) never does.
    if (!self || mine != m_provSearch || m_prov.kind != ProvisionStep::Kind::Searching) co_return;
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
    const BoxClient box(*m_services.network, base, m_services.clock);
    const Result<std::monostate> sent = co_await box.connect(ssid, password);
    if (!self) co_return;
    if (!sent) {
        setProv(ProvisionStep::onAP(base));
        showToast(QStringLiteral("Couldn't reach the box: ") + sent.failure().description(), true);
        co_return;
    }
    saveWifi(ssid, password); // the poll does not wait for the keyring
    setProv(ProvisionStep::of(ProvisionStep::Kind::WaitingForCloud));
    co_await pollForPairCode(base);
}

QCoro::Task<> TavoStore::pollForPairCode(QUrl base) {
    QPointer<TavoStore> self(this);
    const QString account = m_sessionToken;
    Clock& clock = *m_services.clock;
    const QDateTime deadline = clock.now().addMSecs(std::chrono::milliseconds(pollDeadline).count());
    const BoxClient box(*m_services.network, base, &clock);
    while (clock.now() < deadline) {
        const bool alive = co_await sleepWhileAlive(pollInterval);
        if (!alive) co_return;
        const Result<CloudStatus> status = co_await box.cloudStatus();
        if (!self) co_return;
        if (m_sessionToken != account) co_return; // another account now: not its set-up
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
    const QString account = m_sessionToken;
    const QString post = QStringLiteral("POST"), get = QStringLiteral("GET");
    const QByteArray body = json::compact({{"pair_code", code}});
    const Result<EmptyOK> claimed = co_await api().send<EmptyOK>(post, Endpoints::deviceClaim(), body);
    if (!self) co_return std::nullopt;
    if (m_sessionToken != account) co_return std::nullopt; // claimed for the account that asked
    if (!claimed) co_return claimed.failure();
    if (Sanitize::claimCode(code) == Sanitize::claimCode(m_provPairCode)) setProvPairCode({}); // used up
    showToast(QStringLiteral("Box added"), false);
    const Result<DeviceList> list = co_await api().send<DeviceList>(get, Endpoints::devices());
    if (!self || m_sessionToken != account) co_return std::nullopt;
    if (!list) co_return list.failure();
    setDevices(list->devices);
    co_return std::nullopt;
}

QCoro::Task<> TavoStore::autoClaim(QString code) {
    QPointer<TavoStore> self(this);
    const QString account = m_sessionToken;
    // Kept until a claim uses it: the box showed it once, and a laptop still on the box's
    // hotspot usually cannot reach the cloud yet.
    setProvPairCode(code);
    const std::optional<Failure> failed = co_await claimAndRefresh(code);
    if (!self || m_sessionToken != account) co_return;
    if (failed) {
        setProv(ProvisionStep::of(ProvisionStep::Kind::ManualPair));
        showToast(failed->description(), true);
        if (!provPairCode().isEmpty()) retryOnNetworkChange();
        co_return;
    }
    setProv({});
    setScreen(Screen::home());
}

void TavoStore::retryPairCode() {
    if (provPairCode().isEmpty() || m_prov.kind == ProvisionStep::Kind::HavePair || m_busy) return;
    const QString code = m_provPairCode;
    setProv(ProvisionStep::havePair(code));
    autoClaim(code);
}

void TavoStore::retryOnNetworkChange() {
    // The desktop's network monitor: NetworkManager where it runs, else the kernel's routes.
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend() &&
        !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            &TavoStore::networkChanged, Qt::UniqueConnection);
}

void TavoStore::networkChanged() {
    if (m_prov.kind == ProvisionStep::Kind::ManualPair) retryPairCode();
}

void TavoStore::claim(const QString& pairCode) {
    doClaim(pairCode);
}

QCoro::Task<> TavoStore::doClaim(QString pairCode) {
    co_await claimTyped(pairCode);
}

QCoro::Task<bool> TavoStore::claimTyped(QString pairCode) {
    const QString code = Sanitize::claimCode(pairCode);
    if (code.isEmpty()) {
        showToast(QStringLiteral("Enter the pair code"), true);
        co_return false;
    }
    setBusy(true);
    QPointer<TavoStore> self(this);
    const QString account = m_sessionToken;
    const std::optional<Failure> failed = co_await claimAndRefresh(code);
    if (!self) co_return false;
    const bool sameAccount = m_sessionToken == account;
    if (failed)
        showToast(failed->description(), true);
    else if (sameAccount)
        setScreen(Screen::home());
    setBusy(false);
    co_return !failed && sameAccount;
}

void TavoStore::manualClaim(const QString& pairCode) {
    doManualClaim(pairCode);
}

QCoro::Task<> TavoStore::doManualClaim(QString pairCode) {
    QPointer<TavoStore> self(this);
    const bool claimed = co_await claimTyped(pairCode);
    if (!self) co_return;
    // A code the box showed stays on its card until a claim uses it; a typed one goes.
    if (claimed || provPairCode().isEmpty()) setProv({});
}

} // namespace tavo
