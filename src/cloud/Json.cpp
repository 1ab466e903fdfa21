#include "cloud/Json.h"

#include <QJsonDocument>
#include <QStringDecoder>
#include <cmath>

namespace tavo::json {

std::optional<qint64> exactInteger(const QJsonValue& v) {
    if (!v.isDouble()) return std::nullopt;
    // Qt keeps integers that fit in 64 bits exact; toInteger() refuses fractions and doubles
    // outside the range, which the two sentinels tell apart from a genuine value.
    const qint64 a = v.toInteger(0);
    if (a != 0) return a;
    const qint64 b = v.toInteger(1);
    if (b == 0) return 0;
    return std::nullopt;
}

QByteArray compact(const QJsonObject& obj) {
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

QString utf8OrEmpty(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    return decoder.hasError() ? QString() : text;
}

} // namespace tavo::json
