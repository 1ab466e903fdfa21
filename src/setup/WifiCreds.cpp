#include "setup/WifiCreds.h"

#include "cloud/CloudConfig.h"

#include <QStringDecoder>

namespace tavo::WifiCreds {

std::optional<Pair> parse(const std::optional<QByteArray>& value) {
    if (!value) return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(*value);
    if (utf8.hasError()) return std::nullopt;
    const qsizetype cut = text.indexOf(QLatin1Char('\n'));
    if (cut < 0) return std::nullopt;
    return Pair{text.left(cut), text.mid(cut + 1)};
}

QByteArray value(const QString& ssid, const QString& password) {
    return ssid.toUtf8() + '\n' + password.toUtf8();
}

QCoro::Task<std::optional<Pair>> load(Keychain& keychain) {
    const QString service = applicationID();
    co_return parse(co_await keychain.read(service, QString::fromLatin1(account)));
}

QCoro::Task<> save(Keychain& keychain, QString ssid, QString password) {
    const QString service = applicationID();
    const QString key = QString::fromLatin1(account);
    co_await keychain.remove(service, key);
    co_await keychain.write(service, key, value(ssid, password));
}

} // namespace tavo::WifiCreds
