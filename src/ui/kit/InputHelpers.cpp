#include "ui/kit/InputHelpers.h"

#include "core/Countries.h"
#include "core/PhoneNumber.h"
#include "setup/Sanitize.h"

#include <QJSValue>
#include <algorithm>

namespace tavo {

namespace {

QVariantMap countryMap(const Country& c) {
    return {{"iso", c.iso}, {"dial", c.dial}, {"name", c.name}, {"flag", c.flag()}};
}

} // namespace

QString InputHelpers::digits(const QString& text) {
    return Sanitize::digits(text);
}

QString InputHelpers::codeInput(const QString& text) {
    return Sanitize::digits(text).left(6);
}

bool InputHelpers::canSendCode(const QString& national, bool busy) {
    return !busy && national.size() >= 4;
}

bool InputHelpers::canVerify(const QString& code, bool busy) {
    return !busy && code.size() >= 6;
}

QString InputHelpers::composePhone(const QString& dial, const QString& national) {
    return QLatin1Char('+') + dial + national;
}

QVariantMap InputHelpers::refill(const QString& phone) {
    const SplitPhone split = splitE164(phone);
    return {{"iso", split.country ? split.country->iso : QString()}, {"national", split.national}};
}

QString InputHelpers::formatPhone(const QString& phone) {
    return tavo::formatPhone(phone);
}

QVariantMap InputHelpers::defaultCountry() {
    return countryMap(Countries::defaultCountry());
}

QVariantMap InputHelpers::country(const QString& iso) {
    for (const Country& c : Countries::all())
        if (c.iso == iso) return countryMap(c);
    return {};
}

bool InputHelpers::canSend(const QString& draft, bool busy) {
    return !busy && !draft.trimmed().isEmpty();
}

QString InputHelpers::pairCodeInput(const QString& text) {
    return Sanitize::pairCode(text);
}

bool InputHelpers::canClaimCode(const QString& code, bool busy) {
    return !busy && code.size() >= 9;
}

namespace {

QVariantList firstRelays(int count) {
    QVariantList all;
    for (int ch = 1; ch <= count; ++ch)
        all << ch;
    return all;
}

QList<int> relayList(const QVariant& selected) {
    const QVariant plain = selected.metaType() == QMetaType::fromType<QJSValue>()
                               ? selected.value<QJSValue>().toVariant()
                               : selected;
    QList<int> out;
    for (const QVariant& ch : plain.toList())
        out << ch.toInt();
    return out;
}

} // namespace

QVariantList InputHelpers::initialInviteRelays(int relayCount) {
    return firstRelays(std::max(relayCount, 1));
}

QString InputHelpers::allChipLabel(const QVariant& selected, int relayCount) {
    return relayList(selected).size() == relayCount ? QStringLiteral("None") : QStringLiteral("All");
}

QVariantList InputHelpers::tapAllChip(const QVariant& selected, int relayCount) {
    return relayList(selected).size() == relayCount ? QVariantList() : firstRelays(relayCount);
}

QVariantList InputHelpers::tapRelayChip(const QVariant& selected, int ch) {
    QList<int> next = relayList(selected);
    if (!next.removeAll(ch)) next << ch;
    std::sort(next.begin(), next.end());
    QVariantList out;
    for (int c : next)
        out << c;
    return out;
}

} // namespace tavo
