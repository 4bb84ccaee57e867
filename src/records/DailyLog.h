#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <deque>
#include <functional>

// The daily log: one plain-text file per calendar day, "yy-mm-dd-Log.txt" in the Log folder of the program
// folder, one entry per line, opened, appended and closed for every entry so another program can read or
// copy the day's file at any moment between entries.
//
// An entry that cannot be written (folder read-only, file locked, disk full) is not lost: it is held in
// memory and written, in order and to the file of its own day, by the next flush() or LOG() that finds the
// log writable again, and at the latest when the log object goes away. What is held is bounded in bytes;
// past the bound the oldest held entries give way, and the first entry written afterwards is preceded by a
// line that says how many were lost. An entry is written whole or not at all, and never twice.
//
// The day's runs file ("yy-mm-dd-Runs.csv") is kept the same way, with a header row of its own.
class DailyLog
{
public:
    using Clock = std::function<QDateTime()>;
    // Memory that held entries may take; each entry counts its text and its bookkeeping.
    static constexpr qsizetype MaxHeldBytes = 16 * 1024 * 1024;

    struct Format
    {
        // What follows the date in the file name.
        QString suffix = QStringLiteral("Log.txt");
        // Written first into a file that is new or empty.
        QByteArray header;
        // Whether entries lost past the bound are announced by a line of their own (a CSV file has no place
        // for it).
        bool announceLost = true;
    };

    DailyLog(const QString &programFolder, Clock clock);
    DailyLog(const QString &programFolder, Clock clock, Format format);
    // Makes one last attempt to write what is held.
    ~DailyLog();
    DailyLog(const DailyLog &) = delete;
    DailyLog &operator=(const DailyLog &) = delete;

    void LOG(const QString &logText);
    // One entry already in the file's encoding, its line end included.
    void append(const QByteArray &entry);

    // Writes what is held, in order. True when nothing is held any more. Cheap when nothing is held, so it
    // can run on every receive tick.
    bool flush();

    QString folder() const { return m_folder; }
    // The file an entry made at the given moment goes to.
    QString fileFor(const QDateTime &when) const;

private:
    struct Entry
    {
        QDate day;
        QByteArray bytes;
    };
    static qsizetype costOf(const Entry &entry) { return qsizetype(sizeof(Entry)) + entry.bytes.size(); }
    bool writeEntry(const Entry &entry);
    // Appends bytes to the file of that day, whole or not at all.
    bool appendToDay(QDate day, const QByteArray &bytes);
    bool writeWhole(const QByteArray &bytes);
    void hold(Entry entry);

    QString m_folder;
    Clock m_clock;
    Format m_format;
    // The file name of the last day written to: formatting a date for every entry costs more than the write.
    QDate m_pathDay;
    QString m_path;
    QByteArray m_nativePath;
    std::deque<Entry> m_held;
    qsizetype m_heldBytes = 0;
    quint64 m_lost = 0;
};
