#include "ui/store/BoxDiscovery.h"

#include "core/TavoStore.h"
#include "setup/BoxScanner.h"

namespace tavo {

BoxDiscovery::BoxDiscovery(QObject* parent) : QObject(parent) {}

BoxDiscovery::~BoxDiscovery() {
    if (m_scanner) m_scanner->stop();
}

TavoStore* BoxDiscovery::store() const {
    return m_store;
}

void BoxDiscovery::setStore(TavoStore* s) {
    if (s == m_store) return;
    if (m_store) disconnect(m_store, nullptr, this, nullptr);
    m_scanner.reset();
    m_store = s;
    if (m_store) {
        m_scanner = std::make_unique<BoxScanner>(*m_store->services().network);
        connect(m_scanner.get(), &BoxScanner::scanningChanged, this, &BoxDiscovery::changed);
        connect(m_scanner.get(), &BoxScanner::foundChanged, this, &BoxDiscovery::changed);
        m_scanner->setDevices(m_store->devices());
        connect(m_store, &TavoStore::devicesChanged, this,
                [this] { m_scanner->setDevices(m_store->devices()); });
    }
    emit storeChanged();
    emit changed();
}

bool BoxDiscovery::scanning() const {
    return m_scanner && m_scanner->scanning();
}

QVariantList BoxDiscovery::rows() const {
    return m_scanner ? m_scanner->rows() : QVariantList();
}

QString BoxDiscovery::dot() const {
    if (scanning()) return QStringLiteral("connecting");
    return rows().isEmpty() ? QStringLiteral("offline") : QStringLiteral("connected");
}

QString BoxDiscovery::title() const {
    if (!rows().isEmpty()) return QStringLiteral("Found on this network");
    return scanning() ? QStringLiteral("Scanning this network…") : QStringLiteral("Nothing found yet");
}

bool BoxDiscovery::showsNote() const {
    return rows().isEmpty() && !scanning();
}

void BoxDiscovery::start() {
    if (m_scanner) m_scanner->start();
}

// The next screen's search starts from nothing: the boxes found this time may be gone by then.
void BoxDiscovery::stop() {
    if (!m_scanner) return;
    m_scanner->stop();
    m_scanner->clear();
}

void BoxDiscovery::rescan() {
    if (m_scanner) m_scanner->rescan();
}

} // namespace tavo
