#include "cloud/Result.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace tavo {

QString apiErrorText(int status, const QString& body) {
    const QJsonDocument doc = QJsonDocument::fromJson(body.toUtf8());
    if (doc.isObject()) {
        const QJsonObject obj = doc.object();
        if (!obj.isEmpty() && obj.value("error").isString()) return obj.value("error").toString();
    }
    return QStringLiteral("HTTP %1").arg(status);
}

QString Failure::description() const {
    return kind == Kind::Api ? apiErrorText(status, body) : message;
}

} // namespace tavo
