#include "Simulator.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <cstdio>

namespace tavo::boxsim {

namespace {

constexpr auto firmware = "sim-1.0";

// application/x-www-form-urlencoded: '+' is a space, then %XX; the first of a repeated key wins.
QMap<QString, QString> decodeForm(const QByteArray& body) {
    auto decode = [](QByteArray text) {
        text.replace('+', ' ');
        return QString::fromUtf8(QByteArray::fromPercentEncoding(text));
    };
    QMap<QString, QString> fields;
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty()) continue;
        const qsizetype eq = pair.indexOf('=');
        const QString key = decode(eq < 0 ? pair : pair.left(eq));
        if (!fields.contains(key)) fields.insert(key, eq < 0 ? QString() : decode(pair.mid(eq + 1)));
    }
    return fields;
}

QByteArray reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return status < 400 ? "OK" : "Error";
    }
}

// Locally administered, from the last two bytes of the address and the port: boxes on one
// machine (ports) or in separate namespaces (addresses) differ.
QString derivedMac(const QHostAddress& address, quint16 port) {
    quint8 a = 0, b = 0;
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 v4 = address.toIPv4Address();
        a = quint8(v4 >> 8);
        b = quint8(v4);
    } else {
        const Q_IPV6ADDR v6 = address.toIPv6Address();
        a = v6[14];
        b = v6[15];
    }
    return QString::asprintf("02:00:%02X:%02X:%02X:%02X", a, b, port >> 8, port & 0xff);
}

QJsonValue textOrNull(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

} // namespace

Simulator::Simulator(Options options) : m_options(std::move(options)) {
    m_joining.setSingleShot(true);
    connect(&m_joining, &QTimer::timeout, this, [this] { joined(m_ssid.value_or(QString())); });
}

bool Simulator::start() {
    const quint16 port = listen(m_options.address, m_options.port);
    if (port == 0) {
        fprintf(stderr, "tavo-boxsim: cannot listen on %s:%u\n", qPrintable(m_options.address.toString()),
                m_options.port);
        return false;
    }
    if (m_options.mac.isEmpty()) m_options.mac = derivedMac(m_options.address, port);
    m_cloud = std::make_unique<CloudLink>(
        m_options.cloud, CloudLink::Box{m_options.mac, m_options.name, m_options.relays}, this);
    QString host =
        m_options.address == QHostAddress::Any ? QStringLiteral("::") : m_options.address.toString();
    if (m_options.address.protocol() != QAbstractSocket::IPv4Protocol) host = u'[' + host + u']';
    printf("tavo-boxsim listening on http://%s:%u\n", qPrintable(host), port);
    fflush(stdout);

    if (!m_options.joinedSSID.isEmpty()) joined(m_options.joinedSSID);
    if (!m_options.announce.isEmpty())
        m_announcement = std::make_unique<Announcement>(m_options.announce, port);
    return true;
}

void Simulator::joined(const QString& ssid) {
    m_joinedSSID = ssid;
    fprintf(stderr, "tavo-boxsim: on WiFi \"%s\"\n", qPrintable(ssid));
    if (!m_options.neverOnline) m_cloud->join(ssid);
}

bool Simulator::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    ++m_requests;
    const QString path = request.url().path();
    const bool get = request.method() == QHttpServerRequest::Method::Get;
    const bool post = request.method() == QHttpServerRequest::Method::Post;
    const int delay = m_options.delayMs;
    const std::optional<int> drip =
        m_options.trickleRoute.isEmpty() || path == m_options.trickleRoute ? std::nullopt : std::optional(0);

    if (path == QLatin1String("/api/_sim")) {
        send(socket, simState(), 0, 0); // the tests' own view is never slowed down
    } else if (m_options.redirectTo.isValid()) {
        // A captive portal: everything goes elsewhere.
        send(socket, Reply::redirect(m_options.redirectTo.toEncoded()), delay, drip);
    } else if (path == QLatin1String("/api/device-info") && get) {
        send(socket, deviceInfo(), delay, drip);
    } else if (path == QLatin1String("/api/cloud-status") && get) {
        QPointer<QTcpSocket> client(socket);
        auto answer = [this, client, delay, drip] {
            if (client) send(client, cloudStatus(), delay, drip);
        };
        if (m_joinedSSID)
            m_cloud->refresh(answer);
        else
            answer();
    } else if (path == QLatin1String("/api/connect") && post) {
        Reply reply = connectWifi(request.body());
        if (reply.status == 200 && m_options.connectStatus != 200)
            reply = {m_options.connectStatus, {{"ok", false}, {"error", "Not supported"}}};
        if (m_options.refuseConnect)
            refuse(socket, delay);
        else
            send(socket, reply, delay, drip);
    } else if (path == QLatin1String("/api/device-info") || path == QLatin1String("/api/cloud-status") ||
               path == QLatin1String("/api/connect")) {
        send(socket, {405, {{"ok", false}, {"error", "Method not allowed"}}}, delay, drip);
    } else {
        return false;
    }
    return true;
}

void Simulator::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) {
    send(socket, {404, {{"ok", false}, {"error", "Not found"}}}, m_options.delayMs);
}

// The reply is written by hand so that it can go out later without holding up the event loop.
void Simulator::send(QTcpSocket* socket, const Reply& reply, int delayMs, std::optional<int> trickleMs) {
    const int drip = trickleMs.value_or(m_options.trickleMs);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason(reply.status) + "\r\n";
    if (!reply.location.isEmpty()) head += "Location: " + reply.location + "\r\n";
    QByteArray body;
    if (reply.status == 204 || reply.status == 304) {
        head += "\r\n";
    } else {
        body = reply.raw ? *reply.raw : QJsonDocument(reply.body).toJson(QJsonDocument::Compact);
        head += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
                "\r\n\r\n";
    }
    if (delayMs <= 0) {
        write(socket, head, body, drip);
        return;
    }
    // The socket is the timer's context: a client that gives up cancels the reply.
    QTimer::singleShot(delayMs, socket, [socket, head, body, drip] { write(socket, head, body, drip); });
}

void Simulator::write(QTcpSocket* socket, const QByteArray& head, const QByteArray& body, int trickleMs) {
    if (trickleMs <= 0 || body.isEmpty()) {
        socket->write(head + body);
        return;
    }
    // The head at once, then the body one byte at a time: never idle for long, never done soon.
    socket->write(head);
    auto* drip = new QTimer(socket);
    auto left = std::make_shared<QByteArray>(body);
    QObject::connect(drip, &QTimer::timeout, socket, [socket, drip, left] {
        socket->write(left->left(1));
        left->remove(0, 1);
        if (left->isEmpty()) drip->deleteLater();
    });
    drip->start(trickleMs);
}

void Simulator::refuse(QTcpSocket* socket, int delayMs) {
    // Not from inside the server's read handler: it still uses the socket when we return.
    QTimer::singleShot(qMax(delayMs, 0), socket, [socket] { socket->disconnectFromHost(); });
}

Simulator::Reply Simulator::connectWifi(const QByteArray& form) {
    const QMap<QString, QString> fields = decodeForm(form);
    ++m_connectCount;
    m_ssid = fields.contains("ssid") ? std::optional(fields.value("ssid")) : std::nullopt;
    m_password = fields.contains("password") ? std::optional(fields.value("password")) : std::nullopt;
    fprintf(stderr, "tavo-boxsim: asked to join \"%s\"\n", qPrintable(m_ssid.value_or(QString())));
    if (m_options.refuseConnect) return {};
    if (!m_ssid || m_ssid->isEmpty()) return {400, {{"ok", false}, {"error", "ssid required"}}};
    // Off the old network while trying the new one; the hotspot keeps answering meanwhile.
    m_joinedSSID.reset();
    if (!m_options.neverOnline) m_joining.start(qMax(m_options.joinDelayMs, 0));
    return {200, {{"ok", true}}};
}

Simulator::Reply Simulator::deviceInfo() const {
    QString id = m_options.mac;
    id.remove(':');
    return {m_options.infoStatus,
            {{"id", QStringLiteral("tavo-") + id.toLower()},
             {"name", m_options.name},
             {"ip", m_options.address.toString()},
             {"ap", m_options.name},
             {"mac", m_options.mac},
             {"relays", m_options.relays}}};
}

Simulator::Reply Simulator::cloudStatus() {
    const QStringList& modes = m_options.status;
    const QString mode =
        modes.isEmpty() ? QStringLiteral("normal") : modes.value(qMin(m_statusReads, modes.size() - 1));
    ++m_statusReads;
    if (mode == QLatin1String("garbage")) return Reply::bytes(R"({"ok":true,"connected":"maybe"})");
    const CloudLink::View& cloud = m_cloud->view();
    bool connected = m_joinedSSID && !m_options.neverOnline && m_cloud->registered() && cloud.connected;
    if (mode == QLatin1String("offline-code")) connected = false;
    if (mode == QLatin1String("online-no-code")) connected = true;
    QJsonArray states;
    QJsonObject names;
    for (int ch = 1; ch <= m_options.relays; ++ch) {
        states.append(cloud.states.value(ch - 1, false));
        const QString key = QString::number(ch);
        names.insert(key, cloud.names.value(key, QStringLiteral("Relay ") + key));
    }
    QJsonObject o{
        {"ok", true},
        {"connected", connected},
        {"name", m_options.name},
        {"fw", firmware},
        {"relay_count", m_options.relays},
        {"states", states},
        {"names", names},
        {"wifi_ssid", textOrNull(m_joinedSSID)},
        {"wifi_ip", textOrNull(m_joinedSSID ? std::optional(m_options.address.toString()) : std::nullopt)}};
    if (cloud.deviceID > 0) o.insert("device_id", cloud.deviceID);
    const bool unclaimed = cloud.deviceID <= 0 && !cloud.pairCode.isEmpty();
    if (mode == QLatin1String("online-no-code"))
        o.insert("pair_code", "");
    else if (unclaimed && (connected || mode == QLatin1String("offline-code")))
        o.insert("pair_code", cloud.pairCode);
    return {200, o};
}

Simulator::Reply Simulator::simState() const {
    return {200,
            {{"ssid", textOrNull(m_ssid)},
             {"password", textOrNull(m_password)},
             {"connect_count", m_connectCount},
             {"requests", m_requests},
             {"status_reads", m_statusReads},
             {"joined", textOrNull(m_joinedSSID)},
             {"registered", m_cloud->registered()}}};
}

} // namespace tavo::boxsim
