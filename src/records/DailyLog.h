#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

// The daily log: one plain-text file per calendar day, "yy-mm-dd-Log.txt" in the Log folder of the program
// folder, one entry per line, opened, appended and closed for every entry so another program can read or
// copy the day's file at any moment between entries.
//
// An entry that cannot be written (folder read-only, file locked, disk full) is not lost: it is held in
// memory and written, in order and to the file of its own day, by the next flush() or log() that finds the
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

    void log(const QString &logText);
    // One entry already in the file's encoding, its line end included.
    void append(const QByteArray &entry);

    // One entry for the file of a given day (rows recovered after a crash go to the day of their run).
    void append(const QByteArray &entry, QDate day);

    // Writes what is held, in order. True when nothing is held any more. Cheap when nothing is held, so it
    // can run on every receive tick.
    bool flush();
    // Entries waiting for the log to be writable again.
    qsizetype heldCount() const { return qsizetype(m_held.size()); }
    // The last resort when the console closes with entries still held: each day's entries go, in order, to
    // "unsaved/" and the day's file name in the first of the folders that takes them. Returns the files
    // written; what no folder took stays held.
    QStringList saveHeld(const QStringList &folders);

    QString folder() const { return m_folder; }
    // The file of a calendar day. Taken from the date alone: in time zones that change their clocks at
    // midnight some days have no 00:00.
    QString fileFor(QDate day) const;
    QString fileFor(const QDateTime &when) const { return fileFor(when.date()); }

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
    // Appends bytes to the file at path whole, or leaves it as it was; a file this leaves empty is removed.
    bool writeWhole(const QByteArray &nativePath, const QByteArray &bytes);
    void hold(Entry entry);
    QString fileName(QDate day) const;
    QByteArray lostNotice() const;

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
