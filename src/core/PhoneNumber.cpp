#include "core/PhoneNumber.h"

namespace tavo {

namespace Sanitize {

QString digits(const QString& text) {
    // By code point, so a numeric character outside the BMP stays whole.
    QString out;
    for (const char32_t c : text.toUcs4())
        if (QChar::isNumber(c)) out += QString::fromUcs4(&c, 1);
    return out;
}

} // namespace Sanitize

SplitPhone splitE164(const QString& phone) {
    const QString digits = Sanitize::digits(phone.startsWith(QLatin1Char('+')) ? phone.mid(1) : phone);
    const Country* best = nullptr;
    for (const Country& c : Countries::all())
        if (digits.startsWith(c.dial) && (!best || c.dial.size() > best->dial.size())) best = &c;
    if (!best) return {std::nullopt, digits};
    return {*best, digits.mid(best->dial.size())};
}

QString formatPhone(const QString& phone) {
    const QString trimmed = trimSpacesAndTabs(phone);
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
