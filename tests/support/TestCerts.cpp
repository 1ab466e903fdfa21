#include "support/TestCerts.h"

#include <QFile>
#include <QProcess>

namespace tavo::test {

bool TestCerts::openssl(const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60'000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_log += QStringLiteral("openssl %1: %2\n")
                     .arg(args.join(' '), QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestCerts::makeCA(const QString& name) {
    return openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out",
                    name + ".pem", "-days", "2", "-subj", "/CN=Tavo test " + name, "-addext",
                    "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"});
}

// `days` of -1 makes a certificate that ended before it began: expired whenever it is looked at.
bool TestCerts::sign(const QString& name, const QString& ca, const QString& altName, int days) {
    QFile ext(m_dir.filePath(name + ".ext"));
    if (!ext.open(QIODevice::WriteOnly)) return false;
    ext.write("basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=" + altName.toLatin1() +
              "\n");
    ext.close();
    return openssl({"x509", "-req", "-in", "server.csr", "-CA", ca + ".pem", "-CAkey", ca + ".key",
                    "-set_serial", QString::number(qHash(name)), "-days", QString::number(days), "-extfile",
                    name + ".ext", "-out", name + ".pem"});
}

bool TestCerts::make() {
    return m_dir.isValid() && makeCA("ca") && makeCA("stranger") &&
           openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out", "server.csr",
                    "-subj", "/CN=Tavo test cloud"}) &&
           sign("good", "ca", "IP:127.0.0.1", 2) && sign("otherhost", "ca", "DNS:cloud.example.test", 2) &&
           sign("expired", "ca", "IP:127.0.0.1", -1) && sign("unknownca", "stranger", "IP:127.0.0.1", 2);
}

QString TestCerts::certFile(Server which) const {
    // In the order of Server.
    static const char* const names[] = {"good.pem", "otherhost.pem", "expired.pem", "unknownca.pem"};
    return m_dir.filePath(QLatin1String(names[int(which)]));
}

} // namespace tavo::test
