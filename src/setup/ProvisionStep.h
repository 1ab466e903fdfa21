#pragma once

#include <QString>
#include <QUrl>

namespace tavo {

// The box set-up state: a case and, for onAP and havePair, its payload.
struct ProvisionStep {
    enum class Kind { Idle, Searching, NeedsAP, OnAP, Submitting, WaitingForCloud, HavePair, ManualPair };
    Kind kind = Kind::Idle;
    QUrl base;    // OnAP: the box's address
    QString code; // HavePair: the pair code

    static ProvisionStep onAP(QUrl base) { return {Kind::OnAP, std::move(base), {}}; }
    static ProvisionStep havePair(QString code) { return {Kind::HavePair, {}, std::move(code)}; }
    friend bool operator==(const ProvisionStep&, const ProvisionStep&) = default;
};

} // namespace tavo
