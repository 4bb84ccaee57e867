#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

// Reads the dispense journal back: the rows of one day's runs file ("yy-mm-dd-Runs.csv"), as RFC 4180 CSV
// in UTF-8 under the journal's header row. The file is written by the console, but people open it in a
// spreadsheet and a crash can cut its last row, so every row that cannot be read (a wrong number of
// fields, a row cut off, a stray or unclosed quote, a time that is no time) is skipped and counted; one bad
// row never takes the rows after it along.
namespace journal {

// A journal file larger than this is refused unread: no day of dispensing comes near it, and reading it
// would take the memory of a shop-floor PC.
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

struct Row
{
    QDate day; // when the run started, in local time
    QTime time;
    QString timeText; // as written: one run's rows share it
    QString design, unit, uid, asked, counted, shortBy, result, verdict, actual;
};

struct Read
{
    QList<Row> rows;
    int unreadable = 0; // rows skipped
    bool found = false; // the file exists (and was read, unless refused)
    QString refused; // why the whole file was not read, empty when it was
};

// The columns, in the order the console writes them.
QStringList columns();

// The rows of a journal held in memory (the bytes of one file).
Read parse(const QByteArray &bytes);
// The fields of one row as the journal writes it (its line end may follow), decoded.
QStringList fields(const QByteArray &row);

// The rows of one file; a missing file is no error (no runs that day).
Read readFile(const QString &path);

// The day's runs file in the Log folder of a program folder.
QString fileFor(const QString &programFolder, QDate day);
QString logFolder(const QString &programFolder);
// Where the console keeps the rows not written to the journal yet (the run in progress).
QString pendingFor(const QString &programFolder);

} // namespace journal
