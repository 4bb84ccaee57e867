#pragma once

#include <QByteArray>
#include <QList>

// Cuts the received byte stream into lines. CR LF, a lone LF (the probe ends with one) and a lone CR all
// end a line; the empty line between the CR and LF of a pair is simply dropped. A line longer than the limit is dropped
// up to its end and reported once as overlong, so noise on the line cannot grow memory without bound.
class LineSplitter
{
public:
    struct Line
    {
        QByteArray text; // without its terminator; empty for an overlong line
        bool overlong = false;
    };

    explicit LineSplitter(qsizetype maxLength = 4096);

    // The lines completed by these bytes, in order. Empty lines are left out: they say nothing.
    QList<Line> push(const QByteArray &bytes);

    // Bytes of the line not yet terminated.
    qsizetype pending() const { return m_buffer.size(); }

private:
    qsizetype m_maxLength;
    QByteArray m_buffer;
    bool m_overlong = false;
};
