#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

// The dispense journal: one CSV row per unit of every dispense run, saying what the run asked, what the
// controller reported and what the operator judged, for whoever reads the shift's runs without the
// controller's chatter. A unit's row is written when the operator gives its verdict, when the next run
// starts, or when the console closes, whichever comes first, and never twice.
class RunJournal
{
public:
    // Receives each row, in the file's encoding (UTF-8), its line end included.
    using Writer = std::function<void(const QByteArray &row)>;
    // Receives the message due when every unit of a run has its final word.
    using Announcer = std::function<void(const QString &message)>;

    static const QByteArray Header;

    RunJournal(Writer writer, Announcer announcer = {});

    // A run starts: the rows of the run before it are written.
    void startRun(const QDateTime &start, const QString &design);
    // Unit n is part of the run: its panel's name, its UID and the count it is to get.
    void addUnit(int n, const QString &unit, const QString &uid, const QString &asked);
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

    // A field as spreadsheets read it: quoted when it holds a comma, a quote or a line break.
    static QString csvField(const QString &text);

private:
    enum class Sending { Pending, Sent, NotSent };
    struct UnitRun
    {
        int n = 0;
        QString unit, uid, asked;
        Sending sending = Sending::Pending;
        std::optional<double> counted, shortBy;
        bool stuck = false;
        bool written = false;
    };
    UnitRun *find(int n);
    // The unit's result: complete, short, stuck, not sent or no report.
    static QString result(const UnitRun &u);
    void write(UnitRun &u, const QString &verdict, const QString &actual);
    // Says how the run went once every unit has its final word (once per run).
    void announceWhenDone();

    Writer m_writer;
    Announcer m_announcer;
    QDateTime m_start;
    QString m_design;
    std::vector<UnitRun> m_units;
    bool m_announced = true;
};
