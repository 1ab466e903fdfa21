#pragma once

#include <QString>
#include <optional>
#include <thread>

class QNetworkReply;
class QWebSocket;

namespace tavo {

// The CA file a build for a self-hosted cloud trusts besides the system's: TAVO_CA_FILE from
// the environment, else the build's (empty: the system's CAs only).
QString cloudCAFile();

// Adds the certificates in `pemFile` to the system's CAs in the process's default TLS
// configuration. Every request and socket starts from that default, so HTTP, the chat stream,
// the device and voice sockets and the covers all trust the same CAs. A QWebSocket copies the
// default when it is made: call this before the first one. On failure (unreadable, no
// certificate) the text to print, and the system's CAs stay the only ones.
std::optional<QString> trustCAFile(const QString& pemFile);

// trustCAFile(cloudCAFile()) when there is one; what both executables call at start-up.
std::optional<QString> trustCloudCAs();
// Whether CAs besides the system's were added: connections made by other stacks than Qt's
// would not know them.
bool extraCAsTrusted();

// Why a request or socket to an https:// or wss:// address never got its TLS connection: Qt's
// words for a refused certificate, or, when the peer hung up during the handshake, that nothing
// speaking TLS answered. Nothing for any other failure.
std::optional<QString> tlsFailure(const QNetworkReply& reply);
std::optional<QString> tlsFailure(const QWebSocket& ws);

// Loads the TLS back end on a thread of its own. Every QWebSocket, ws:// ones too, loads it when it
// is made; started early, the load overlaps the window's start instead of holding up the first
// socket on the main thread. Make it after the application object and let it go before: the
// back end is a plugin, and its loading reads the application's plugin paths and connects to
// it, so it must neither start while QCoreApplication is being made nor run on while it goes.
// Not a pool thread: the TLS library keeps state per thread and frees it when the thread ends,
// which a pool thread does not do before the process exits.
class TlsWarmUp {
public:
    TlsWarmUp();
    ~TlsWarmUp() { m_thread.join(); }
    TlsWarmUp(const TlsWarmUp&) = delete;
    TlsWarmUp& operator=(const TlsWarmUp&) = delete;

private:
    std::thread m_thread;
};

} // namespace tavo
