#include "Assistant.h"

#include "Media.h"

#include <QRegularExpression>
#include <algorithm>

namespace tavo::devcloud {

namespace {

QString relayName(const BoxView& b, int ch) {
    const QString n = b.names.value(QString::number(ch));
    return n.isEmpty() ? QStringLiteral("Relay %1").arg(ch) : n;
}

bool allowed(const BoxView& b, int ch) {
    return ch >= 1 && ch <= 64 && ((quint64(b.mask) >> (ch - 1)) & 1u);
}

void say(QList<AssistantStep>& steps, const QString& text) {
    for (const QString& piece : textPieces(text))
        steps.append({{{"type", "text"}, {"delta", piece}}, std::nullopt});
}

QString titleCase(const QString& s) {
    QStringList words = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& w : words)
        w[0] = w[0].toUpper();
    return words.join(QLatin1Char(' '));
}

// "the fan", "all lights in the study", "everything" -> the channels meant.
struct Target {
    qint64 box;
    int ch;
};

QList<Target> resolve(QString what, const QList<BoxView>& boxes) {
    static const QRegularExpression filler(
        QStringLiteral(R"(\b(the|my|please|a|an|light|lights|relays?)\b)"));
    static const QRegularExpression everything(
        QStringLiteral(R"(^(everything|all|every|it all|all of them)$)"));
    QList<Target> out;
    what = what.replace(filler, QString()).simplified();

    QString boxFilter; // "... in the study"
    if (const qsizetype in = what.lastIndexOf(QLatin1String(" in ")); in >= 0) {
        boxFilter = what.mid(in + 4).simplified();
        what = what.left(in).simplified();
    }
    auto boxMatches = [&](const BoxView& b) {
        return boxFilter.isEmpty() || b.name.toLower().contains(boxFilter);
    };

    if (what.isEmpty() || everything.match(what).hasMatch()) {
        for (const BoxView& b : boxes)
            if (boxMatches(b))
                for (int ch = 1; ch <= b.relayCount; ++ch)
                    if (allowed(b, ch)) out.append({b.id, ch});
        return out;
    }
    static const QRegularExpression numbered(QStringLiteral(R"(^(relay|channel)?\s*(\d+)$)"));
    if (const auto m = numbered.match(what); m.hasMatch()) {
        for (const BoxView& b : boxes)
            if (boxMatches(b)) {
                const int ch = m.captured(2).toInt();
                if (ch <= b.relayCount) return {{b.id, ch}};
            }
        return out;
    }
    for (const BoxView& b : boxes) {
        if (!boxMatches(b)) continue;
        for (int ch = 1; ch <= b.relayCount; ++ch)
            if (relayName(b, ch).toLower() == what) out.append({b.id, ch});
    }
    if (!out.isEmpty()) return out;
    for (const BoxView& b : boxes) // a box by name: all of its relays
        if (b.name.toLower() == what)
            for (int ch = 1; ch <= b.relayCount; ++ch)
                if (allowed(b, ch)) out.append({b.id, ch});
    return out;
}

const BoxView* boxOf(const QList<BoxView>& boxes, qint64 id) {
    for (const BoxView& b : boxes)
        if (b.id == id) return &b;
    return nullptr;
}

// Relay numbers the grammar offers and heardAsTyped turns into digits.
const QStringList numberWords = {"one",     "two",       "three",    "four",     "five",
                                 "six",     "seven",     "eight",    "nine",     "ten",
                                 "eleven",  "twelve",    "thirteen", "fourteen", "fifteen",
                                 "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};

// Lower-case names every word of which the recogniser can hear, without repeats.
QStringList speakable(const QStringList& names, const std::function<bool(const QString&)>& known) {
    static const QRegularExpression word(QStringLiteral("^[a-z']+$"));
    QStringList out;
    for (const QString& name : names) {
        const QStringList words = name.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const bool ok = !words.isEmpty() && std::all_of(words.begin(), words.end(), [&](const QString& w) {
            return word.match(w).hasMatch() && known(w);
        });
        if (ok) out << words.join(QLatin1Char(' '));
    }
    out.sort();
    out.removeDuplicates();
    return out;
}

} // namespace

QString voiceGrammar(const QList<BoxView>& boxes, const std::function<bool(const QString&)>& known) {
    QStringList relayNames, boxNames;
    int relays = 0;
    for (const BoxView& b : boxes) {
        boxNames << b.name;
        relayNames << b.names.values();
        relays = std::max(relays, b.relayCount);
    }
    relayNames = speakable(relayNames, known);
    boxNames = speakable(boxNames, known);
    const QStringList numbers = numberWords.mid(0, relays);

    // Keep in step with planReply's patterns and resolve's fillers.
    QStringList what = {"everything", "all", "all of them", "[all] [the] lights"};
    if (!relayNames.isEmpty()) what << "<relay>";
    if (!numbers.isEmpty()) what << "(relay | channel) <number>";
    QString target = "[the | my] <what>";
    if (!boxNames.isEmpty()) target = "[the | my] <what> [in [the | my] <box>] | [the | my] <box>";

    QStringList rules = {
        "#JSGF V1.0;",
        "grammar tavo;",
        "public <command> = <switch> | <music> | <greeting>;",
        "<switch> = <verb> (on | off) <target> | <verb> <target> (on | off);",
        "<verb> = turn | switch | put;",
        "<target> = " + target + ";",
        "<what> = " + what.join(" | ") + ";",
        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one rule, split for the line length
        "<music> = (stop | pause) [the] (music | song | playback) | stop playing | "
        "play [some | me | a | the] <genre>;",
        "<genre> = jazz | rock | pop | classical | blues | music;",
        "<greeting> = hello | hi | hey | namaste;",
    };
    if (!relayNames.isEmpty()) rules << "<relay> = " + relayNames.join(" | ") + ";";
    if (!boxNames.isEmpty()) rules << "<box> = " + boxNames.join(" | ") + ";";
    if (!numbers.isEmpty()) rules << "<number> = " + numbers.join(" | ") + ";";
    return rules.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString heardAsTyped(const QString& heard) {
    static const QRegularExpression numbered(
        QStringLiteral(R"(\b(relay|channel) (%1)\b)").arg(numberWords.join(QLatin1Char('|'))));
    QString out = heard;
    for (auto m = numbered.match(out); m.hasMatch(); m = numbered.match(out, m.capturedStart() + 1))
        out.replace(m.capturedStart(2), m.capturedLength(2),
                    QString::number(numberWords.indexOf(m.captured(2)) + 1));
    return out;
}

QStringList textPieces(const QString& text) {
    QStringList pieces;
    const QStringList words = text.split(QLatin1Char(' '));
    for (qsizetype i = 0; i < words.size(); i += 3) {
        QString piece = words.mid(i, 3).join(QLatin1Char(' '));
        if (i + 3 < words.size()) piece += QLatin1Char(' ');
        pieces << piece;
    }
    return pieces;
}

QList<AssistantStep> planReply(const QString& message, const QList<BoxView>& boxes,
                               const QString& mediaBase) {
    QList<AssistantStep> steps;
    QString text = message.toLower().simplified();
    while (!text.isEmpty() && QStringLiteral(".!?").contains(text.back()))
        text.chop(1);

    static const QRegularExpression stopMusic(
        QStringLiteral(R"(^(stop|pause)( the)? (music|song|playback|playing)$|^stop playing$)"));
    if (stopMusic.match(text).hasMatch()) {
        steps.append({{{"type", "music_stop"}}, std::nullopt});
        say(steps, QStringLiteral("Stopped the music."));
        return steps;
    }

    static const QRegularExpression play(QStringLiteral(R"(^play (.+)$)"));
    if (const auto m = play.match(text); m.hasMatch()) {
        QString what = m.captured(1);
        what.remove(QRegularExpression(QStringLiteral(R"(^(some|me|a|the)\s+)")));
        const QString title = titleCase(what);
        steps.append({{{"type", "tool"}, {"tool", "music_search"}}, std::nullopt});
        steps.append({{{"type", "music_play"},
                       {"title", title},
                       {"artist", "Tavo Dev Radio"},
                       {"stream_url", mediaBase + "/media/tone.wav"},
                       {"thumbnail", mediaBase + "/media/cover.png"},
                       {"duration_ms", toneSeconds * 1000},
                       {"source_url", mediaBase + "/media/tone.wav"}},
                      std::nullopt});
        say(steps, QStringLiteral("Playing %1.").arg(title));
        return steps;
    }

    static const QRegularExpression onFirst(QStringLiteral(R"(^(?:turn|switch|put)\s+(on|off)\s+(.*)$)"));
    static const QRegularExpression onLast(QStringLiteral(R"(^(?:turn|switch|put)\s+(.*?)\s+(on|off)$)"));
    std::optional<bool> on;
    QString what;
    if (const auto m = onFirst.match(text); m.hasMatch()) {
        on = m.captured(1) == QLatin1String("on");
        what = m.captured(2);
    } else if (const auto m2 = onLast.match(text); m2.hasMatch()) {
        on = m2.captured(2) == QLatin1String("on");
        what = m2.captured(1);
    }
    if (on) {
        const QList<Target> targets = resolve(what, boxes);
        if (targets.isEmpty()) {
            say(steps, QStringLiteral("I couldn't find \"%1\" among your boxes.").arg(what.simplified()));
            return steps;
        }
        QStringList done, offline, refused;
        for (const Target& t : targets) {
            const BoxView* b = boxOf(boxes, t.box);
            const QString label = QStringLiteral("%1 in %2").arg(relayName(*b, t.ch), b->name);
            if (!allowed(*b, t.ch)) {
                refused << label;
                continue;
            }
            if (!b->online) {
                offline << label;
                continue;
            }
            steps.append({{{"type", "tool"}, {"tool", "tavo_set_relay"}}, RelaySwitch{t.box, t.ch, *on}});
            done << label;
        }
        QStringList sentences;
        if (!done.isEmpty())
            sentences << QStringLiteral("Turned %1 %2.")
                             .arg(*on ? "on" : "off", done.size() > 3
                                                          ? QStringLiteral("%1 relays").arg(done.size())
                                                          : done.join(", "));
        if (!offline.isEmpty()) sentences << QStringLiteral("%1 is offline.").arg(offline.join(", "));
        if (!refused.isEmpty())
            sentences << QStringLiteral("You don't have access to %1.").arg(refused.join(", "));
        say(steps, sentences.join(' '));
        return steps;
    }

    static const QRegularExpression hello(QStringLiteral(R"(^(hi|hello|hey|namaste)\b)"));
    if (hello.match(text).hasMatch())
        say(steps, QStringLiteral("Hello! I can switch your relays, play music and tell you what's on."));
    else
        say(steps,
            QStringLiteral("I'm the development assistant. Try \"turn on the fan\", \"turn everything off\", "
                           "\"play some jazz\" or \"stop the music\"."));
    return steps;
}

} // namespace tavo::devcloud
