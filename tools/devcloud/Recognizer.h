#pragma once

// Speech to text for the voice endpoint: pocketsphinx with Debian's US English model. It listens for
// a grammar of what the assistant understands; the general language model hears synthetic speech
// as noise.

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

struct ps_decoder_s;

namespace tavo::devcloud {

class Recognizer {
public:
    static constexpr int sampleRate = 16000;

    // Loads the acoustic model and the dictionary, the slow part; nullptr with `error` set.
    static std::unique_ptr<Recognizer> load(QString& error);
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

    // Whether the pronouncing dictionary has the word: a grammar with an unknown one is refused.
    bool knows(const QString& word) const;
    // Starts an utterance against this grammar (JSGF source).
    bool begin(const QString& jsgf, QString& error);
    // Feeds s16 LE mono samples at `sampleRate`; returns the hypothesis so far ("" for none).
    QString feed(const QByteArray& s16);
    // Ends the utterance: the final hypothesis, "" when nothing was heard.
    QString end();
    void discard(); // ends the utterance unheard
    bool listening() const { return m_listening; }

private:
    explicit Recognizer(ps_decoder_s* ps) : m_ps(ps) {}
    QString hypothesis() const;

    ps_decoder_s* m_ps;
    QByteArray m_search; // the grammar of this utterance, named uniquely
    int m_grammars = 0;
    QByteArray m_odd;            // a byte left over from a frame of odd length
    std::vector<qint16> m_heard; // the utterance so far, for the final pass
    bool m_listening = false;
};

// Loaded recognisers kept between sessions, since loading one takes a noticeable time.
class RecognizerPool {
public:
    std::unique_ptr<Recognizer> take(QString& error); // a free one, else a newly loaded one
    void give(std::unique_ptr<Recognizer> recognizer);

private:
    static constexpr size_t keep = 2;
    std::vector<std::unique_ptr<Recognizer>> m_free;
};

} // namespace tavo::devcloud
