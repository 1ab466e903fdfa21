#pragma once

#include <QStringList>
#include <QTemporaryDir>

namespace tavo::test {

// A throw-away CA and server certificates made with openssl at test time, in a temporary folder
// that goes with the object. Every server certificate shares one key and a common name that
// matches no host (Qt checks the common name too): what they are for is in subjectAltName.
class TestCerts {
public:
    enum class Server {
        Good,      // for 127.0.0.1 (subjectAltName IP), signed by the CA
        OtherHost, // for another host name only, signed by the CA
        Expired,   // for 127.0.0.1, signed by the CA, no longer valid
        UnknownCA, // for 127.0.0.1, signed by a CA nobody was told about
    };

    bool make(); // false when openssl failed; log() says why
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    QString certFile(Server which) const;
    QString keyFile() const { return m_dir.filePath(QStringLiteral("server.key")); }
    // tavo-devcloud's arguments to serve with that certificate.
    QStringList cloudArgs(Server which) const {
        return {QStringLiteral("--tls"), certFile(which), keyFile()};
    }
    QString log() const { return m_log; }

private:
    bool openssl(const QStringList& args);
    bool makeCA(const QString& name);
    bool sign(const QString& name, const QString& ca, const QString& altName, int days);

    QTemporaryDir m_dir;
    QString m_log;
};

} // namespace tavo::test
