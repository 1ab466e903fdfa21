#pragma once

// A small rule-based stand-in for the cloud assistant: enough plain English to switch relays,
// start and stop music, and chat back, as a stream of event records.

#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>
#include <optional>

namespace tavo::devcloud {

// One box as the asking user sees it.
struct BoxView {
    qint64 id = 0;
    QString name;
    int relayCount = 0;
    QMap<QString, QString> names; // channel -> name
    qint64 mask = 0;              // channels the user may switch
    bool online = true;
};

struct RelaySwitch {
    qint64 box = 0;
    int ch = 0; // counted from 1
    bool on = false;
};

// One record of the reply, and the switch to make when it goes out.
struct AssistantStep {
    QJsonObject record;
    std::optional<RelaySwitch> action;
};

// The reply's records without the closing "done". `mediaBase` is this server's own address,
// which serves the audio and cover of played tracks.
QList<AssistantStep> planReply(const QString& message, const QList<BoxView>& boxes, const QString& mediaBase);

// The sentences planReply understands, as a JSGF grammar for the speech recogniser, with these boxes'
// names and relay names. A name with a word `known` refuses is left out.
QString voiceGrammar(const QList<BoxView>& boxes, const std::function<bool(const QString&)>& known);

// A heard sentence as planReply reads it: spoken relay numbers as digits.
QString heardAsTyped(const QString& heard);

// Splits text into the pieces of a streamed reply (a few words each).
QStringList textPieces(const QString& text);

} // namespace tavo::devcloud
