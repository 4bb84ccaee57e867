#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>

// One row of the dispense journal: what one unit of one run was asked, what the controller reported and
// what the operator judged. The writer, the reader, the report and the publisher all take this row and its
// one column table; none of them parses another's output.
struct JournalRow
{
    QDate day; // when the run started, in local time (read from timeText)
    QTime time;
    QString timeText; // as written ("2026-12-06T14:03:12"): one run's rows share it
    QString design, unit, uid, asked, counted, shortBy, result, verdict, actual;
};

namespace journal {

// A column of the journal: its name in the header and the field of the row it holds, in the order the
// console writes them.
struct Column
{
    const char *name;
    QString JournalRow::*field;
};
inline constexpr std::array<Column, 10> Columns{{{"time", &JournalRow::timeText},
                                                 {"design", &JournalRow::design},
                                                 {"unit", &JournalRow::unit},
                                                 {"uid", &JournalRow::uid},
                                                 {"asked", &JournalRow::asked},
                                                 {"counted", &JournalRow::counted},
                                                 {"short", &JournalRow::shortBy},
                                                 {"result", &JournalRow::result},
                                                 {"verdict", &JournalRow::verdict},
                                                 {"actual", &JournalRow::actual}}};

// The column names, and a row's values in the same order.
QStringList columns();
QStringList values(const JournalRow &row);

} // namespace journal

// Where the journal's rows go once they are final: the day's file, the publisher, an open report, a
// database. A recovered row comes with its run's day; a row of today's runs with an invalid date.
class JournalSink
{
public:
    virtual ~JournalSink() = default;
    // False when the sink holds the row to be written later (its file cannot be written just now): the
    // journal keeps it pending until told it is on disk.
    virtual bool journalRow(const JournalRow &row, QDate day) = 0;
};
