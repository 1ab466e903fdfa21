#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace tavo {

// Splits a server-sent-events body into records: the data lines of one event, joined by line
// feeds. Bytes may arrive in any chunks (mid-line, mid-character, between CR and LF); lines
// are decoded as UTF-8 only once complete. Only data, comment and blank lines matter.
//
// Memory is bounded: a line or a record longer than the limit is dropped whole, so a peer that
// never ends a line cannot grow the buffer without end.
class EventStreamReader {
public:
    using Sink = std::function<void(const QString& record)>;

    explicit EventStreamReader(Sink sink, qsizetype limitBytes = 4 * 1024 * 1024)
        : m_sink(std::move(sink)), m_limit(limitBytes) {}

    void feed(QByteArrayView bytes);
    // End of body: the last line and a record not closed by a blank line still count.
    void finish();

private:
    void line(QByteArrayView bytes);
    void flush();

    Sink m_sink;
    qsizetype m_limit;
    QByteArray m_line;
    QString m_data;
    bool m_afterCR = false;     // a CR ended the last line; a following LF belongs to it
    bool m_lineTooLong = false; // dropping the rest of this line
    bool m_dataTooLong = false; // dropping the rest of this record
    bool m_started = false;     // a leading byte-order mark is skipped once
};

} // namespace tavo
