#include "Files.h"
#include "records/JournalReader.h"
#include "records/RunJournal.h"
#include "records/ShiftSummary.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray H = RunJournal::Header;
const QDate Day(2026, 12, 6);

// A table's rows, a line each, fields between commas.
QByteArray lines(const QList<QStringList> &rows)
{
    QString text;
    for (const QStringList &row : rows)
        text += row.join(u',') + u"\r\n"_s;
    return text.toUtf8();
}

// Every stone asked is told once: asked = counted - over + short + unaccounted.
bool reconciles(const Stones &s)
{
    return s.shortBy >= 0 && s.unaccounted >= 0 && s.stonesOver >= 0
        && qFuzzyCompare(1 + s.asked, 1 + s.counted - s.stonesOver + s.shortBy + s.unaccounted);
}

} // namespace

// The shift report's figures, from journal files as the console writes them and as people and crashes
// leave them.
class tst_ShiftSummary : public QObject
{
    Q_OBJECT

    void writeDay(QDate day, const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(journal::logFolder(m_dir.path())));
        QVERIFY(writeFile(journal::fileFor(m_dir.path(), day), bytes));
    }

private slots:
    void summary_data()
    {
        QTest::addColumn<QByteArrayList>("days"); // the files of Day, Day + 1, ...; empty: no file
        QTest::addColumn<int>("rangeDays");
        // The unit table, without its header: ...,stones asked,counted,over,short,unaccounted,yield %,OK,NOT OK
        QTest::addColumn<QByteArray>("units");
        QTest::addColumn<QStringList>("designs"); // design,runs,asked,counted,over,short,unaccounted,yield %
        QTest::addColumn<QString>("counted"); // bins with stones, "bin=stones"
        QTest::addColumn<int>("unreadable");
        QTest::addColumn<QByteArray>("pending"); // the rows of the run in progress, kept aside

        QTest::newRow("every result and verdict, empty fields counting 0")
            << QByteArrayList{H
                              + "2026-12-06T14:03:12,RING,UNIT 1,101,12,12,,complete,OK,\r\n"
                                "2026-12-06T14:03:12,RING,UNIT 3,103,4,1,3,short,NOT OK,1\r\n"
                                "2026-12-06T14:20:00,RING,UNIT 1,101,12,5,,stuck,,\r\n"
                                "2026-12-06T15:01:00,,UNIT 1,101,7,8,,over,NOT OK,8\r\n"
                                "2026-12-06T15:30:00,,UNIT 1,101,7,,,not sent,,\r\n"
                                "2026-12-06T15:31:00,,UNIT 3,103,2,,,no report,,\r\n"}
            << 1
            << QByteArray("UNIT 1,101,4,1,0,1,1,1,0,38,25,1,0,14,63.2,1,1\r\n"
                          "UNIT 3,103,2,0,1,0,0,0,1,6,1,0,3,2,16.7,0,1\r\n"
                          "total,,6,1,1,1,1,1,1,44,26,1,3,16,56.8,1,2\r\n")
            << QStringList{u"RING,2,28,18,0,3,7,64.3"_s, u"(no design),3,16,8,1,0,9,43.8"_s} << u"14=18 15=8"_s << 0
            << QByteArray();
        QTest::newRow("rows cut off, hand-edited, of the wrong width, each skipped and counted")
            << QByteArrayList{H
                              + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,,\r\n"
                                "2026-12-06T09:00:00,RING,UNIT 2,102,12,12,,complete,,,extra\r\n"
                                "2026-12-06T09:00:00,RI\"NG,UNIT 2,102,12,12,,complete,,\r\n"
                                "2026-12-06T09:00:00,\"RING\"x,UNIT 2,102,12,12,,complete,,\r\n"
                                "yesterday,RING,UNIT 2,102,12,12,,complete,,\r\n"
                                "2O26-12-06T09:00:00,RING,UNIT 2,102,12,12,,complete,,\r\n"
                                "\r\n"
                                "2026-12-06T10:00:00,RING,UNIT 2,102,12,12,,complete,,\r\n"
                                "2026-12-06T11:00:00,\"RING,UNIT 1,101,12,1"}
            << 1
            << QByteArray("UNIT 1,101,1,1,0,0,0,0,0,12,12,0,0,0,100.0,0,0\r\n"
                          "UNIT 2,102,1,1,0,0,0,0,0,12,12,0,0,0,100.0,0,0\r\n"
                          "total,,2,2,0,0,0,0,0,24,24,0,0,0,100.0,0,0\r\n")
            << QStringList{u"RING,2,24,24,0,0,0,100.0"_s} << u"9=12 10=12"_s << 6 << QByteArray();
        // The first day's last row is cut off after a whole field: it has every field, not its line end.
        QTest::newRow("a range of three days, one without runs, stones per day")
            << QByteArrayList{H
                                  + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,OK,\r\n"
                                    "2026-12-06T09:05:00,RING,UNIT 1,101,12,12,,complete,OK,",
                              {},
                              H + "2026-12-08T23:59:59,RING,UNIT 1,101,12,10,2,short,,\r\n"}
            << 3
            << QByteArray("UNIT 1,101,2,1,1,0,0,0,0,24,22,0,2,0,91.7,1,0\r\n"
                          "total,,2,1,1,0,0,0,0,24,22,0,2,0,91.7,1,0\r\n")
            << QStringList{u"RING,2,24,22,0,2,0,91.7"_s} << u"0=12 2=10"_s << 1 << QByteArray();
        QTest::newRow("a unit whose UID changed, units in the order they are counted")
            << QByteArrayList{H
                              + "2026-12-06T09:00:00,,UNIT 10,110,1,1,,complete,,\r\n"
                                "2026-12-06T09:00:00,,UNIT 2,102,1,1,,complete,,\r\n"
                                "2026-12-06T10:00:00,,UNIT 2,112,1,1,,complete,,\r\n"
                                "2026-12-06T11:00:00,,UNIT 2,102,1,1,,complete,,\r\n"}
            << 1
            << QByteArray("UNIT 2,102/112,3,3,0,0,0,0,0,3,3,0,0,0,100.0,0,0\r\n"
                          "UNIT 10,110,1,1,0,0,0,0,0,1,1,0,0,0,100.0,0,0\r\n"
                          "total,,4,4,0,0,0,0,0,4,4,0,0,0,100.0,0,0\r\n")
            << QStringList{u"(no design),3,4,4,0,0,0,100.0"_s} << u"9=2 10=1 11=1"_s << 0 << QByteArray();
        QTest::newRow("saved again by a spreadsheet: a byte order mark, LF, columns moved, quotes kept")
            << QByteArrayList{"\xEF\xBB\xBFunit,time,design,uid,asked,counted,short,result,verdict,actual,note\n"
                              "\"UNIT 1, left\",2026-12-06T08:00:00,\"RING \"\"big\"\"\nline two\",101,3,3,,"
                              "complete,OK,,\"seen, fine\"\n"}
            << 1
            << QByteArray("UNIT 1, left,101,1,1,0,0,0,0,0,3,3,0,0,0,100.0,1,0\r\n"
                          "total,,1,1,0,0,0,0,0,3,3,0,0,0,100.0,1,0\r\n")
            << QStringList{u"RING \"big\"\nline two,1,3,3,0,0,0,100.0"_s} << u"8=3"_s << 0 << QByteArray();
        QTest::newRow("a header without the result column: nothing under it can be read")
            << QByteArrayList{"time,design,unit,uid,asked,counted,short,verdict,actual\r\n"
                              "2026-12-06T08:00:00,RING,UNIT 1,101,3,3,,OK,\r\n"}
            << 1 << QByteArray("total,,0,0,0,0,0,0,0,0,0,0,0,0,,0,0\r\n") << QStringList() << QString() << 1
            << QByteArray();
        // A row written while the report reads is in both files and counts once, a pending row of a day not
        // asked for not at all.
        QTest::newRow("the run in progress")
            << QByteArrayList{H + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,OK,\r\n"} << 1
            << QByteArray("UNIT 1,101,2,1,0,0,0,0,1,24,12,0,0,12,50.0,1,0\r\n"
                          "UNIT 2,102,1,1,0,0,0,0,0,5,5,0,0,0,100.0,0,0\r\n"
                          "total,,3,2,0,0,0,0,1,29,17,0,0,12,58.6,1,0\r\n")
            << QStringList{u"RING,2,29,17,0,0,12,58.6"_s} << u"9=12 10=5"_s << 0
            << H
                + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,,\r\n"
                  "2026-12-06T10:00:00,RING,UNIT 1,101,12,,,no report,,\r\n"
                  "2026-12-06T10:00:00,RING,UNIT 2,102,5,5,,complete,,\r\n"
                  "2026-12-07T00:00:01,RING,UNIT 2,102,5,5,,complete,,\r\n";
        // A second run of the design in the same second, in progress: its UNIT 1 row has the key of the first
        // run's, which the file holds, but not its place.
        QTest::newRow("two runs in one second, the second in progress")
            << QByteArrayList{H + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,OK,\r\n"} << 1
            << QByteArray("UNIT 1,101,2,2,0,0,0,0,0,24,24,0,0,0,100.0,1,0\r\n"
                          "UNIT 2,102,1,1,0,0,0,0,0,5,5,0,0,0,100.0,0,0\r\n"
                          "total,,3,3,0,0,0,0,0,29,29,0,0,0,100.0,1,0\r\n")
            << QStringList{u"RING,1,29,29,0,0,0,100.0"_s} << u"9=29"_s << 0
            << RunJournal::PendingHeader
                + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,OK,,1,0\r\n"
                  "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,,,2,1\r\n"
                  "2026-12-06T09:00:00,RING,UNIT 2,102,5,5,,complete,,,2,0\r\n"
                  "2026-12-06T09:00:00,RING,UNIT 2,102,5,5,,complete,,,2,0\r\n";
    }
    void summary()
    {
        QFETCH(QByteArrayList, days);
        QFETCH(int, rangeDays);
        QFETCH(int, unreadable);
        QFETCH(QByteArray, pending);
        for (qsizetype i = 0; i < days.size(); ++i)
            if (!days[i].isEmpty())
                writeDay(Day.addDays(i), days[i]);
        if (!pending.isEmpty())
            QVERIFY(writeFile(journal::pendingFor(m_dir.path()), pending));

        const ShiftSummary s = ShiftSummaryBuilder::readDays(m_dir.path(), Day, Day.addDays(rangeDays - 1));
        QTEST(lines(s.unitRows()), "units");
        QTEST(QString::fromUtf8(lines(s.designRows())).split(u"\r\n"_s, Qt::SkipEmptyParts), "designs");
        QStringList bins;
        for (qsizetype i = 0; i < s.counted.size(); ++i)
            if (s.counted[i] != 0)
                bins << u"%1=%2"_s.arg(i).arg(s.counted[i]);
        QTEST(bins.join(u' '), "counted");
        QCOMPARE(s.unreadable, unreadable);
        QCOMPARE(s.unreadableText().isEmpty(), unreadable == 0);
        QCOMPARE(s.inProgressText(),
                 pending.isEmpty() ? QString() : u"Includes the run in progress (2 units, not judged yet)"_s);
    }

    // A journal past the bound, or something else in a journal's place, is refused whole with a message;
    // what the other days hold still counts.
    void fileRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("a file over 64 MiB") << u"large"_s << u"26-12-07-Runs.csv is larger than 64 MiB: not read"_s;
        QTest::newRow("a folder") << u"folder"_s << u"26-12-07-Runs.csv is not a file: not read"_s;
#ifdef Q_OS_UNIX
        QTest::newRow("a pipe nobody writes to") << u"pipe"_s << u"26-12-07-Runs.csv is not a file: not read"_s;
#endif
    }
    void fileRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        writeDay(Day, H + "2026-12-06T09:00:00,RING,UNIT 1,101,12,12,,complete,,\r\n");
        const QString path = journal::fileFor(m_dir.path(), Day.addDays(1));
        if (kind == u"large") {
            writeDay(Day.addDays(1), {});
            QVERIFY(QFile(path).resize(journal::MaxFileBytes + 1)); // sparse: no disk space taken
        } else if (kind == u"folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            QCOMPARE(QProcess::execute(u"mkfifo"_s, {path}), 0);
        }
        const ShiftSummary s = ShiftSummaryBuilder::readDays(m_dir.path(), Day, Day.addDays(1));
        QCOMPARE(s.total.runs, 1);
        QCOMPARE(s.files, 2);
        QCOMPARE(s.refused.size(), 1);
        QVERIFY2(s.refused.front().endsWith(message), qPrintable(s.refused.front()));
    }

    // A stone's fate in one row at the edges (each result is in the fixtures above): rounding, a shortfall
    // that does not fit, hand-typed counts.
    void stones_data()
    {
        QTest::addColumn<QString>("row"); // asked,counted,short as the journal holds them
        QTest::addColumn<QString>("told"); // over,short,unaccounted,yield %
        QTest::newRow("a tenth's half rounds up, not to even") << u"16,1,15"_s << u"0,15,0,6.3"_s;
        QTest::newRow("one stone missing of two thousand is not 100.0") << u"2000,1999,1"_s << u"0,1,0,99.9"_s;
        QTest::newRow("one stone of twenty thousand is not 0.0") << u"20000,1,"_s << u"0,0,19999,0.1"_s;
        QTest::newRow("a shortfall larger than what is missing") << u"10,8,5"_s << u"0,2,0,80.0"_s;
        QTest::newRow("nothing asked: no yield") << u",5,"_s << u"5,0,0,"_s;
        QTest::newRow("a negative count, hand-typed, counts 0") << u"-5,3,-2"_s << u"3,0,0,"_s;
        QTest::newRow("a count no unit could count") << u"1E999,3,1e300"_s << u"3,0,0,"_s;
    }
    void stones()
    {
        QFETCH(QString, row);
        const QStringList fields = row.split(u',');
        Stones s;
        s.add(fields[0], fields[1], fields[2]);
        QVERIFY(reconciles(s));
        QTEST(u"%1,%2,%3,%4"_s.arg(s.stonesOver).arg(s.shortBy).arg(s.unaccounted).arg(s.yieldText()), "told");
    }

    // A seeded random journal of a week: the stones reconcile on every row of every table and in the total,
    // and the units, the designs and the days each add up to it.
    void randomJournalReconciles()
    {
        QRandomGenerator random(30);
        const QStringList results{u"complete"_s, u"short"_s, u"stuck"_s, u"over"_s, u"not sent"_s, u"no report"_s};
        const QStringList odd{QString(), u"-3"_s, u"2.5"_s}; // one count in four is none, negative or a fraction
        const auto count = [&](int most) {
            const int pick = random.bounded(12);
            return pick < 3 ? odd[pick] : QString::number(random.bounded(most));
        };
        for (int day = 0; day < 7; ++day) {
            QByteArray text = H;
            for (int run = 0; run < 60; ++run) {
                const QTime time(random.bounded(24), random.bounded(60));
                const QString design = random.bounded(4) ? u"D%1"_s.arg(random.bounded(5)) : QString();
                text += u"%1T%2,%3,UNIT %4,10%5,%6,%7,%8,%9,,\r\n"_s
                            .arg(Day.addDays(day).toString(Qt::ISODate), time.toString(Qt::ISODate), design)
                            .arg(1 + random.bounded(5))
                            .arg(random.bounded(9))
                            .arg(count(20), count(25), count(10), results[random.bounded(int(results.size()))])
                            .toUtf8();
            }
            writeDay(Day.addDays(day), text);
        }
        const ShiftSummary s = ShiftSummaryBuilder::readDays(m_dir.path(), Day, Day.addDays(6));
        QCOMPARE(s.total.runs, 7 * 60);
        QCOMPARE(int(s.days.size()), 7);
        QVERIFY(reconciles(s.total));
        // Each table reconciles row by row, and adds up to the total.
        const auto figures = [](const Stones &t) {
            return QList{t.asked, t.counted, t.stonesOver, t.shortBy, t.unaccounted};
        };
        const auto addsUp = [&](const auto &table, const auto &stonesOf) {
            QList<double> whole(5);
            for (const auto &row : table) {
                QVERIFY(reconciles(stonesOf(row)));
                for (qsizetype i = 0; i < 5; ++i)
                    whole[i] += figures(stonesOf(row))[i];
            }
            QCOMPARE(whole, figures(s.total));
        };
        const auto itself = [](const Stones &row) -> const Stones & { return row; };
        addsUp(s.units, itself);
        addsUp(s.designs, itself);
        addsUp(s.days, [](const ShiftSummary::DayTotals &d) -> const Stones & { return d.total; });
        for (const auto &d : s.days)
            for (const auto &u : d.units)
                QVERIFY(reconciles(u));
        QCOMPARE(s.firstRun.date(), Day);
        QCOMPARE(s.lastRun.date(), Day.addDays(6));
    }

    void cleanup()
    {
        QDir(journal::logFolder(m_dir.path())).removeRecursively();
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(tst_ShiftSummary)
#include "tst_ShiftSummary.moc"
