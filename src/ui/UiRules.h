#pragma once

#include <QObject>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace tavo {

// The screens' rules as small pure functions, so QML only binds them and tests reach them
// directly: enabled states, sanitising input, texts chosen by state.
class UiRules : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Rules)
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

    // Home
    Q_INVOKABLE static QString connWord(int conn);
    Q_INVOKABLE static QString connDot(int conn);
    Q_INVOKABLE static QString accountConnLine(int conn); // the account card's line
    // The tab the home screen opens on: 0, or TAVO_START_TAB (devices|chat|history|account),
    // which the screenshot script uses.
    Q_INVOKABLE static int startTab(); // "connected" | "connecting" | "offline"
    // "skeleton" while reaching the boxes, "empty" once connected with none, else "grid".
    Q_INVOKABLE static QString devicesState(int deviceCount, int conn);
    // The nav bar shows chat while the drawer is open.
    Q_INVOKABLE static int navSelection(int tab, bool drawerOpen);
    // SpringAnimation parameters for a spring given as response (seconds per oscillation) and
    // damping fraction, the way design tools state them.
    Q_INVOKABLE static qreal springStiffness(qreal response);
    Q_INVOKABLE static qreal springDamping(qreal response, qreal dampingFraction);
    Q_INVOKABLE static int gridColumns(qreal width, qreal minCardWidth);
    // The card's actions by role: owners rename, manage members and forget; others leave.
    Q_INVOKABLE static QStringList deviceActions(const QString& role);
    // The name to send on save, or "" when there is nothing to rename.
    Q_INVOKABLE static QString renameTo(const QString& current, const QString& draft);
    // Relay names to send on save: changed, non-empty, trimmed entries only.
    Q_INVOKABLE static QVariantMap relayNameChanges(const QVariantMap& current, int relayCount,
                                                    const QVariantMap& drafts);
    Q_INVOKABLE static QVariantMap relayNameDrafts(const QVariantMap& current, int relayCount);
    Q_INVOKABLE static QString confirmTitle(const QString& role, const QString& name);
    Q_INVOKABLE static QString confirmMessage(const QString& role);
    Q_INVOKABLE static QString confirmButton(const QString& role);

    // Add a box
    Q_INVOKABLE static QString pairCodeInput(const QString& text);        // "abcd1234" -> "ABCD-1234"
    Q_INVOKABLE static bool canClaimCode(const QString& code, bool busy); // a whole code, dash included
    // The discovered section's header: each with its own order of tests, so a running scan
    // with boxes found shows the connecting dot beside "Found on this network".
    Q_INVOKABLE static QString discoveryDot(bool scanning, int found);
    Q_INVOKABLE static QString discoveryTitle(bool scanning, int found);
    Q_INVOKABLE static bool discoveryNote(bool scanning, int found);

    // Chat
    Q_INVOKABLE static QString greeting(int hour, int deviceCount, bool foodConnected);
    Q_INVOKABLE static QStringList quickChips(int hour, const QStringList& relayNames, int deviceCount,
                                              bool foodConnected);
    // Relay names for the chips: every box in list order, each box's names by channel.
    Q_INVOKABLE static QStringList chipRelayNames(QObject* store);
    Q_INVOKABLE static bool foodConnected(const QVariantList& skillRows);
    Q_INVOKABLE static bool canSend(const QString& draft, bool busy);
    Q_INVOKABLE static QString firedCaption(int fired); // "" when nothing fired
    Q_INVOKABLE static QString threadStamp(const QString& updatedAt, const QDateTime& now);
    Q_INVOKABLE static int hourNow(); // the local hour, or TAVO_CLOCK_HOUR for screenshots

    // Voice
    Q_INVOKABLE static QString voiceLabel(int state);
    Q_INVOKABLE static QString voiceHint(int state);

    // Members: the invite's relay chips. The selection comes from a QML `var` (a JS array or a
    // list these return), which compiled bindings cannot convert to QList<int>; hence QVariant.
    Q_INVOKABLE static QVariantList initialInviteRelays(int relayCount);
    Q_INVOKABLE static QString allChipLabel(const QVariant& selected, int relayCount);
    Q_INVOKABLE static QVariantList tapAllChip(const QVariant& selected, int relayCount);
    Q_INVOKABLE static QVariantList tapRelayChip(const QVariant& selected, int ch);
};

} // namespace tavo
