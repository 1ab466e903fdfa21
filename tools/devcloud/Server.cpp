#include "Server.h"

#include "Media.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <cstdio>

namespace tavo::devcloud {

namespace {

const QRegularExpression e164(QRegularExpression::anchoredPattern(QStringLiteral(R"(\+[0-9]{7,15})")));

QString methodName(QHttpServerRequest::Method m) {
    switch (m) {
    case QHttpServerRequest::Method::Get:
        return "GET";
    case QHttpServerRequest::Method::Post:
        return "POST";
    case QHttpServerRequest::Method::Put:
        return "PUT";
    case QHttpServerRequest::Method::Delete:
        return "DELETE";
    case QHttpServerRequest::Method::Patch:
        return "PATCH";
    case QHttpServerRequest::Method::Head:
        return "HEAD";
    default:
        return "OTHER";
    }
}

} // namespace

bool Server::isE164(const QString& phone) {
    return e164.match(phone).hasMatch();
}

Server::Server(Options options) : m_options(std::move(options)) {
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &Server::acceptSocket);
}

bool Server::start() {
    if (!m_options.tlsCert.isEmpty() && !setUpTls()) return false;
    if (!m_state.open(m_options.db)) {
        fprintf(stderr, "tavo-devcloud: cannot open database %s\n", qPrintable(m_options.db));
        return false;
    }
    m_chat.open();
    if (m_options.seedDemo) seed();
    const QHostAddress address(m_options.address);
    const quint16 port = address.isNull() ? 0 : listen(address, m_options.port);
    if (port == 0) {
        fprintf(stderr, "tavo-devcloud: cannot listen on %s:%u\n", qPrintable(m_options.address),
                m_options.port);
        return false;
    }
    printf("tavo-devcloud listening on %s:%u\n", qPrintable(address.toString()), port);
    fflush(stdout);
    return true;
}

// The upgraded sockets are the TLS connections themselves, so HTTP, the chat stream and both
// WebSockets are all encrypted on the one port.
bool Server::setUpTls() {
    QFile certFile(m_options.tlsCert), keyFile(m_options.tlsKey);
    const QList<QSslCertificate> chain = certFile.open(QIODevice::ReadOnly)
                                             ? QSslCertificate::fromData(certFile.readAll(), QSsl::Pem)
                                             : QList<QSslCertificate>();
    if (chain.isEmpty()) {
        fprintf(stderr, "tavo-devcloud: no PEM certificate in %s\n", qPrintable(m_options.tlsCert));
        return false;
    }
    const QSslKey key =
        keyFile.open(QIODevice::ReadOnly) ? QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem) : QSslKey();
    if (key.isNull()) {
        fprintf(stderr, "tavo-devcloud: no PEM RSA key in %s\n", qPrintable(m_options.tlsKey));
        return false;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificateChain(chain);
    tls.setPrivateKey(key);
    sslSetup(tls);
    return true;
}

QString Server::mediaBase(quint16 port) const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(m_options.tlsCert.isEmpty() ? "http" : "https").arg(port);
}

void Server::seed() {
    const QString demo = QStringLiteral("+919876543210");
    if (m_state.userFor(demo, false) != 0) return; // a file that was seeded before keeps its data
    const qint64 me = m_state.userFor(demo, true);
    const qint64 other = m_state.userFor(QStringLiteral("+919800000001"), true);

    Box& living = m_state.addBox(me, QStringLiteral("Living Room"), 4);
    living.names = {{"1", "Fan"}, {"2", "Lamp"}, {"3", "TV"}, {"4", "Heater"}};
    living.states = {true, false, false, false};
    living.wifiSSID = QStringLiteral("HomeNet");
    living.wifiRSSI = -52;
    Box& study = m_state.addBox(me, QStringLiteral("Study"), 2);
    study.wifiSSID = QStringLiteral("HomeNet");
    study.wifiRSSI = -67;
    Box& guest = m_state.addBox(other, QStringLiteral("Guest House"), 3);
    guest.names = {{"1", "Porch Light"}};
    guest.members.insert(me, 1);
    guest.online = false;
    guest.offlineSince = QDateTime::currentDateTimeUtc().addSecs(-3 * 3600).toString(Qt::ISODate);

    // A little history, oldest first, so the activity screens have something to show.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    auto past = [&](qint64 secs) { return now.addSecs(-secs).toString(Qt::ISODate); };
    const struct {
        qint64 box, user;
        const char *source, *action;
        std::optional<int> ch;
        std::optional<bool> state;
        qint64 ago;
    } history[] = {
        {living.id, 0, "system", "all_off", {}, {}, 2 * 86400},
        {living.id, me, "app", "rename_relay", 4, {}, 26 * 3600},
        {study.id, me, "voice", "set", 1, true, 5 * 3600},
        {guest.id, other, "app", "set", 1, true, 4 * 3600},
        {living.id, me, "chat", "set", 1, true, 40 * 60},
        {study.id, me, "app", "set", 1, false, 12 * 60},
    };
    for (const auto& h : history)
        m_state.logActivity({0, h.box, h.user, QString::fromLatin1(h.source), QString::fromLatin1(h.action),
                             h.ch, h.state, past(h.ago)});
    m_state.save();
}

Server::Reply Server::json(const QJsonObject& o, int status) {
    return {status, QJsonDocument(o).toJson(QJsonDocument::Compact), "application/json", {}};
}

std::optional<qint64> Server::authorise(const QHttpServerRequest& request) const {
    const QByteArray header = request.value("authorization");
    if (!header.startsWith("Bearer ")) return std::nullopt;
    return m_state.userOfToken(QString::fromUtf8(header.mid(7)));
}

void Server::record(const QHttpServerRequest& request) {
    QJsonObject headers;
    for (const auto& [key, value] : request.headers())
        headers.insert(QString::fromLatin1(key).toLower(), QString::fromUtf8(value));
    m_requests.append(QJsonObject{{"method", methodName(request.method())},
                                  {"path", request.url().path()},
                                  {"query", request.url().query()},
                                  {"headers", headers},
                                  {"body", QString::fromUtf8(request.body())}});
    while (m_requests.size() > 200)
        m_requests.removeFirst();
}

bool Server::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    const QString path = request.url().path();
    // Upgrades on the socket paths are taken over by newWebSocketConnection; write nothing.
    if ((path == QLatin1String("/ws/client") || path == QLatin1String("/v1/voice/stream")) &&
        request.value("upgrade").toLower() == "websocket")
        return true;
    if (path == QLatin1String("/v1/chat/stream") && request.method() == QHttpServerRequest::Method::Post) {
        record(request);
        streamChat(request, socket);
        return true;
    }

    const Reply reply = route(request);
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(reply.status));
    responder.writeHeader("Content-Type", reply.contentType);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    if (!reply.location.isEmpty()) responder.writeHeader("Location", reply.location);
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeBody(reply.body);
    return true;
}

// A file as a streaming service serves one: a player that seeks asks for the rest from a byte
// on ("Range: bytes=N-" or "bytes=N-M"), and gets just that.
Server::Reply Server::media(const MediaFile& file, const QByteArray& range) {
    const qsizetype size = file.body.size();
    static const QRegularExpression bytes(QStringLiteral("^bytes=(\\d+)-(\\d*)$"));
    const QRegularExpressionMatch m = bytes.match(QString::fromLatin1(range.trimmed()));
    if (range.isEmpty() || !m.hasMatch())
        return {200, file.body, file.contentType, {}, {{"Accept-Ranges", "bytes"}}};
    const qsizetype first = m.captured(1).toLongLong();
    const qsizetype last = m.captured(2).isEmpty() ? size - 1 : qMin(m.captured(2).toLongLong(), size - 1);
    if (first >= size || last < first)
        return {416, {}, file.contentType, {}, {{"Content-Range", "bytes */" + QByteArray::number(size)}}};
    return {206,
            file.body.mid(first, last - first + 1),
            file.contentType,
            {},
            {{"Accept-Ranges", "bytes"},
             {"Content-Range", QStringLiteral("bytes %1-%2/%3").arg(first).arg(last).arg(size).toLatin1()}}};
}

void Server::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    makeResponder(request, socket)
        .write(QJsonDocument(QJsonObject{{"error", "Not found"}}),
               QHttpServerResponder::StatusCode::NotFound);
}

Server::Reply Server::route(const QHttpServerRequest& request) {
    const QString method = methodName(request.method());
    const QStringList parts = request.url().path().split('/', Qt::SkipEmptyParts);
    QJsonParseError parseError{};
    const QJsonObject body = QJsonDocument::fromJson(request.body(), &parseError).object();

    if (!parts.isEmpty() && parts.first() == QLatin1String("dev"))
        return routeDev({method, parts, QUrlQuery(request.url()), body});
    // Media are public, as a streaming service's URLs would be.
    if (method == "GET" && parts.size() == 2 && parts.first() == QLatin1String("media")) {
        if (std::optional<MediaFile> file = mediaFile(parts[1])) return media(*file, request.value("Range"));
        return error(404, "Not found");
    }
    // The sign-in page is the outside service's, opened in a browser without our token.
    if (method == "GET" && parts.value(0) == QLatin1String("skills"))
        if (std::optional<Reply> page = routeSkillPage(parts, QUrlQuery(request.url()))) return *page;
    record(request);
    if (auto it = m_failNext.find(method + ' ' + request.url().path()); it != m_failNext.end()) {
        Reply r = *it;
        m_failNext.erase(it);
        return r;
    }

    if (method == "POST" && parts == QStringList{"v1", "auth", "start"}) {
        const QString phone = body.value("phone").toString();
        if (!e164.match(phone).hasMatch()) return error(400, "Invalid phone number");
        const QString code = m_options.otpCode.isEmpty()
                                 ? QStringLiteral("%1").arg(QRandomGenerator::global()->bounded(1000000), 6,
                                                            10, QLatin1Char('0'))
                                 : m_options.otpCode;
        m_pendingCodes.insert(phone, code);
        // A real service sends this over WhatsApp.
        fprintf(stderr, "tavo-devcloud: sign-in code for %s is %s\n", qPrintable(phone), qPrintable(code));
        return json({{"ok", true}});
    }
    if (method == "POST" && parts == QStringList{"v1", "auth", "verify"}) {
        const QString phone = body.value("phone").toString();
        const QString code = body.value("code").toString();
        if (code.isEmpty() || m_pendingCodes.value(phone) != code) return error(401, "Invalid code");
        m_pendingCodes.remove(phone);
        const qint64 user = m_state.userFor(phone, true);
        return json({{"user_id", user}, {"session_token", m_state.newSession(user)}});
    }

    const std::optional<qint64> user = authorise(request);
    if (!user) return error(401, "Unauthorized");

    if (method == "GET" && parts == QStringList{"v1", "devices"}) {
        QJsonArray list;
        for (qint64 id : m_state.boxesOf(*user))
            list.append(m_state.deviceJson(*m_state.box(id), *user));
        return json({{"devices", list}});
    }
    if (std::optional<Reply> device = routeDevice(method, parts, QUrlQuery(request.url()), body, *user))
        return *device;
    if (std::optional<Reply> skills = routeSkills(method, parts, request, *user)) return *skills;
    if (std::optional<Reply> chat = routeChat(method, parts, *user)) return *chat;
    return error(404, "Not found");
}

Server::Reply Server::routeDev(const DevRequest& request) {
    const auto matches = [&](const DevRoute& route) {
        if (route.method && request.method != QLatin1String(route.method)) return false;
        const QStringList path = QString::fromLatin1(route.path).split('/');
        for (qsizetype i = 0; i < path.size(); ++i)
            if (request.parts.value(i + 1) != path[i]) return false;
        return true;
    };
    for (const std::span<const DevRoute> table :
         {devCloudRoutes(), devSocketRoutes(), devBoxRoutes(), devAssistantRoutes()})
        for (const DevRoute& route : table)
            if (matches(route)) return route.answer(*this, request);
    return error(404, "Not found");
}

void Server::acceptSocket() {
    while (std::unique_ptr<QWebSocket> owned = nextPendingWebSocketConnection()) {
        QWebSocket* ws = owned.release();
        ws->setParent(this);
        if (ws->requestUrl().path() == QLatin1String("/v1/voice/stream")) {
            acceptVoice(ws);
            continue;
        }
        const QString token = QUrlQuery(ws->requestUrl()).queryItemValue("token");
        const std::optional<qint64> user = m_state.userOfToken(token);
        if (!user) {
            ws->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("Unauthorized"));
            connect(ws, &QWebSocket::disconnected, ws, &QObject::deleteLater);
            continue;
        }
        m_sockets.insert(*user, ws);
        ++m_socketsOpened;
        connect(ws, &QWebSocket::textMessageReceived, this,
                [this, ws, u = *user](const QString& text) { onClientFrame(ws, u, text); });
        connect(ws, &QWebSocket::disconnected, this, [this, ws, u = *user] {
            m_lastCloseCode = int(ws->closeCode());
            m_sockets.remove(u, ws);
            ws->deleteLater();
        });
        QJsonArray list;
        for (qint64 id : m_state.boxesOf(*user))
            list.append(m_state.deviceJson(*m_state.box(id), *user));
        ws->sendTextMessage(
            QString::fromUtf8(QJsonDocument(QJsonObject{{"type", "welcome"}, {"devices", list}})
                                  .toJson(QJsonDocument::Compact)));
    }
}

void Server::onClientFrame(QWebSocket* ws, qint64 user, const QString& text) {
    const QJsonObject msg = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString type = msg.value("type").toString();
    auto refuse = [ws](const QString& why) { send(ws, {{"type", "error"}, {"error", why}}); };
    if (type != "set" && type != "all" && type != "names") return; // malformed frames are ignored

    Box* b = m_state.box(msg.value("device_id").toInteger());
    if (!b || !m_state.hasAccess(*b, user)) return refuse(QStringLiteral("Unknown box"));
    const qint64 mask = m_state.maskOf(*b, user);

    if (type == "names") {
        if (b->owner != user) return refuse(QStringLiteral("Only the owner can rename relays"));
        const QJsonObject names = msg.value("names").toObject();
        for (auto it = names.constBegin(); it != names.constEnd(); ++it) {
            if (!it->isString()) continue;
            b->names.insert(it.key(), it->toString());
            m_state.logActivity({0,
                                 b->id,
                                 user,
                                 QStringLiteral("app"),
                                 QStringLiteral("rename_relay"),
                                 it.key().toInt(),
                                 std::nullopt,
                                 {}});
        }
        m_state.save();
        pushToBox(*b, {{"type", "names"}, {"device_id", b->id}, {"names", names}});
        return;
    }
    // Every set and all is answered with the box's real states, a refused one too, so a client
    // that switched its tiles at once ends showing what the box did. A "state" marks the box
    // online on the client, so for an offline box its presence follows.
    auto refuseWithTruth = [&](const QString& why) {
        refuse(why);
        send(ws, stateMessage(*b));
        if (!b->online) send(ws, presenceMessage(*b));
    };
    if (!b->online) return refuseWithTruth(QStringLiteral("Box is offline"));
    const bool on = msg.value("state").toBool();
    if (type == "set") {
        const int ch = msg.value("ch").toInt();
        if (ch < 1 || ch > b->relayCount) return refuseWithTruth(QStringLiteral("Invalid channel"));
        if (!((quint64(mask) >> (ch - 1)) & 1u))
            return refuseWithTruth(QStringLiteral("No access to this relay"));
        b->states[ch - 1] = on;
        m_state.logActivity({0, b->id, user, QStringLiteral("app"), QStringLiteral("set"), ch, on, {}});
    } else {
        for (int ch = 1; ch <= b->relayCount; ++ch)
            if ((quint64(mask) >> (ch - 1)) & 1u) b->states[ch - 1] = on; // forbidden channels stay
        m_state.logActivity(
            {0, b->id, user, QStringLiteral("app"), QStringLiteral("all"), std::nullopt, on, {}});
    }
    pushState(*b);
}

void Server::pushTo(qint64 user, const QJsonObject& msg) {
    const QString text = QString::fromUtf8(QJsonDocument(msg).toJson(QJsonDocument::Compact));
    for (QWebSocket* ws : m_sockets.values(user))
        ws->sendTextMessage(text);
}

void Server::pushToBox(const Box& box, const QJsonObject& msg) {
    for (qint64 user : m_state.usersOf(box))
        pushTo(user, msg);
}

QJsonObject Server::stateMessage(const Box& box) {
    QJsonArray states;
    for (bool s : box.states)
        states.append(s);
    return {{"type", "state"}, {"device_id", box.id}, {"states", states}};
}

QJsonObject Server::presenceMessage(const Box& box) {
    QJsonObject msg{{"type", "presence"}, {"device_id", box.id}, {"online", box.online}};
    if (!box.online) {
        msg.insert("offline_since", box.offlineSince);
        if (!box.offlineHint.isEmpty()) msg.insert("offline_hint", box.offlineHint);
    } else {
        if (!box.wifiSSID.isEmpty()) msg.insert("wifi_ssid", box.wifiSSID);
        if (box.wifiRSSI) msg.insert("wifi_rssi", *box.wifiRSSI);
    }
    return msg;
}

void Server::send(QWebSocket* ws, const QJsonObject& msg) {
    ws->sendTextMessage(QString::fromUtf8(QJsonDocument(msg).toJson(QJsonDocument::Compact)));
}

void Server::pushState(const Box& box) {
    pushToBox(box, stateMessage(box));
}

} // namespace tavo::devcloud
