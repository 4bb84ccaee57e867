#include "Csv.h"
#include "records/JournalReader.h"
#include "records/RunJournal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime Start(QDate(2026, 12, 6), QTime(14, 3, 12));

} // namespace

class tst_RunJournal : public QObject
{
    Q_OBJECT

    QList<QStringList> rows() const { return parseCsv(QString::fromUtf8(m_written)); }
    RunJournal journal()
    {
        return RunJournal(
            [this](const QByteArray &row, QDate day) {
                m_written += row;
                m_days << day;
                return !m_holding;
            },
            [this](const Said &message) { m_announced << message.english; });
    }

private slots:
    void init()
    {
        m_written.clear();
        m_announced.clear();
        m_days.clear();
        m_holding = false;
    }

    // What one unit's row says, from what was sent and reported, and what the status line says once every
    // unit has its final word, naming every unit that is not complete.
    void unitResult_data()
    {
        // s: sent, n: not sent, F<n>: final count, !<n>: stuck, C<n>: shortfall; of UNIT 2 unless a unit's
        // number leads
        QTest::addColumn<QString>("events");
        QTest::addColumn<QStringList>("row"); // UNIT 2's: counted, short, result
        QTest::addColumn<QString>("status");
        const auto row = [](const char *name, const char *events, const char *unit2, const char *status = "") {
            QTest::newRow(name) << QString::fromLatin1(events) << QString::fromLatin1(unit2).split(u',')
                                << (*status ? u"RING, big: "_s + QLatin1String(status) : QString());
        };
        row("complete", "s F12", "12,,complete", "1 of 1 units complete");
        row("short by the count", "s F9", "9,,short", "0 of 1 complete - UNIT 2 short by 3");
        row("short by the report", "s C4 F8", "8,4,short", "0 of 1 complete - UNIT 2 short by 4");
        row("stuck", "s !5", "5,,stuck", "0 of 1 complete - UNIT 2 stuck");
        row("more than asked", "s F13", "13,,over", "0 of 1 complete - UNIT 2 over by 1");
        row("not sent", "n", ",,not sent");
        row("nothing final came", "s", ",,no report");
        row("a shortfall without a final count", "s C2", ",2,short");
        row("reports before the line went out are another run's", "F12 C3 s", ",,no report");
        row("three units, said once the last has its word", "1s s 3s 1F6 F12 3!4", "12,,complete",
            "1 of 3 complete - UNIT 1 short by 6, UNIT 3 stuck");
    }
    void unitResult()
    {
        QFETCH(QString, events);
        QFETCH(QStringList, row);
        QFETCH(QString, status);
        RunJournal j = journal();
        j.startRun(Start, u"RING, big"_s);
        const QStringList tokens = events.split(u' ');
        for (int n = 1; n <= 3; ++n) // UNIT 2, and each other unit sent to
            if (n == 2 || tokens.contains(QString::number(n) + u's'))
                j.addUnit(n, u"UNIT %1"_s.arg(n), u"10%1"_s.arg(n), u"12"_s);
        for (QString e : tokens) {
            const int n = e.at(0).isDigit() ? e.at(0).digitValue() : 2;
            e.remove(0, n == 2 ? 0 : 1);
            const double v = e.mid(1).toDouble();
            switch (e.at(0).unicode()) {
            case 's': j.sent(n); break;
            case 'n': j.notSent(n); break;
            case 'F': j.finalReport(n, v, false); break;
            case '!': j.finalReport(n, v, true); break;
            case 'C': j.shortfall(n, v); break;
            }
        }
        QCOMPARE(m_announced, status.isEmpty() ? QStringList() : QStringList{status});
        j.finish();
        const bool three = tokens.contains(u"1s"_s);
        QCOMPARE(rows().size(), three ? 3 : 1);
        const QStringList unit2 = QStringList{u"2026-12-06T14:03:12"_s, u"RING, big"_s, u"UNIT 2"_s, u"102"_s, u"12"_s}
            + row + QStringList(2);
        QCOMPARE(rows().value(three ? 1 : 0), unit2);
    }

    // What the writer writes, the reader reads back field for field; a name a spreadsheet would run as a
    // formula is written with a ' before it, and read back without.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("name"); // the design's and the panel's
        QTest::addColumn<QString>("cell"); // what a spreadsheet finds in the file
        for (const QString &formula :
             {u"=1+2"_s, u"+cmd|' /C calc'!A0"_s, u"@SUM(1)"_s, u"-2+3"_s, u"\tTAB"_s, u"\r=1"_s, u"'=1"_s, u"''-1"_s})
            QTest::addRow("%s", qPrintable(formula)) << formula << u'\'' + formula;
        for (const QString &plain : {u"RING-2"_s, u"'quoted"_s, u"'"_s, u"A=1"_s, u"\u00dcnit, \"big\"\r\nline two"_s})
            QTest::addRow("%s", qPrintable(plain)) << plain << plain;
    }
    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, cell);
        RunJournal j = journal();
        j.startRun(Start, name);
        j.addUnit(2, name, u"102"_s, u"12"_s);
        j.sent(2);
        j.finalReport(2, 10, false);
        j.verdict(2, false, 10);
        QCOMPARE(rows().value(0).mid(1, 2), QStringList(2, cell));
        const journal::Read read = journal::parse(RunJournal::Header + m_written);
        QCOMPARE(read.unreadable, 0);
        QCOMPARE(read.rows.size(), 1);
        const journal::Row &r = read.rows.front();
        QCOMPARE(QStringList({r.timeText, r.design, r.unit, r.uid, r.asked, r.counted, r.shortBy, r.result, r.verdict,
                              r.actual}),
                 QStringList({u"2026-12-06T14:03:12"_s, name, name, u"102"_s, u"12"_s, u"10"_s, QString(), u"short"_s,
                              u"NOT OK"_s, u"10"_s}));
        QCOMPARE(QDateTime(r.day, r.time), Start);
        QCOMPARE(journal::fields(m_written).mid(1, 2), QStringList(2, name));
    }

    // The rows a pending file holds go to the journal unless they are there already; what the journal's
    // reader does not read as a row goes nowhere but back to the caller, whole.
    void recovery_data()
    {
        QTest::addColumn<QByteArray>("pending");
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<QByteArray>("recovered");
        QTest::addColumn<QByteArrayList>("rejected");
        const QByteArray h = RunJournal::Header;
        const QByteArray a = "2026-12-06T14:03:12,RING,UNIT 1,101,4,,,no report,,\r\n";
        const QByteArray b = "2026-12-06T14:03:12,RING,UNIT 2,102,4,4,,complete,,\r\n";
        const QByteArray bJudged = "2026-12-06T14:03:12,RING,UNIT 2,102,4,4,,complete,OK,\r\n";
        QTest::newRow("a file of the journal's columns alone") << h + a + b << h + bJudged << a << QByteArrayList();
        QTest::newRow("a hand edit and random bytes among the rows") << h + a + "see above\r\n" + "\x8f\xff,\"\xfe\r\n"
                + b << h << a + b << QByteArrayList{"see above\r\n", "\x8f\xff,\"\xfe\r\n"};
        QTest::newRow("zeros a power cut left, cut short")
            << h + a + QByteArray(300, '\0') + "\n" + QByteArray(9, '\0') << h << a
            << QByteArrayList{QByteArray(300, '\0') + "\n", QByteArray(9, '\0') + "\n"};
    }
    void recovery()
    {
        QFETCH(QByteArray, pending);
        QFETCH(QByteArray, onDisk);
        RunJournal j = journal();
        const QByteArrayList rejected = j.recover(
            pending, [&](QDate day) { return day == Start.date() ? onDisk : QByteArray(); }, Start.date());
        QTEST(m_written, "recovered");
        QTEST(rejected, "rejected");
    }

    // A row is written when the operator judges the unit, when the next run starts or at the close, and
    // never twice.
    void whenRowsAreWritten()
    {
        RunJournal j = journal();
        j.startRun(Start, u"RING"_s);
        j.addUnit(1, u"UNIT 1"_s, u"101"_s, u"12"_s);
        j.addUnit(3, u"UNIT 3"_s, u"103"_s, u"4"_s, u"RING (changed)"_s); // a row booked apart
        j.sent(1);
        j.sent(3);
        j.finalReport(1, 12, false);
        j.verdict(3, false, 3);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows().at(0).at(1), u"RING (changed)"_s);
        QCOMPARE(rows().at(0).mid(7), (QStringList{u"no report"_s, u"NOT OK"_s, u"3"_s}));
        j.verdict(3, true); // judged already: no second row
        j.finalReport(3, 4, false);
        j.startRun(Start.addSecs(60), QString());
        QCOMPARE(rows().size(), 2);
        QCOMPARE(rows().at(1).mid(1, 2), (QStringList{u"RING"_s, u"UNIT 1"_s}));
        QCOMPARE(rows().at(1).at(7), u"complete"_s);
        j.addUnit(1, u"UNIT 1"_s, u"101"_s, u"5"_s);
        j.verdict(1, true);
        j.finish();
        j.finish();
        QCOMPARE(rows().size(), 3);
        QCOMPARE(rows().at(2).mid(7), (QStringList{u"not sent"_s, u"OK"_s, QString()}));
    }

    // The rows of the current run are on disk as they change: after a kill the next start writes those still
    // open, with an empty verdict, to the journal of their run's day, before anything else, and never a row twice.
    void restartAfterAKill()
    {
        QTemporaryDir dir;
        const QString pending = dir.filePath(u"Log/.pending-Runs.csv"_s);
        std::optional<RunJournal> j(journal());
        j->setPendingKeeper(RunJournal::pendingFile(pending));
        // A run of the same design in the same second before it: on disk, and no reason to drop the next.
        j->startRun(Start, u"RING, \"big\""_s);
        j->addUnit(2, u"UNIT 2"_s, u"102"_s, u"4"_s);
        j->verdict(2, true);
        j->startRun(Start, u"RING, \"big\""_s);
        for (int n : {1, 2, 3}) {
            j->addUnit(n, u"UNIT %1"_s.arg(n), u"10%1"_s.arg(n), u"4"_s);
            j->sent(n);
        }
        j->finalReport(2, 4, false);
        j->verdict(1, true);
        m_holding = true; // the journal cannot be written just now: the judged row stays pending too
        j->verdict(3, false, 2);
        j.reset(); // killed: nothing more is written
        const QByteArray left = RunJournal::readPending(pending);
        QByteArray journalOnDisk =
            RunJournal::Header + m_written.first(m_written.lastIndexOf("\n2026") + 1); // all but the held row
        const QString time = u"2026-12-06T14:03:12"_s, design = u"RING, \"big\""_s;
        const QList<QStringList> recovered{
            {time, design, u"UNIT 3"_s, u"103"_s, u"4"_s, {}, {}, u"no report"_s, u"NOT OK"_s, u"2"_s},
            {time, design, u"UNIT 2"_s, u"102"_s, u"4"_s, u"4"_s, {}, u"complete"_s, {}, {}}};
        // The second start: killed again once those rows were in the journal, before the pending file changed.
        for (int start = 0; start < 2; ++start, journalOnDisk += m_written) {
            init();
            RunJournal next = journal();
            next.setPendingKeeper(RunJournal::pendingFile(pending));
            next.recover(
                left, [&](QDate day) { return day == Start.date() ? journalOnDisk : QByteArray(); },
                Start.date().addDays(1));
            QCOMPARE(rows(), start == 0 ? recovered : QList<QStringList>());
            QCOMPARE(m_days, QList<QDate>(start == 0 ? 2 : 0, Start.date()));
            QVERIFY(!QFile::exists(pending));
        }
    }

private:
    QList<QDate> m_days;
    bool m_holding = false;
    QByteArray m_written;
    QStringList m_announced;
};

QTEST_MAIN(tst_RunJournal)
#include "tst_RunJournal.moc"
