#include "Recognizer.h"

#include <QtEndian>
#include <pocketsphinx.h>

namespace tavo::devcloud {

namespace {

const char* const modelDir = "/usr/share/pocketsphinx/model/en-us";

} // namespace

std::unique_ptr<Recognizer> Recognizer::load(QString& error) {
    const QByteArray hmm = QByteArray(modelDir) + "/en-us";
    const QByteArray dict = QByteArray(modelDir) + "/cmudict-en-us.dict";
    const QByteArray rate = QByteArray::number(sampleRate);
    // No search yet: each session brings its own grammar.
    cmd_ln_t* config =
        cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(), "-samprate",
                    rate.constData(), "-logfn", "/dev/null", nullptr);
    if (!config) {
        error = QStringLiteral("the recogniser's configuration is refused");
        return nullptr;
    }
    ps_decoder_t* ps = ps_init(config);
    cmd_ln_free_r(config); // the decoder keeps its own reference
    if (!ps) {
        error = QStringLiteral("cannot load the speech model from %1").arg(QString::fromLatin1(modelDir));
        return nullptr;
    }
    return std::unique_ptr<Recognizer>(new Recognizer(ps));
}

Recognizer::~Recognizer() {
    discard();
    ps_free(m_ps);
}

bool Recognizer::knows(const QString& word) const {
    char* phones = ps_lookup_word(m_ps, word.toUtf8().constData());
    const bool found = phones != nullptr;
    ckd_free(phones);
    return found;
}

bool Recognizer::begin(const QString& jsgf, QString& error) {
    discard();
    const QByteArray previous = m_search;
    const QByteArray name = "grammar" + QByteArray::number(++m_grammars);
    if (ps_set_jsgf_string(m_ps, name.constData(), jsgf.toUtf8().constData()) < 0 ||
        ps_set_search(m_ps, name.constData()) < 0) {
        error = QStringLiteral("the grammar is refused");
        return false;
    }
    m_search = name;
    if (!previous.isEmpty()) ps_unset_search(m_ps, previous.constData()); // only this session's stays
    if (ps_start_utt(m_ps) < 0) {
        error = QStringLiteral("cannot start listening");
        return false;
    }
    m_odd.clear();
    m_heard.clear();
    m_listening = true;
    return true;
}

QString Recognizer::feed(const QByteArray& s16) {
    if (!m_listening) return {};
    const QByteArray bytes = m_odd + s16;
    const qsizetype count = bytes.size() / 2;
    m_odd = bytes.mid(count * 2);
    const size_t from = m_heard.size();
    m_heard.resize(from + size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        m_heard[from + size_t(i)] = qFromLittleEndian<qint16>(bytes.constData() + 2 * i);
    if (count > 0) ps_process_raw(m_ps, m_heard.data() + from, size_t(count), FALSE, FALSE);
    return hypothesis();
}

QString Recognizer::end() {
    if (!m_listening) return {};
    m_listening = false;
    ps_end_utt(m_ps);
    if (m_heard.empty()) return {};
    // The model was trained on utterances normalised as a whole (batch CMN, see its feat.params), but
    // streaming switches the decoder to a running estimate that starts far from any one voice and
    // adapts slowly: the first sentences of a fresh decoder came out wrong. So the partials come from
    // the stream and the final result from a second pass over the whole utterance.
    ps_get_feat(m_ps)->cmn = CMN_BATCH;
    ps_start_utt(m_ps);
    ps_process_raw(m_ps, m_heard.data(), m_heard.size(), FALSE, TRUE);
    ps_end_utt(m_ps);
    m_heard.clear();
    return hypothesis();
}

void Recognizer::discard() {
    if (!m_listening) return;
    m_listening = false;
    ps_end_utt(m_ps);
    m_heard.clear();
}

QString Recognizer::hypothesis() const {
    const char* hyp = ps_get_hyp(m_ps, nullptr);
    return hyp ? QString::fromUtf8(hyp).simplified() : QString();
}

std::unique_ptr<Recognizer> RecognizerPool::take(QString& error) {
    if (m_free.empty()) return Recognizer::load(error);
    std::unique_ptr<Recognizer> r = std::move(m_free.back());
    m_free.pop_back();
    return r;
}

void RecognizerPool::give(std::unique_ptr<Recognizer> recognizer) {
    if (!recognizer) return;
    recognizer->discard();
    if (m_free.size() < keep) m_free.push_back(std::move(recognizer));
}

} // namespace tavo::devcloud
