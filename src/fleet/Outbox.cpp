#include "fleet/Outbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

Outbox::Outbox(QString path, qsizetype maxRows)
    : m_path(std::move(path))
    , m_maxRows(qMax<qsizetype>(1, maxRows))
{}

Outbox::~Outbox()
{
    if (m_stale > 0)
        compact();
}

QByteArrayList Outbox::load()
{
    QByteArrayList rejected;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return rejected;
    while (!f.atEnd()) {
        const QByteArray read = f.readLine();
        QByteArray line = read;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        // Only what the console wrote goes out: one JSON object a line. A line cut short by a crash in the
        // middle of an append, or anything else found here, is no message.
        if (!QJsonDocument::fromJson(line).isObject()) {
            rejected.append(read.endsWith('\n') ? read : read + '\n');
            ++m_stale;
            continue;
        }
        m_rows.push_back({line, false});
        if (size() > m_maxRows)
            dropFront();
    }
    return rejected;
}

void Outbox::add(const QByteArray &message)
{
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile f(m_path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append))
        f.write(message + '\n');
    m_rows.push_back({message, false});
    if (size() > m_maxRows)
        dropFront();
    compactWhenWorthIt();
}

void Outbox::dropFront()
{
    m_rows.pop_front();
    ++m_first;
    ++m_dropped;
    ++m_stale;
}

void Outbox::delivered(quint64 seq)
{
    if (seq < m_first || seq >= endSeq())
        return;
    m_rows[size_t(seq - m_first)].delivered = true;
    while (!m_rows.empty() && m_rows.front().delivered) {
        m_rows.pop_front();
        ++m_first;
        ++m_stale;
    }
    compactWhenWorthIt();
}

quint64 Outbox::takeDropped()
{
    return std::exchange(m_dropped, 0);
}

void Outbox::compactWhenWorthIt()
{
    // Rewriting costs the whole queue: done when as much is stale as waits, so the writing stays in
    // proportion to the rows that pass through.
    if (m_stale > 0 && (m_rows.empty() || m_stale >= qMax<qsizetype>(1000, size())))
        compact();
}

void Outbox::compact()
{
    if (m_rows.empty()) {
        if (!QFile::exists(m_path) || QFile::remove(m_path))
            m_stale = 0;
        return;
    }
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    for (const Row &r : m_rows)
        f.write(r.bytes + '\n');
    if (f.commit())
        m_stale = 0;
}
