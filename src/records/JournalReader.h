#pragma once

#include "records/JournalRow.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

#include <functional>

// Reads the dispense journal back: the rows of one day's runs file ("yy-mm-dd-Runs.csv"), as RFC 4180 CSV
// in UTF-8 under the journal's header row. The file is written by the console, but people open it in a
// spreadsheet and a crash can cut its last row, so every row that cannot be read (a wrong number of
// fields, a row cut off, a stray or unclosed quote, a time that is no time) is skipped and counted; one bad
// row never takes the rows after it along.
namespace journal {

// A journal file larger than this is refused unread: no day of dispensing comes near it, and reading it
// would take the memory of a shop-floor PC.
constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

using Row = JournalRow;

struct Read
{
    QList<Row> rows;
    int unreadable = 0; // rows skipped
    bool found = false; // the file exists (and was read, unless refused)
    QString refused; // why the whole file was not read, empty when it was
};

// A field that a spreadsheet would run as a formula (it starts with =, +, -, @, a tab or a carriage return)
// is written with a ' before it, and so is one that starts with 's followed by such a character: the
// reader then takes exactly one ' off whatever it finds, and every text reads back as it was.
QString guardFormula(const QString &text);
QString unguardFormula(const QString &text);

// A journal text read in pieces: each record is handed on as soon as it is whole, so a file of any size
// takes the memory of one piece and one record.
class Reader
{
public:
    // A record longer than this is no row of the console's: it is cut at its first line end.
    static constexpr qsizetype MaxRecordBytes = 1024 * 1024;

    struct Item
    {
        const Row *row = nullptr; // null: the record is no row (and counted unreadable)
        QByteArrayView bytes; // the record as it stands in the text, its line end included
        QStringList extra; // the values of the extra columns asked for, empty where the header has none
    };
    using Sink = std::function<void(const Item &item)>;

    // The header and empty lines are not handed on. extraColumns: columns beyond the journal's whose values
    // are wanted, by their names in the header.
    explicit Reader(Sink sink, QStringList extraColumns = {});
    void feed(QByteArrayView bytes);
    // The end of the text: what is left is read as it stands.
    void finish();
    int unreadable() const { return m_unreadable; }

private:
    void take(bool final);

    Sink m_sink;
    QStringList m_extraColumns;
    QByteArray m_buffer;
    bool m_started = false;
    bool m_first = true;
    bool m_usable = true;
    QList<qsizetype> m_at; // where each column is: the journal's, then the extra ones (-1: not there)
    qsizetype m_width = 0;
    int m_unreadable = 0;
};

// The rows of a journal held in memory (the bytes of one file).
Read parse(const QByteArray &bytes);
// The fields of one row as the journal writes it (its line end may follow), decoded.
QStringList fields(const QByteArray &row);

// The rows of one file, as it stood when reading began; a missing file is no error (no runs that day).
// With each given, the rows are handed to it as they are read, and none is kept in the answer.
Read readFile(const QString &path, const std::function<void(const Row &row)> &each = {});

// A row of the pending file, with how many rows of its key (keyOf) its journal held before it was written.
struct PendingRow
{
    Row row;
    int earlier = 0;
};
// The rows of the pending file (earlier 0 where it has no such column, as an older console wrote it).
QList<PendingRow> readPending(const QString &path);
// What tells one unit's row of one run from the others as far as the journal's columns can: the time,
// design, unit, UID and count asked.
QStringList keyOf(const Row &row);

// The day's runs file in the Log folder of a program folder.
QString fileFor(const QString &programFolder, QDate day);
QString logFolder(const QString &programFolder);
// Where the console keeps the rows not written to the journal yet (the run in progress).
QString pendingFor(const QString &programFolder);

} // namespace journal
