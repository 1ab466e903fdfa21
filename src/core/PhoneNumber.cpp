#include "core/PhoneNumber.h"

#include <QRegularExpression>

namespace tavo {

namespace Sanitize {

QString digits(const QString& text) {
    // Every decimal digit, of whatever script ("९", "٣", full-width "７", outside the BMP too),
    // as its ASCII digit: phone numbers and codes are sent in ASCII, so a digit kept as typed
    // would pass the field and then be refused. Other numbers ("½", "²", "Ⅻ") are no digits.
    QString out;
    for (const char32_t c : text.toUcs4())
        if (QChar::category(c) == QChar::Number_DecimalDigit)
            out += QLatin1Char(char('0' + QChar::digitValue(c)));
    return out;
}

} // namespace Sanitize

bool isE164(const QString& phone) {
    // Anchored to the whole text: "$" alone would let a trailing line feed through.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral(R"(\+[0-9]{7,15})")));
    return pattern.match(phone).hasMatch();
}

bool isSixDigitCode(const QString& code) {
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[0-9]{6}")));
    return pattern.match(code).hasMatch();
}

SplitPhone splitE164(const QString& phone) {
    const QString digits = Sanitize::digits(phone.startsWith(QLatin1Char('+')) ? phone.mid(1) : phone);
    const Country* best = nullptr;
    for (const Country& c : Countries::all())
        if (digits.startsWith(c.dial) && (!best || c.dial.size() > best->dial.size())) best = &c;
    if (!best) return {std::nullopt, digits};
    return {*best, digits.mid(best->dial.size())};
}

QString formatPhone(const QString& phone) {
    QString trimmed = trimSpacesAndTabs(phone);
    if (!trimmed.startsWith(QLatin1Char('+'))) return trimmed;
    const QString d = Sanitize::digits(trimmed.mid(1));
    if (d.startsWith(QLatin1String("91")) && d.size() == 12) return "+91 " + d.mid(2, 5) + " " + d.right(5);
    if (d.size() < 5) return "+" + d;
    const QString c = d.left(2);
    const QString r = d.mid(2);
    if (r.size() <= 5) return "+" + c + " " + r;
    const qsizetype k = r.size() < 9 ? 4 : 5;
    return "+" + c + " " + r.left(r.size() - k) + " " + r.right(k);
}

} // namespace tavo
