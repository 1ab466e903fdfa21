#pragma once

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace tavo {

class LoginItem;
class TavoStore;

// The app's window, as the tray and a second launch see it.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    virtual void showWindow() = 0; // bring back, or make anew when it was destroyed
    virtual void hideWindow() = 0;
};

// The tray item and its menu: connection, every box with its relays, the track playing,
// window, launch at login, sign-out and quit. The menu is refilled from the store whenever
// its devices, music, playing flag or connection change.
//
// Actions carry their device id and channel themselves, so any 64-bit id works.
class TrayController : public QObject {
    Q_OBJECT
public:
    TrayController(LoginItem& login, WindowHost& window, QObject* parent = nullptr);
    ~TrayController() override;

    // Once per process; later calls while a store is attached do nothing. Shows the tray
    // item when the desktop has a tray.
    void install(TavoStore* store);
    void rebuildMenu();

    QMenu* menu() const { return m_menu.get(); }
    // Whether an item is in the desktop's tray (false on desktops without one).
    bool isVisible() const;

    void tapRelay(qint64 deviceID, int ch);
    void tapAllOn(qint64 deviceID);
    void tapAllOff(qint64 deviceID);
    void tapMusicToggle();
    void tapMusicStop();
    void tapShowWindow();
    void tapHideWindow();
    void tapLaunchAtLogin();
    void tapSignOut();
    void tapQuit();

    static QIcon boltIcon();

private:
    QString menuText(const QString& name) const;
    void addDeviceSection();
    void addMusicSection();

    LoginItem& m_login;
    WindowHost& m_window;
    QPointer<TavoStore> m_store;
    bool m_installed = false;
    std::unique_ptr<QMenu> m_menu;
    QList<QMenu*> m_submenus;
    QSystemTrayIcon* m_icon = nullptr;
};

} // namespace tavo
