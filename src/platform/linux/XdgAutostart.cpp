#include "platform/linux/XdgAutostart.h"

#include "cloud/CloudConfig.h"
#include "core/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace tavo {

namespace {

bool failed(const QString& why) {
    qCWarning(lcPlatform).noquote() << "[LaunchAtLogin] toggle failed: " + why;
    return false;
}

} // namespace

// One Exec argument as the Desktop Entry rules want it: quoted when it holds a reserved
// character (a space in the path, say), with ", `, $ and \ escaped inside the quotes; "%"
// doubled, since it starts a field code; then the escapes every string value has.
QByteArray XdgAutostart::execArgument(const QString& arg) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString quoted;
    if (std::any_of(arg.begin(), arg.end(), [](QChar c) { return reserved.contains(c); })) {
        quoted = QStringLiteral("\"");
        for (const QChar c : arg) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
            quoted += c;
        }
        quoted += u'"';
    } else {
        quoted = arg;
    }
    quoted.replace(u'%', QStringLiteral("%%"));
    QString value;
    for (const QChar c : quoted) {
        if (c == u'\\')
            value += QStringLiteral("\\\\");
        else if (c == u'\n')
            value += QStringLiteral("\\n");
        else if (c == u'\t')
            value += QStringLiteral("\\t");
        else if (c == u'\r')
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value.toUtf8();
}

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
        execArgument(m_command) + "\nIcon=" + applicationID().toUtf8() +
        "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    f.write(entry);
    if (!f.commit()) return failed(f.errorString());
    // What the desktop will read is what the switch then shows: read it back.
    QFile written(m_path);
    if (!written.open(QIODevice::ReadOnly) || written.readAll() != entry)
        return failed(QStringLiteral("%1 does not hold the entry written").arg(m_path));
    return true;
}

} // namespace tavo
