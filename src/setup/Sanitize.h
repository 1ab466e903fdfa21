#pragma once

#include <QString>

namespace tavo::Sanitize {

// What the pair-code field keeps of each edit: letters and numbers upper-cased, and from five
// of them on "XXXX-YYYY" (at most eight kept).
QString pairCode(const QString& text);

// The code a claim sends: upper-cased, spaces and tabs trimmed from both ends, nothing else.
QString claimCode(const QString& text);

} // namespace tavo::Sanitize
