#include "shell/TrayController.h"

#include "cloud/CloudConfig.h"
#include "core/TavoStore.h"
#include "shell/LoginItem.h"

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace tavo {

namespace {

QString connLine(const TavoStore* store) {
    if (store) {
        switch (store->conn()) {
        case TavoStore::ConnStatus::Connected:
            return QStringLiteral("Tavo  ·  connected");
        case TavoStore::ConnStatus::Connecting:
            return QStringLiteral("Tavo  ·  reconnecting…");
        case TavoStore::ConnStatus::Offline:
            break;
        }
    }
    return QStringLiteral("Tavo  ·  offline");
}

QAction* disabled(QMenu* menu, const QString& text) {
    QAction* a = menu->addAction(text);
    a->setEnabled(false);
    return a;
}

} // namespace

TrayController::TrayController(LoginItem& login, WindowHost& window, QObject* parent)
    : QObject(parent), m_login(login), m_window(window), m_menu(std::make_unique<QMenu>()) {
    connect(&m_login, &LoginItem::enabledChanged, this, &TrayController::rebuildMenu);
}

TrayController::~TrayController() {
    delete m_icon;
    qDeleteAll(m_submenus); // parentless: rebuildMenu() deletes earlier ones, this the last
}

// The installed app icon from the theme, else a bolt drawn here; drawing cannot fail, so no
// letter fallback is needed.
QIcon TrayController::boltIcon() {
    QIcon themed = QIcon::fromTheme(applicationID());
    if (!themed.isNull()) return themed;
    QPixmap bolt(64, 64);
    if (bolt.isNull()) return {};
    bolt.fill(Qt::transparent);
    QPainter p(&bolt);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xF5, 0xC5, 0x42));
    const QPointF shape[] = {{38, 2}, {12, 36}, {29, 36}, {24, 62}, {52, 26}, {34, 26}};
    p.drawPolygon(shape, 6);
    return QIcon(bolt);
}

void TrayController::install(TavoStore* store) {
    if (m_installed && m_store) return;
    m_installed = true;
    m_store = store;
    for (auto signal : {&TavoStore::devicesChanged, &TavoStore::musicChanged, &TavoStore::musicPlayingChanged,
                        &TavoStore::connChanged, &TavoStore::sessionTokenChanged})
        connect(store, signal, this, &TrayController::rebuildMenu);
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_icon = new QSystemTrayIcon(boltIcon());
        m_icon->setToolTip(QStringLiteral("Tavo"));
        m_icon->setContextMenu(m_menu.get());
        m_icon->show();
    }
    rebuildMenu(); // once the menu is the tray's: its texts are written for the tray's kind
}

// A text with names from the cloud, as menu text that shows it unchanged. Menu texts have mnemonics: a
// desktop menu (Qt's own, on an XEmbed tray) takes "&" as the marker and "&&" as an "&"; the
// D-Bus menu of a StatusNotifierItem takes "_" as the marker and "__" as an "_", and Qt turns
// the first "&" of a text into that marker. There an "&" can only stay when an earlier "&" is
// the marker, so a text holding one gets its first character as the mnemonic.
QString TrayController::menuText(const QString& name) const {
    if (!m_menu->platformMenu()) return QString(name).replace(u'&', QStringLiteral("&&"));
    QString text = QString(name).replace(u'_', QStringLiteral("__"));
    return name.contains(u'&') ? QLatin1Char('&') + text : text;
}

bool TrayController::isVisible() const {
    return m_icon && m_icon->isVisible();
}

// Refilled in place: a tray host keeps the one menu it was given.
void TrayController::rebuildMenu() {
    QMenu* menu = m_menu.get();
    menu->clear();
    qDeleteAll(std::exchange(m_submenus, {}));

    disabled(menu, connLine(m_store));
    menu->addSeparator();
    addDeviceSection();
    menu->addSeparator();
    addMusicSection();

    // No shortcut shown for it: a desktop cannot give an app a global key of its own.
    menu->addAction(QStringLiteral("Show Tavo"), this, &TrayController::tapShowWindow);
    menu->addAction(QStringLiteral("Hide window"), this, &TrayController::tapHideWindow);
    menu->addSeparator();
    menu->addAction(m_login.isEnabled() ? QStringLiteral("✓ Launch at login")
                                        : QStringLiteral("  Launch at login"),
                    this, &TrayController::tapLaunchAtLogin);
    menu->addSeparator();
    if (m_store && !m_store->sessionToken().isEmpty())
        menu->addAction(QStringLiteral("Sign out…"), this, &TrayController::tapSignOut);
    QAction* quit = menu->addAction(QStringLiteral("Quit Tavo"), this, &TrayController::tapQuit);
    quit->setShortcut(QKeySequence::Quit); // the window's own quit key
}

void TrayController::addDeviceSection() {
    QMenu* menu = m_menu.get();
    if (!m_store) {
        disabled(menu, QStringLiteral("Sign in to see devices"));
        return;
    }
    if (m_store->devices().isEmpty()) {
        disabled(menu, m_store->sessionToken().isEmpty() ? QStringLiteral("Sign in to see devices")
                                                         : QStringLiteral("No boxes paired"));
        return;
    }
    for (const Device& d : m_store->devices()) {
        auto* sub = new QMenu(
            menuText(d.name + QStringLiteral("  ") + (d.online ? QStringLiteral("●") : QStringLiteral("○"))));
        m_submenus << sub;
        const qint64 id = d.id;
        for (int ch = 1; ch <= d.relay_count; ++ch) {
            const QString mark = d.isOn(ch) ? QStringLiteral("✓") : QStringLiteral("  ");
            QAction* relay = sub->addAction(menuText(mark + QLatin1Char(' ') + d.relayName(ch)), this,
                                            [this, id, ch] { tapRelay(id, ch); });
            relay->setEnabled(d.online && d.isAllowed(ch));
        }
        sub->addSeparator();
        sub->addAction(QStringLiteral("All on"), this, [this, id] { tapAllOn(id); })->setEnabled(d.online);
        sub->addAction(QStringLiteral("All off"), this, [this, id] { tapAllOff(id); })->setEnabled(d.online);
        menu->addMenu(sub);
    }
}

void TrayController::addMusicSection() {
    if (!m_store || !m_store->music()) return;
    QMenu* menu = m_menu.get();
    const TavoMusicTrack& track = *m_store->music();
    QString title = QStringLiteral("♪  ") + track.title;
    if (track.artist && !track.artist->isEmpty()) title += QStringLiteral(" — ") + *track.artist;
    disabled(menu, menuText(title));
    menu->addAction(m_store->musicPlaying() ? QStringLiteral("Pause") : QStringLiteral("Play"), this,
                    &TrayController::tapMusicToggle);
    menu->addAction(QStringLiteral("Stop music"), this, &TrayController::tapMusicStop);
    menu->addSeparator();
}

void TrayController::tapRelay(qint64 deviceID, int ch) {
    if (!m_store) return;
    const QList<Device>& devices = m_store->devices();
    const auto d =
        std::find_if(devices.cbegin(), devices.cend(), [&](const Device& x) { return x.id == deviceID; });
    if (d == devices.cend()) return; // gone since the menu was built
    const QList<bool> states = d->states.value_or(QList<bool>());
    const bool known = ch >= 1 && ch <= states.size();
    m_store->setRelay(deviceID, ch, known ? !states.at(ch - 1) : true);
}

void TrayController::tapAllOn(qint64 deviceID) {
    if (m_store) m_store->allRelays(deviceID, true);
}

void TrayController::tapAllOff(qint64 deviceID) {
    if (m_store) m_store->allRelays(deviceID, false);
}

void TrayController::tapMusicToggle() {
    if (m_store) m_store->toggleMusic();
}

void TrayController::tapMusicStop() {
    if (m_store) m_store->stopMusic();
}

void TrayController::tapShowWindow() {
    m_window.showWindow();
}

void TrayController::tapHideWindow() {
    m_window.hideWindow();
}

void TrayController::tapLaunchAtLogin() {
    m_login.setEnabled(!m_login.isEnabled()); // the menu follows its enabledChanged
}

void TrayController::tapSignOut() {
    if (m_store) m_store->signOut();
}

void TrayController::tapQuit() {
    QCoreApplication::quit();
}

} // namespace tavo
