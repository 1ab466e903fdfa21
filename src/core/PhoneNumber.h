#pragma once

#include "core/Countries.h"

#include <optional>

namespace tavo {

struct SplitPhone {
    std::optional<Country> country;
    QString national; // digits only
};

// "+" and 7 to 15 ASCII digits, the whole text: what sign-in and invites send.
bool isE164(const QString& phone);
bool isSixDigitCode(const QString& code);

// The country whose calling code starts the digits (the longest; equal lengths go to the
// earlier row, so "+1…" is the United States) and the rest.
SplitPhone splitE164(const QString& phone);
// Display grouping: "+91 98765 43210" for Indian mobiles, else "+CC rest" split near the end.
QString formatPhone(const QString& phone);

namespace Sanitize {
// The decimal digits of `text`, in order, each as its ASCII digit.
QString digits(const QString& text);
} // namespace Sanitize

} // namespace tavo
