#pragma once

// Strict decoding of cloud records: exact keys; optional = absent or null; a missing or
// mistyped required field fails the whole reply; unknown keys are ignored; 64-bit integers
// stay exact. Records provide `static std::optional<R> fromJson(json::Reader&)` and
// `QJsonObject toJson() const`.

#include "cloud/Result.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMap>
#include <QString>
#include <optional>

namespace tavo::json {

// The exact integer a JSON number holds, or nothing for fractions, out-of-range values
// (which Qt keeps as doubles) and non-numbers. 2, 2.0 and 1e2 are all integers.
std::optional<qint64> exactInteger(const QJsonValue& v);

template <class T, class = void> struct Codec; // specialised below; records use the generic one at the end

class Reader {
public:
    explicit Reader(QJsonObject obj) : m_obj(std::move(obj)) {}

    template <class T> T required(const char* key) {
        if (!m_error.isEmpty()) return T{};
        const auto it = m_obj.constFind(QLatin1StringView(key));
        if (it == m_obj.constEnd()) {
            fail(key, QStringLiteral("is missing"));
            return T{};
        }
        return decodeField<T>(key, *it).value_or(T{});
    }

    template <class T> std::optional<T> optional(const char* key) {
        if (!m_error.isEmpty()) return std::nullopt;
        const auto it = m_obj.constFind(QLatin1StringView(key));
        if (it == m_obj.constEnd() || it->isNull()) return std::nullopt;
        return decodeField<T>(key, *it);
    }

    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    const QJsonObject& object() const { return m_obj; }

    void fail(const char* key, const QString& why) {
        if (m_error.isEmpty()) m_error = QStringLiteral("\"%1\" %2").arg(QLatin1StringView(key), why);
    }

private:
    template <class T> std::optional<T> decodeField(const char* key, const QJsonValue& v) {
        QString why;
        auto out = Codec<T>::decode(v, why);
        if (!out) fail(key, why);
        return out;
    }

    QJsonObject m_obj;
    QString m_error;
};

template <> struct Codec<QString> {
    static std::optional<QString> decode(const QJsonValue& v, QString& why) {
        if (v.isString()) return v.toString();
        why = QStringLiteral("is not a string");
        return std::nullopt;
    }
    static QJsonValue encode(const QString& s) { return s; }
};

template <> struct Codec<bool> {
    static std::optional<bool> decode(const QJsonValue& v, QString& why) {
        if (v.isBool()) return v.toBool();
        why = QStringLiteral("is not a boolean");
        return std::nullopt;
    }
    static QJsonValue encode(bool b) { return b; }
};

template <> struct Codec<qint64> {
    static std::optional<qint64> decode(const QJsonValue& v, QString& why) {
        if (auto i = exactInteger(v)) return i;
        why = QStringLiteral("is not a 64-bit integer");
        return std::nullopt;
    }
    static QJsonValue encode(qint64 i) { return i; }
};

template <> struct Codec<int> {
    static std::optional<int> decode(const QJsonValue& v, QString& why) {
        if (auto i = exactInteger(v);
            i && *i >= std::numeric_limits<int>::min() && *i <= std::numeric_limits<int>::max())
            return int(*i);
        why = QStringLiteral("is not an integer");
        return std::nullopt;
    }
    static QJsonValue encode(int i) { return i; }
};

template <class T> struct Codec<QList<T>> {
    static std::optional<QList<T>> decode(const QJsonValue& v, QString& why) {
        if (!v.isArray()) {
            why = QStringLiteral("is not a list");
            return std::nullopt;
        }
        const QJsonArray array = v.toArray();
        QList<T> out;
        out.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            QString inner;
            auto item = Codec<T>::decode(array.at(i), inner);
            if (!item) {
                why = QStringLiteral("[%1] %2").arg(i).arg(inner);
                return std::nullopt;
            }
            out.append(std::move(*item));
        }
        return out;
    }
    static QJsonValue encode(const QList<T>& list) {
        QJsonArray array;
        for (const T& item : list)
            array.append(Codec<T>::encode(item));
        return array;
    }
};

template <class T> struct Codec<QMap<QString, T>> {
    static std::optional<QMap<QString, T>> decode(const QJsonValue& v, QString& why) {
        if (!v.isObject()) {
            why = QStringLiteral("is not an object");
            return std::nullopt;
        }
        const QJsonObject obj = v.toObject();
        QMap<QString, T> out;
        for (auto it = obj.constBegin(); it != obj.constEnd(); ++it) {
            QString inner;
            auto item = Codec<T>::decode(it.value(), inner);
            if (!item) {
                why = QStringLiteral("[\"%1\"] %2").arg(it.key(), inner);
                return std::nullopt;
            }
            out.insert(it.key(), std::move(*item));
        }
        return out;
    }
    static QJsonValue encode(const QMap<QString, T>& map) {
        QJsonObject obj;
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            obj.insert(it.key(), Codec<T>::encode(it.value()));
        return obj;
    }
};

// Records: anything with a static fromJson(Reader&).
template <class T> struct Codec<T, std::void_t<decltype(T::fromJson(std::declval<Reader&>()))>> {
    static std::optional<T> decode(const QJsonValue& v, QString& why) {
        if (!v.isObject()) {
            why = QStringLiteral("is not an object");
            return std::nullopt;
        }
        Reader reader(v.toObject());
        auto out = T::fromJson(reader);
        if (!reader.ok() || !out) {
            why = reader.ok() ? QStringLiteral("is not valid") : reader.error();
            return std::nullopt;
        }
        return out;
    }
    static QJsonValue encode(const T& record) { return record.toJson(); }
};

// Writes an optional field: absent stays absent.
template <class T> void putOptional(QJsonObject& obj, const char* key, const std::optional<T>& value) {
    if (value) obj.insert(QLatin1StringView(key), Codec<T>::encode(*value));
}

// Decodes a whole reply body as T.
template <class T> Result<T> decode(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return Failure::decode(
            QStringLiteral("The reply couldn't be read: it isn't valid JSON (%1).").arg(error.errorString()));
    const QJsonValue root = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
    QString why;
    auto out = Codec<T>::decode(root, why);
    if (!out) return Failure::decode(QStringLiteral("The reply couldn't be read: %1.").arg(why));
    return std::move(*out);
}

// Decodes one JSON value as T, for socket messages that embed records.
template <class T> std::optional<T> decodeValue(const QJsonValue& v) {
    QString why;
    return Codec<T>::decode(v, why);
}

QByteArray compact(const QJsonObject& obj);
// The bytes as UTF-8 text; an empty text when they are not valid UTF-8.
QString utf8OrEmpty(const QByteArray& bytes);

} // namespace tavo::json
