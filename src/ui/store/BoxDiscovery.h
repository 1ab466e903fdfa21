#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <memory>

namespace tavo {

class BoxScanner;
class TavoStore;

// The add-box screen's search: browsing between start() and stop() (the screen showing), and
// empty again after it. Rows are classified against the store's boxes as they change.
class BoxDiscovery : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE("core/TavoStore.h")
    QML_ELEMENT
    Q_PROPERTY(tavo::TavoStore* store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(bool scanning READ scanning NOTIFY changed)
    Q_PROPERTY(QVariantList rows READ rows NOTIFY changed)
    // The header: each with its own order of tests, so a running search with boxes found shows
    // the connecting dot beside "Found on this network".
    Q_PROPERTY(QString dot READ dot NOTIFY changed) // "connecting" | "connected" | "offline"
    Q_PROPERTY(QString title READ title NOTIFY changed)
    Q_PROPERTY(bool showsNote READ showsNote NOTIFY changed) // the hint when nothing was found
public:
    explicit BoxDiscovery(QObject* parent = nullptr);
    ~BoxDiscovery() override;

    TavoStore* store() const;
    void setStore(TavoStore* store);
    bool scanning() const;
    QVariantList rows() const;
    QString dot() const;
    QString title() const;
    bool showsNote() const;

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
