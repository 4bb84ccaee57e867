#pragma once

#include <QDateTime>
#include <QString>
#include <deque>
#include <functional>

// The daily log: one plain-text file per calendar day, "yy-mm-dd-Log.txt" in the Log folder of the program
// folder, one entry per line, opened, appended and closed for every entry so another program can read or
// copy the day's file at any moment between entries.
//
// An entry that cannot be written (folder read-only, file locked, disk full) is not lost: it is kept in
// memory and written, in order and to the file of its own day, before the next entry that can be written.
class DailyLog
{
public:
    using Clock = std::function<QDateTime()>;
    // Entries kept while the log cannot be written; beyond this the oldest kept entry gives way.
    static constexpr std::size_t MaxPending = 10000;

    DailyLog(const QString &programFolder, Clock clock);

    void LOG(const QString &logText);

    QString folder() const { return m_folder; }
    // The file an entry made at the given moment goes to.
    QString fileFor(const QDateTime &when) const;

    std::size_t pendingCount() const { return m_pending.size(); }
    // Entries dropped because more than MaxPending were waiting.
    quint64 droppedCount() const { return m_dropped; }

private:
    struct Entry
    {
        QString path;
        QByteArray bytes;
    };
    bool writePending();
    bool append(const QString &path, const QByteArray &bytes);

    QString m_folder;
    Clock m_clock;
    std::deque<Entry> m_pending;
    quint64 m_dropped = 0;
};
