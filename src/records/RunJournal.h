#pragma once

#include "common/Said.h"
#include "records/JournalRow.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The dispense journal: one CSV row per unit of every dispense run, saying what the run asked, what the
// controller reported and what the operator judged, for whoever reads the shift's runs without the
// controller's chatter. A unit's row is written when the operator gives its verdict, when the next run
// starts, or when the console closes, whichever comes first, and never twice.
//
// Until then the rows are kept aside on disk as they change (see PendingKeeper), so that a crash or a power
// cut loses none: the next start writes them to the journal, with an empty verdict, before anything else.
// The pending rows carry two columns the journal has not: the run's number in the session, and how many
// rows with the same time, design, unit, UID and count asked were written before (so that two runs started
// in the same second stay two runs).
class RunJournal
{
public:
    // The day's file: every row in the file's encoding (UTF-8), its line end included, for the journal of
    // the day given, or of today when the date is invalid. Returns true once the row is on disk, false when
    // it is held to be written later (the journal cannot be written just now).
    using Writer = std::function<bool(const QByteArray &row, QDate day)>;
    // Receives the message due when every unit of a run has its final word.
    using Announcer = std::function<void(const Said &message)>;
    // Receives, whenever they change, the rows not known to be on disk yet: the header, the rows handed to
    // the writer and held, and the rows of the current run still open, as they would be written now (with an
    // empty verdict), each with its run and earlier columns. An empty text when there are none.
    using PendingKeeper = std::function<void(const QByteArray &rows)>;

    static const QByteArray Header;
    // The pending file's header: the journal's columns, then "run" and "earlier".
    static const QByteArray PendingHeader;

    // writer: the day's file, the first of the sinks.
    RunJournal(Writer writer, Announcer announcer = {});
    ~RunJournal();
    RunJournal(RunJournal &&) noexcept;

    void setPendingKeeper(PendingKeeper keeper);
    // Every row goes to each sink once it is final (recovered rows included), after the day's file; a sink
    // that is going away is taken back first.
    void addSink(JournalSink *sink);
    void removeSink(JournalSink *sink);
    // A keeper that replaces the file at path atomically (its folder made as needed) and removes it when
    // nothing is pending; and what such a file holds.
    static PendingKeeper pendingFile(const QString &path);
    static QByteArray readPending(const QString &path);

    // The rows an earlier session left pending (what its keeper kept last, or a file of the journal's columns
    // alone): each row not in the journal yet (journalOf gives a day's journal as it is on disk; the days from
    // the run's to today are looked at) is written now, to the journal of its run's day. Only what the
    // journal's reader reads as a row is taken; the other records are returned, each whole with a line end.
    QByteArrayList recover(const QByteArray &pending, const std::function<QByteArray(QDate day)> &journalOf,
                           QDate today);
    // The rows the writer held are on disk now.
    void heldRowsWritten();

    // A run starts: the rows of the run before it are written. design names the run when its outcome is
    // said, and is every row's design unless the row has its own.
    void startRun(const QDateTime &start, const QString &design);
    // Unit n is part of the run: its panel's name, its UID, the count it is to get and the design that
    // put that count in its box.
    void addUnit(int n, const QString &unit, const QString &uid, const QString &asked,
                 const std::optional<QString> &design = std::nullopt);
    // Unit n's line went out whole; from now on the controller's reports on it count.
    void sent(int n);
    // Unit n's line did not go out whole (or was not sent at all).
    void notSent(int n);

    // What the controller reported on unit n: its final count ("[F]"), with or without a stuck stone, and
    // a shortfall.
    void finalReport(int n, std::optional<double> count, bool stuck);
    void shortfall(int n, double value);

    // The operator's verdict on unit n: its row is written now, with the verdict.
    void verdict(int n, bool ok, qint32 actual = 0);
    // Writes every row not written yet (the console closes).
    void finish();

    // A field as spreadsheets read it: quoted when it holds a comma, a quote or a line break, and never
    // taken for a formula (see journal::guardFormula).
    static QString csvField(const QString &text);
    // A row as the day's file holds it, its line end included.
    static QByteArray csvLine(const JournalRow &row);

private:
    enum class Sending { Pending, Sent, NotSent };
    struct UnitRun
    {
        int n = 0;
        QString unit, uid, asked, design;
        Sending sending = Sending::Pending;
        std::optional<double> counted, shortBy;
        bool stuck = false;
        bool written = false;
    };
    UnitRun *find(int n);
    // The unit's result: complete, short, stuck, not sent or no report.
    static QString result(const UnitRun &u);
    JournalRow rowOf(const UnitRun &u, const QString &verdict, const QString &actual) const;
    static QByteArray csvOf(const QStringList &fields);
    // The row as the pending file keeps it: with its run and the rows with its key written before it.
    static QByteArray pendingRowOf(const JournalRow &row, const QString &run, int earlier);
    void write(UnitRun &u, const QString &verdict, const QString &actual);
    // The one place a row leaves the journal.
    void writeRow(const JournalRow &row, QDate day, const QString &run, int earlier);
    // Hands the keeper the rows pending now.
    void keepPending();
    // Says how the run went once every unit has its final word (once per run).
    void announceWhenDone();

    std::unique_ptr<JournalSink> m_file;
    Announcer m_announcer;
    PendingKeeper m_keeper;
    std::vector<JournalSink *> m_sinks;
    // Rows the writer holds (as the pending file keeps them): pending until they are on disk.
    QByteArray m_held;
    // Rows of this session's runs handed to the writer, by time, design, unit, UID and count asked; only
    // those of the current run's second are kept (no later run can share another's).
    QHash<QStringList, int> m_written;
    int m_runNumber = 0;
    QDateTime m_start;
    QString m_design;
    std::vector<UnitRun> m_units;
    bool m_announced = true;
};
