#pragma once

#include <QByteArray>
#include <QString>
#include <deque>

// The journal rows waiting for the broker's receipt, in the order they were written, kept in a file beside
// the journal so that a crash or a closed console loses none: each message is appended to the file before
// it is first sent, and the file is rewritten without the delivered ones from time to time (a message
// delivered just before a crash may therefore go out again; its id lets the reader drop the repeat).
// At most maxRows wait; past that the oldest give way and are counted.
class Outbox
{
public:
    static constexpr qsizetype MaxRows = 100000;

    explicit Outbox(QString path, qsizetype maxRows = MaxRows);
    // Rewrites the file without what was delivered.
    ~Outbox();
    Outbox(const Outbox &) = delete;
    Outbox &operator=(const Outbox &) = delete;

    // Takes in what an earlier run left in the file: its JSON objects. Returns the other lines (a line cut
    // short by a crash, a hand edit), each whole with its line end, which are not published.
    QByteArrayList load();
    // Appends one message (one line, no line break in it) to the file, then to the queue.
    void add(const QByteArray &message);

    // Messages are numbered in the order added; [firstSeq, endSeq) wait.
    quint64 firstSeq() const { return m_first; }
    quint64 endSeq() const { return m_first + quint64(m_rows.size()); }
    qsizetype size() const { return qsizetype(m_rows.size()); }
    const QByteArray &message(quint64 seq) const { return m_rows[size_t(seq - m_first)].bytes; }
    bool isDelivered(quint64 seq) const
    {
        return seq < m_first || (seq < endSeq() && m_rows[size_t(seq - m_first)].delivered);
    }
    // The broker has the message: it leaves the queue once every one before it has too.
    void delivered(quint64 seq);

    // Rows dropped since the last call (the oldest, past maxRows).
    quint64 takeDropped();
    // Writes the file anew from the queue (nothing left: the file goes).
    void compact();
    QString path() const { return m_path; }

private:
    struct Row
    {
        QByteArray bytes;
        bool delivered = false;
    };
    void dropFront();
    void compactWhenWorthIt();

    QString m_path;
    qsizetype m_maxRows;
    std::deque<Row> m_rows;
    quint64 m_first = 0;
    quint64 m_dropped = 0;
    // Rows the file still holds that the queue no longer does.
    qsizetype m_stale = 0;
};
