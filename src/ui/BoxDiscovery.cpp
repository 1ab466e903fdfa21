#include "ui/BoxDiscovery.h"

#include "core/TavoStore.h"
#include "setup/BoxScanner.h"

namespace tavo {

BoxDiscovery::BoxDiscovery(QObject* parent) : QObject(parent) {}

BoxDiscovery::~BoxDiscovery() {
    if (m_scanner) m_scanner->stop();
}

QObject* BoxDiscovery::store() const {
    return m_store;
}

void BoxDiscovery::setStore(QObject* store) {
    auto* s = qobject_cast<TavoStore*>(store);
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

void BoxDiscovery::start() {
    if (m_scanner) m_scanner->start();
}

void BoxDiscovery::stop() {
    if (m_scanner) m_scanner->stop();
}

void BoxDiscovery::rescan() {
    if (m_scanner) m_scanner->rescan();
}

} // namespace tavo
