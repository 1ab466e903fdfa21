#include "setup/Sanitize.h"

namespace tavo::Sanitize {

QString pairCode(const QString& text) {
    QString kept;
    for (const QChar c : text.toUpper())
        if (c.isLetterOrNumber()) kept += c;
    if (kept.size() < 5) return kept;
    return kept.left(4) + QLatin1Char('-') + kept.mid(4, 4);
}

QString claimCode(const QString& text) {
    const QString upper = text.toUpper();
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype from = 0, to = upper.size();
    while (from < to && blank(upper.at(from)))
        ++from;
    while (to > from && blank(upper.at(to - 1)))
        --to;
    return upper.mid(from, to - from);
}

} // namespace tavo::Sanitize
