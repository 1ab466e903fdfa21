#include "Announcement.h"

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>

namespace tavo::boxsim {

namespace {

constexpr auto serviceType = "_tavo._tcp";

void forward(QProcess& child) {
    // avahi-publish reports on both channels; our stdout carries only the listening line.
    const QByteArray text = child.readAllStandardOutput() + child.readAllStandardError();
    for (const QByteArray& line : text.split('\n'))
        if (!line.trimmed().isEmpty()) fprintf(stderr, "tavo-boxsim: avahi-publish: %s\n", line.constData());
}

} // namespace

Announcement::Announcement(const QString& instance, quint16 port) {
    // If the simulator dies without cleaning up (SIGKILL), the announcement goes with it.
    m_child.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QObject::connect(&m_child, &QProcess::readyReadStandardOutput, &m_child, [this] { forward(m_child); });
    QObject::connect(&m_child, &QProcess::readyReadStandardError, &m_child, [this] { forward(m_child); });
    QObject::connect(&m_child, &QProcess::errorOccurred, &m_child, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            fprintf(stderr, "tavo-boxsim: cannot run avahi-publish (%s); serving without an announcement\n",
                    qPrintable(m_child.errorString()));
    });
    QObject::connect(&m_child, &QProcess::finished, &m_child, [this](int code, QProcess::ExitStatus) {
        forward(m_child);
        fprintf(stderr, "tavo-boxsim: avahi-publish exited with code %d; serving without an announcement\n",
                code);
    });
    m_child.start(QStringLiteral("avahi-publish"),
                  {QStringLiteral("-s"), instance, QString::fromLatin1(serviceType), QString::number(port)});
    fprintf(stderr, "tavo-boxsim: announcing \"%s\" as %s on port %u\n", qPrintable(instance), serviceType,
            port);
}

Announcement::~Announcement() {
    if (m_child.state() == QProcess::NotRunning) return;
    QObject::disconnect(&m_child, &QProcess::finished, nullptr, nullptr); // an exit we asked for
    // SIGTERM lets avahi-publish withdraw the service before it goes.
    m_child.terminate();
    if (!m_child.waitForFinished(2000)) {
        m_child.kill();
        m_child.waitForFinished(2000);
    }
}

} // namespace tavo::boxsim
