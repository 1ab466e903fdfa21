#include "platform/linux/XdgAutostart.h"

#include "cloud/CloudConfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcLogin, "tavo.platform")

namespace tavo {

namespace {

bool failed(const QString& why) {
    qCWarning(lcLogin).noquote() << "[LaunchAtLogin] toggle failed: " + why;
    return false;
}

} // namespace

XdgAutostart::XdgAutostart(QString command, QString entryPath)
    : m_command(std::move(command)), m_path(std::move(entryPath)) {
    if (m_path.isEmpty())
        m_path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/autostart/") + applicationID() + QStringLiteral(".desktop");
}

// An entry that exists counts unless the desktop was told to skip it.
bool XdgAutostart::isEnabled() const {
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    bool inEntry = false;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.startsWith('[')) inEntry = line == "[Desktop Entry]";
        if (!inEntry) continue;
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false") return false;
    }
    return true;
}

bool XdgAutostart::setEnabled(bool on) {
    if (!on) {
        if (!QFileInfo::exists(m_path)) return true;
        QFile f(m_path);
        return f.remove() || failed(f.errorString());
    }
    if (isEnabled()) return true;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return failed(QStringLiteral("cannot create %1").arg(QFileInfo(m_path).absolutePath()));
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly)) return failed(f.errorString());
    const QByteArray entry =
        "[Desktop Entry]\nType=Application\nName=Tavo\nComment=Your Tavo boxes in the tray\nExec=" +
        m_command.toUtf8() + "\nIcon=" + applicationID().toUtf8() +
        "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    f.write(entry);
    return f.commit() || failed(f.errorString());
}

} // namespace tavo
