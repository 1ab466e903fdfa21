#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace tavo {

class BoxScanner;
class TavoStore;

// The add-box screen's scanner: created with the screen, browsing between start() and
// stop(), and gone with it. Rows are classified against the store's boxes as they change.
class BoxDiscovery : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(bool scanning READ scanning NOTIFY changed)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY changed)
public:
    explicit BoxDiscovery(QObject* parent = nullptr);
    ~BoxDiscovery() override;

    QObject* store() const;
    void setStore(QObject* store);
    bool scanning() const;
    QVariantList rows() const;

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void rescan();

signals:
    void storeChanged();
    void changed();

private:
    QPointer<TavoStore> m_store;
    std::unique_ptr<BoxScanner> m_scanner;
};

} // namespace tavo
