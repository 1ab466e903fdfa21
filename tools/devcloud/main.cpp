// tavo-devcloud: the development cloud. Loopback unless a test's network namespace needs otherwise.
//   tavo-devcloud [--listen ADDR] [--port N] [--db FILE] [--seed demo] [--otp-code CODE] [--tls CERT KEY]

#include "Server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-devcloud"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Development cloud for Tavo Desktop (loopback by default)"));
    parser.addHelpOption();
    const QCommandLineOption listen(
        "listen", "Address to listen on (not loopback only inside a test's network namespace).", "ADDR",
        "127.0.0.1");
    const QCommandLineOption port("port", "Port (0 picks a free one).", "N", "3200");
    const QCommandLineOption db("db", "SQLite file; in memory when absent.", "FILE");
    const QCommandLineOption seed("seed", "Seed data: demo.", "NAME");
    const QCommandLineOption otp("otp-code", "Always use this sign-in code.", "CODE");
    const QCommandLineOption tls("tls",
                                 "Serve everything over TLS with this PEM certificate (chain) and the key "
                                 "given as the next argument.",
                                 "CERT");
    parser.addOptions({listen, port, db, seed, otp, tls});
    parser.addPositionalArgument("KEY", "With --tls: the PEM private key.", "[KEY]");
    parser.process(app);
    QString tlsKey;
    if (parser.isSet(tls)) {
        if (parser.positionalArguments().size() != 1) {
            fprintf(stderr, "tavo-devcloud: --tls needs CERT and KEY\n");
            return 2;
        }
        tlsKey = parser.positionalArguments().first();
    } else if (!parser.positionalArguments().isEmpty()) {
        parser.showHelp(2);
    }

    bool portOK = false;
    const uint portValue = parser.value(port).toUInt(&portOK);
    if (!portOK || portValue > 65535) parser.showHelp(2);
    if (QHostAddress(parser.value(listen)).isNull()) {
        fprintf(stderr, "tavo-devcloud: --listen needs an IP address, not '%s'\n",
                qPrintable(parser.value(listen)));
        return 2;
    }
    if (parser.isSet(seed) && parser.value(seed) != QLatin1String("demo")) {
        fprintf(stderr, "tavo-devcloud: unknown seed '%s' (known: demo)\n", qPrintable(parser.value(seed)));
        return 2;
    }

    tavo::devcloud::Server server({parser.value(listen), quint16(portValue), parser.value(db),
                                   parser.isSet(seed), parser.value(otp), parser.value(tls), tlsKey});
    if (!server.start()) return 1;
    return app.exec();
}
