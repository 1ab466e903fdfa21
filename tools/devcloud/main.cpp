// tavo-devcloud: the development cloud. Loopback only.
//   tavo-devcloud [--port N] [--db FILE] [--seed demo] [--otp-code CODE]

#include "Server.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-devcloud"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Development cloud for Tavo Desktop (127.0.0.1 only)"));
    parser.addHelpOption();
    const QCommandLineOption port("port", "Port on 127.0.0.1 (0 picks a free one).", "N", "3200");
    const QCommandLineOption db("db", "SQLite file; in memory when absent.", "FILE");
    const QCommandLineOption seed("seed", "Seed data: demo.", "NAME");
    const QCommandLineOption otp("otp-code", "Always use this sign-in code.", "CODE");
    parser.addOptions({port, db, seed, otp});
    parser.process(app);

    bool portOK = false;
    const uint portValue = parser.value(port).toUInt(&portOK);
    if (!portOK || portValue > 65535) parser.showHelp(2);
    if (parser.isSet(seed) && parser.value(seed) != QLatin1String("demo")) {
        fprintf(stderr, "tavo-devcloud: unknown seed '%s' (known: demo)\n", qPrintable(parser.value(seed)));
        return 2;
    }

    tavo::devcloud::Server server(
        {quint16(portValue), parser.value(db), parser.isSet(seed), parser.value(otp)});
    if (!server.start()) return 1;
    return app.exec();
}
