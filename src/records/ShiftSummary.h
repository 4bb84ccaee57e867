#pragma once

#include "records/JournalReader.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The stones of some runs, so that every stone asked is told once: counted (up to what was asked), short
// (the shortfall the unit reported), or unaccounted (not sent, no report, the rest of a stuck run). Stones
// counted beyond what was asked are over:
//     asked = counted - over + short + unaccounted
struct Stones
{
    double asked = 0, counted = 0, shortBy = 0, stonesOver = 0, unaccounted = 0;

    void add(const QString &asked, const QString &counted, const QString &shortBy);
    // Stones counted up to what was asked, per hundred asked, to a tenth; none when nothing was asked.
    // 100.0 only when every stone asked was counted, 0.0 only when none was.
    std::optional<double> yield() const;
    // "92.5", empty when nothing was asked.
    QString yieldText() const;
};

// What a shift dispensed, from the dispense journal of a day or of a range of days: per unit (in unit
// order, and a total), per design, per day and unit, and the stones counted per hour of the day (per day
// for a range).
struct ShiftSummary
{
    struct UnitTotals : Stones
    {
        QString unit;
        QStringList uids; // in the order they were seen
        qint64 runs = 0, complete = 0, shortRuns = 0, stuck = 0, over = 0, notSent = 0, noReport = 0;
        qint64 ok = 0, notOk = 0;
    };
    struct DesignTotals : Stones
    {
        QString design;
        qint64 runs = 0; // distinct run times
    };
    struct DayTotals
    {
        QDate day;
        std::vector<UnitTotals> units; // in unit order
        UnitTotals total;
    };

    static constexpr char NoDesign[] = QT_TRANSLATE_NOOP("ShiftSummary", "(no design)");
    // The longest range a report covers: a year, leap day included. A chart of a bar per day has no room for
    // more, and a date typed a century off must not set the console reading for minutes.
    static constexpr int MaxDays = 366;

    QDate from, to;
    // The machine the journal is from; set by whoever reads it (the summary does not know).
    QString station;
    QDateTime firstRun, lastRun; // the start of the first and of the last run counted; invalid when none
    std::vector<UnitTotals> units; // in unit order
    UnitTotals total;
    std::vector<DesignTotals> designs; // in name order, "(no design)" last
    std::vector<DayTotals> days; // the days with runs, first to last
    // Stones counted per hour of the day (24 bins) for one day, per day (from first to last) for a range.
    QList<double> counted;
    int unreadable = 0; // journal rows skipped
    int inProgress = 0; // rows of the run in progress, kept aside until they are written
    // "Includes the run in progress (3 units, not judged yet)", empty when there is none.
    QString inProgressText() const;
    int files = 0; // journal files found
    QStringList refused; // why files were not read

    bool isRange() const { return from != to; }
    // The label of bin i of counted: "14" (the hour) or "26-12-06" (the day).
    QString binLabel(int i) const;
    // "26-12-06" or "26-12-01 to 26-12-06".
    QString period() const;
    // "2 journal rows could not be read", empty when every row could.
    QString unreadableText() const;

    // The tables: their columns (fixed English names, as files carry them; QT_TRANSLATE_NOOP'd in the
    // context "ShiftSummary" for a view), and their rows. The unit table ends with the total row; the day
    // table has a row per day and unit.
    static QStringList unitColumns();
    QList<QStringList> unitRows() const;
    static QStringList designColumns();
    QList<QStringList> designRows() const;
    static QStringList dayColumns();
    QList<QStringList> dayRows() const;
    // "2026-12-06T14:03:12", empty when no run was counted.
    QString fromText() const;
    QString toText() const;

    // The tables as CSV (UTF-8, RFC 4180, CR LF), each row led by the station and the first and last run
    // (columns station, from, to); the unit table as aligned text for a terminal; the whole report as one
    // JSON object.
    QByteArray unitCsv() const;
    QByteArray designCsv() const;
    QByteArray dayCsv() const;
    QString unitText() const;
    QByteArray json() const;
};

// Builds a summary from journal rows, file by file, so a long range can be read in steps.
class ShiftSummaryBuilder
{
public:
    ShiftSummaryBuilder(QDate from, QDate to);

    // The rows of the run in progress, not written yet: they count unless a day's file holds them already
    // (more rows of their key than were written before them).
    void setPending(const QList<journal::PendingRow> &pending);
    // The rows of the day's file.
    void add(QDate day, const journal::Read &read);
    // One row of the day's file, as it is read.
    void addRow(QDate day, const journal::Row &row);
    // Counts the pending rows of the days read that no file held.
    void addPending();
    ShiftSummary result() const;

    // Reads the day's files of the program folder, first to last; stop() asked between files ends it early.
    static ShiftSummary readDays(const QString &programFolder, QDate from, QDate to,
                                 const std::function<bool()> &stop = {});

private:
    struct DesignRuns : Stones
    {
        QSet<QString> times;
    };
    void sum(QDate day, const journal::Row &row);

    ShiftSummary m_summary;
    QList<journal::PendingRow> m_pending;
    QHash<QStringList, int> m_written; // of the pending rows' keys: how many rows the files read hold
    // Put in order once, at the end: the natural order of names costs too much for every row.
    QHash<QString, ShiftSummary::UnitTotals> m_units;
    QHash<QString, DesignRuns> m_designs;
    QMap<QDate, QHash<QString, ShiftSummary::UnitTotals>> m_days;
    QMap<QDate, ShiftSummary::UnitTotals> m_dayTotals;
};

// Unit names in the order a person counts them: "UNIT 2" before "UNIT 10".
bool unitOrder(const QString &a, const QString &b);
