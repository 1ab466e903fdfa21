#pragma once

#include "chat/ChatSpeaker.h"

#include <QStringList>

namespace tavo::test {

// Stands in for reply speech in store tests; keeps every text it was asked to speak.
class RecordingSpeaker : public ChatSpeaker {
public:
    void speak(const QString& text) override { spoken << text; }
    QStringList spoken;
};

} // namespace tavo::test
