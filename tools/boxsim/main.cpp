// tavo-boxsim: one simulated Tavo box's local HTTP API, on loopback unless told otherwise.
// See README.md for the options.

#include "Simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

// SIGTERM and SIGINT end the event loop, so the destructors run and the announcement goes.
void quitOnSignals(QCoreApplication& app) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[1], &byte, 1);
        app.quit();
    });
}

std::optional<int> number(const QCommandLineParser& parser, const QCommandLineOption& option, int low,
                          int high) {
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (ok && value >= low && value <= high) return value;
    fprintf(stderr, "tavo-boxsim: --%s needs a number from %d to %d, not '%s'\n",
            qPrintable(option.names().first()), low, high, qPrintable(parser.value(option)));
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavo-boxsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("One simulated Tavo box's local HTTP API"));
    parser.addHelpOption();
    const QCommandLineOption address("address", "Address to listen on (any: every address, both families).",
                                     "A", "127.0.0.1");
    const QCommandLineOption port("port", "Port (0 picks a free one).", "N", "0");
    const QCommandLineOption cloud("cloud", "Base URL of tavo-devcloud, e.g. http://127.0.0.1:3200.", "URL");
    const QCommandLineOption name("name", "The box's name (and its hotspot's).", "TEXT", "Tavo-1A2B");
    const QCommandLineOption relays("relays", "Number of relays.", "N", "4");
    const QCommandLineOption mac("mac", "MAC address; derived from the address and port when absent.",
                                 "TEXT");
    const QCommandLineOption joinDelay("join-delay-ms", "Time from /api/connect to being on the WiFi.", "N",
                                       "3000");
    const QCommandLineOption joined("joined", "Start on the home network SSID, registered with the cloud.",
                                    "SSID");
    const QCommandLineOption announce(
        "announce", "Announce _tavo._tcp under this instance name (avahi-publish).", "INSTANCE");
    const QCommandLineOption refuseConnect("refuse-connect",
                                           "Close the connection of /api/connect without a reply.");
    const QCommandLineOption neverOnline("never-online", "Accept /api/connect but never reach the cloud.");
    const QCommandLineOption infoStatus("info-status", "HTTP status of /api/device-info.", "CODE", "200");
    const QCommandLineOption connectStatus("connect-status", "HTTP status of an accepted /api/connect.",
                                           "CODE", "200");
    const QCommandLineOption delay("delay-ms", "Delay every reply (but /api/_sim's) by N ms.", "N", "0");
    const QCommandLineOption trickle(
        "trickle-ms", "Send every reply body (but /api/_sim's) one byte every N ms.", "N", "0");
    const QCommandLineOption trickleRoute("trickle-route",
                                          "Trickle only this route's replies (e.g. /api/connect).", "PATH");
    const QCommandLineOption redirect("redirect-to", "Answer every route (but /api/_sim) with a 302 to URL.",
                                      "URL");
    const QCommandLineOption status(
        "status",
        "Successive /api/cloud-status answers, the last repeating: normal, offline-code, "
        "online-no-code, garbage (comma-separated).",
        "MODES", "normal");
    parser.addOptions({address, port, cloud, name, relays, mac, joinDelay, joined, announce, refuseConnect,
                       neverOnline, infoStatus, connectStatus, delay, trickle, trickleRoute, redirect,
                       status});
    parser.process(app);

    tavo::boxsim::Options options;
    // "any": both families at once, as a box on a dual-stack home network serves.
    options.address = parser.value(address) == QLatin1String("any") ? QHostAddress(QHostAddress::Any)
                                                                    : QHostAddress(parser.value(address));
    if (options.address.isNull()) {
        fprintf(stderr, "tavo-boxsim: --address needs an IP address, not '%s'\n",
                qPrintable(parser.value(address)));
        return 2;
    }
    if (parser.isSet(cloud)) {
        options.cloud = QUrl(parser.value(cloud), QUrl::StrictMode);
        if (!options.cloud.isValid() || options.cloud.scheme() != QLatin1String("http") ||
            options.cloud.host().isEmpty()) {
            fprintf(stderr, "tavo-boxsim: --cloud needs an http:// URL, not '%s'\n",
                    qPrintable(parser.value(cloud)));
            return 2;
        }
        if (options.cloud.path().endsWith('/')) options.cloud.setPath(options.cloud.path().chopped(1));
    }
    const std::optional<int> portValue = number(parser, port, 0, 65535);
    const std::optional<int> relayCount = number(parser, relays, 1, 32);
    const std::optional<int> joinDelayMs = number(parser, joinDelay, 0, 3'600'000);
    const std::optional<int> infoCode = number(parser, infoStatus, 200, 599);
    const std::optional<int> connectCode = number(parser, connectStatus, 200, 599);
    const std::optional<int> delayMs = number(parser, delay, 0, 3'600'000);
    const std::optional<int> trickleMs = number(parser, trickle, 0, 60'000);
    if (!portValue || !relayCount || !joinDelayMs || !infoCode || !connectCode || !delayMs || !trickleMs)
        return 2;
    if (parser.isSet(redirect)) {
        options.redirectTo = QUrl(parser.value(redirect), QUrl::StrictMode);
        if (!options.redirectTo.isValid() || options.redirectTo.isRelative()) {
            fprintf(stderr, "tavo-boxsim: --redirect-to needs an absolute URL, not '%s'\n",
                    qPrintable(parser.value(redirect)));
            return 2;
        }
    }
    options.status = parser.value(status).split(',', Qt::SkipEmptyParts);
    for (const QString& mode : options.status)
        if (!tavo::boxsim::statusModes.contains(mode)) {
            fprintf(stderr, "tavo-boxsim: --status takes %s, not '%s'\n",
                    qPrintable(tavo::boxsim::statusModes.join(", ")), qPrintable(mode));
            return 2;
        }
    options.port = quint16(*portValue);
    options.relays = *relayCount;
    options.joinDelayMs = *joinDelayMs;
    options.infoStatus = *infoCode;
    options.connectStatus = *connectCode;
    options.delayMs = *delayMs;
    options.trickleMs = *trickleMs;
    options.trickleRoute = parser.value(trickleRoute);
    options.name = parser.value(name);
    options.mac = parser.value(mac).trimmed();
    options.joinedSSID = parser.value(joined);
    options.announce = parser.value(announce);
    options.refuseConnect = parser.isSet(refuseConnect);
    options.neverOnline = parser.isSet(neverOnline);

    quitOnSignals(app);
    tavo::boxsim::Simulator simulator(options);
    if (!simulator.start()) return 1;
    return app.exec();
}
