#pragma once

#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace tavo {

// What the forms do with what is typed: phone numbers and codes cleaned and formatted as
// they are entered, when a form's button is enabled, the invite's relay chips. Pure
// functions, so QML only binds them and tests reach them directly.
class InputHelpers : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Input)
    QML_SINGLETON
public:
    using QObject::QObject;

    // Sign-in
    Q_INVOKABLE static QString digits(const QString& text);
    Q_INVOKABLE static QString codeInput(const QString& text); // the first 6 digits
    Q_INVOKABLE static bool canSendCode(const QString& national, bool busy);
    Q_INVOKABLE static bool canVerify(const QString& code, bool busy);
    Q_INVOKABLE static QString composePhone(const QString& dial, const QString& national);
    // {iso, national} to refill the number form from a stored phone; iso empty = keep the country.
    Q_INVOKABLE static QVariantMap refill(const QString& phone);
    Q_INVOKABLE static QString formatPhone(const QString& phone);
    Q_INVOKABLE static QVariantMap defaultCountry();
    // {iso, dial, name, flag} of a table row by region code; empty when unknown.
    Q_INVOKABLE static QVariantMap country(const QString& iso);

    // Add a box
    Q_INVOKABLE static QString pairCodeInput(const QString& text);        // "abcd1234" -> "ABCD-1234"
    Q_INVOKABLE static bool canClaimCode(const QString& code, bool busy); // a whole code, dash included

    // Chat: the composer
    Q_INVOKABLE static bool canSend(const QString& draft, bool busy);

    // Members: the invite's relay chips. The selection comes from a QML `var` (a JS array or a
    // list these return), which compiled bindings cannot convert to QList<int>; hence QVariant.
    Q_INVOKABLE static QVariantList initialInviteRelays(int relayCount);
    Q_INVOKABLE static QString allChipLabel(const QVariant& selected, int relayCount);
    Q_INVOKABLE static QVariantList tapAllChip(const QVariant& selected, int relayCount);
    Q_INVOKABLE static QVariantList tapRelayChip(const QVariant& selected, int ch);
};

} // namespace tavo
