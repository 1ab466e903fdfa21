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
    // The case's name for the screens: "idle", "searching", "needsAP", "onAP", "submitting",
    // "waitingForCloud", "havePair", "manualPair".
    QString name() const {
        switch (kind) {
        case Kind::Idle:
            return QStringLiteral("idle");
        case Kind::Searching:
            return QStringLiteral("searching");
        case Kind::NeedsAP:
            return QStringLiteral("needsAP");
        case Kind::OnAP:
            return QStringLiteral("onAP");
        case Kind::Submitting:
            return QStringLiteral("submitting");
        case Kind::WaitingForCloud:
            return QStringLiteral("waitingForCloud");
        case Kind::HavePair:
            return QStringLiteral("havePair");
        case Kind::ManualPair:
            return QStringLiteral("manualPair");
        }
        return {};
    }
    // The main words of the add-box card for this step ("" for idle).
    QString headline() const {
        switch (kind) {
        case Kind::Idle:
            return {};
        case Kind::Searching:
            return QStringLiteral("Looking for a Tavo box nearby…");
        case Kind::NeedsAP:
            return QStringLiteral(
                "Power the box on and look at the sticker (or the serial monitor on first flash).");
        case Kind::OnAP:
            return QStringLiteral("Found box at ") +
                   (base.host().isEmpty() ? QStringLiteral("LAN") : base.host());
        case Kind::Submitting:
            return QStringLiteral("Sending WiFi details to box…");
        case Kind::WaitingForCloud:
            return QStringLiteral("Waiting for the box to reach the cloud…");
        case Kind::HavePair:
            return QStringLiteral("Got pair code ") + code + QStringLiteral(" — claiming…");
        case Kind::ManualPair:
            return QStringLiteral("Type the pair code shown on your box's portal (also visible on Serial).");
        }
        return {};
    }
    static ProvisionStep of(Kind kind) { return {kind, {}, {}}; }
    friend bool operator==(const ProvisionStep&, const ProvisionStep&) = default;
};

} // namespace tavo
