#include "sim/LineSplitter.h"

LineSplitter::LineSplitter(qsizetype maxLength)
    : m_maxLength(maxLength)
{}

QList<LineSplitter::Line> LineSplitter::push(const QByteArray &bytes)
{
    QList<Line> lines;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            if (m_overlong)
                lines.append(Line{QByteArray(), true});
            else if (!m_buffer.isEmpty())
                lines.append(Line{m_buffer, false});
            m_buffer.clear();
            m_overlong = false;
            continue;
        }
        if (m_overlong)
            continue;
        if (m_buffer.size() >= m_maxLength) {
            m_buffer.clear();
            m_buffer.squeeze();
            m_overlong = true;
            continue;
        }
        m_buffer.append(c);
    }
    return lines;
}
