#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace tavo {

// Captions for the assistant's tools while they run.
namespace ChatStatus {
QString text(const QString& tool);
}

// Status questions answered locally from the device list ("what's on", "kya on hai", ...),
// in the order they are tried. Built once, case-insensitive, anchored at both ends.
const QList<QRegularExpression>& chatStatusRX();

// Whether `text` is one of those questions.
bool isStatusQuestion(const QString& text);

} // namespace tavo
