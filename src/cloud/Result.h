#pragma once

#include <QString>
#include <utility>
#include <variant>

namespace tavo {

// Why a cloud call failed. `description()` is the text a toast shows.
struct Failure {
    enum class Kind {
        Api,            // the cloud answered with status >= 300
        Transport,      // no connection, timeout, cancelled: the HTTP client's own description
        Decode,         // the reply was not JSON, or not the record asked for
        InvalidAddress, // base address + path is not a URL
        SessionEnded,   // the cloud refused the session token (401): the session is over
    };
    Kind kind = Kind::Transport;
    int status = 0;  // Api only
    QString body;    // Api only: the reply body as UTF-8 (empty when it was not valid UTF-8)
    QString message; // the description for every kind but Api

    static Failure api(int status, QString body) { return {Kind::Api, status, std::move(body), {}}; }
    static Failure transport(QString message) { return {Kind::Transport, 0, {}, std::move(message)}; }
    static Failure decode(QString message) { return {Kind::Decode, 0, {}, std::move(message)}; }
    static Failure invalidAddress(QString message) {
        return {Kind::InvalidAddress, 0, {}, std::move(message)};
    }
    static Failure sessionEnded() { return {Kind::SessionEnded, 401, {}, sessionExpiredText()}; }
    static QString sessionExpiredText() { return QStringLiteral("Your session has expired. Sign in again."); }

    QString description() const;
};

// The user-visible text of a refusal: the body's "error" string when the body is a JSON
// object with at least one key and a string "error"; otherwise "HTTP " + status.
QString apiErrorText(int status, const QString& body);

// A value or the failure that prevented it.
template <class T> class Result {
public:
    // Default: a failure, so a result that was never filled in can never read as success.
    Result() : m_v(Failure::transport(QStringLiteral("The request did not finish."))) {}
    Result(T value) : m_v(std::move(value)) {}
    Result(Failure failure) : m_v(std::move(failure)) {}

    bool ok() const { return m_v.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return std::get<0>(m_v); }
    T&& value() && { return std::get<0>(std::move(m_v)); }
    const T* operator->() const { return &std::get<0>(m_v); }
    const Failure& failure() const { return std::get<1>(m_v); }

private:
    std::variant<T, Failure> m_v;
};

} // namespace tavo
