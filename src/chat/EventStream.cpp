#include "chat/EventStream.h"

namespace tavo {

void EventStreamReader::feed(QByteArrayView bytes) {
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\n' && c != '\r') continue;
        const bool lfAfterCR = c == '\n' && m_afterCR && i == start && m_line.isEmpty() && !m_lineTooLong;
        m_afterCR = c == '\r';
        if (lfAfterCR && i == start) {
            start = i + 1;
            continue;
        }
        if (!m_lineTooLong) m_line.append(bytes.sliced(start, i - start));
        const QByteArray complete = std::exchange(m_line, {});
        const bool dropped = std::exchange(m_lineTooLong, false);
        if (!dropped && complete.size() <= m_limit) line(complete);
        start = i + 1;
    }
    if (start < bytes.size()) {
        m_afterCR = false;
        if (!m_lineTooLong) {
            m_line.append(bytes.sliced(start));
            if (m_line.size() > m_limit) {
                m_line.clear();
                m_lineTooLong = true;
            }
        }
    }
}

void EventStreamReader::finish() {
    if (!m_line.isEmpty() && !m_lineTooLong) line(std::exchange(m_line, {}));
    m_line.clear();
    m_lineTooLong = false;
    m_afterCR = false;
    flush();
}

void EventStreamReader::line(QByteArrayView bytes) {
    if (!m_started) {
        m_started = true;
        if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
    }
    if (bytes.isEmpty()) return flush();
    if (bytes.startsWith(':')) return;      // comment
    if (!bytes.startsWith("data:")) return; // event, id, retry and unknown fields
    if (m_dataTooLong) return;
    QByteArrayView payload = bytes.sliced(5);
    if (payload.startsWith(' ')) payload = payload.sliced(1);
    if (!m_data.isEmpty()) m_data.append(QLatin1Char('\n'));
    m_data.append(QString::fromUtf8(payload));
    if (m_data.size() > m_limit) {
        m_data.clear();
        m_dataTooLong = true;
    }
}

void EventStreamReader::flush() {
    const bool dropped = std::exchange(m_dataTooLong, false);
    const QString record = std::exchange(m_data, {});
    if (dropped || record.isEmpty()) return;
    m_sink(record);
}

} // namespace tavo
