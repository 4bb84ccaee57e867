#include "Csv.h"
#include "TestFolder.h"
#include "designs/DispenseRun.h"
#include "records/RunJournal.h"

using namespace Qt::Literals::StringLiterals;

class tst_DispenseRun : public QObject
{
    Q_OBJECT

    // Starts a run; the first line goes out at once, the rest as the clock moves on.
    void start(const QStringList &boxes)
    {
        m_w->host.setBoxTexts(boxes + QStringList(10 - boxes.size(), u"0"_s));
        DispenseRun::run(m_w->host, m_w->sender, {}, [this] { m_done = m_w->platform.virtualMs; });
    }

private slots:
    void init()
    {
        QVERIFY(m_w.emplace(uidsFor(5), 3, true).ok);
        m_done = -1;
    }

    // A line per unit whose box holds a count up to 999999, 200 ms after the line before, a pause after it and
    // a fresh top line in the pane; the boxes, the check marks and the command history play no part, and units
    // above 10 have no box. A box the run cannot send from leaves its unit's panel and the pause alone, and the
    // operator is told on the status line, in the pane and in the log. Two units at one address stop it all.
    void runs_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QString>("uid"); // in box 1's Tag; null: UNIT 1's own
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QString>("status");
        const auto row = [](const char *name, const QString &boxes, const QString &uid, const QByteArray &lines,
                            const QString &status = {},
                            int units = 5) { QTest::newRow(name) << units << boxes << uid << lines << status; };
        const QByteArray seven = ">C,1,101\r\n>C,5,104\r\n>C,6,106\r\n>C,7,107\r\n";
        const QString notACount = u"UNIT 1: count not sent (whole numbers up to 999999)"_s;
        row("text after a number, leading zeros, zero, empty, negative", u"12abc,0,004,,-3"_s, {},
            ">C,12,101\r\n>C,4,103\r\n");
        row("seven units dispense from boxes 6 and 7", u"1,0,0,5,0,6,7,0,0,10"_s, {}, seven, {}, 7);
        row("units above 10 have no box", u"1,0,0,5,0,6,7,0,0,10"_s, {}, seven + ">C,10,110\r\n", {}, 12);
        row("the largest count", u"999999"_s, {}, ">C,999999,101\r\n");
        row("a fraction", u"2.5"_s, {}, {}, notACount);
        row("one too many", u"1000000"_s, {}, {}, notACount);
        row("UID 0 would reach every unit", u"9"_s, u"0"_s, {}, u"UNIT 1 has no valid UID"_s);
        row("UID of a unit not in the run", u"9"_s, u"102"_s, ">C,9,102\r\n");
        row("UID of a unit in the run, written otherwise", u"9,5"_s, u"0102"_s, {},
            u"Dispense not started: UNIT 1 and UNIT 2 share UID 102"_s);
    }
    void runs()
    {
        QFETCH(int, units);
        QFETCH(QString, boxes);
        QFETCH(QString, uid);
        QFETCH(QByteArray, lines);
        QFETCH(QString, status);
        QVERIFY(m_w.emplace(uidsFor(units), 3, true).ok);
        m_w->host.model(1).setCount(u"Count: 5"_s);
        m_w->host.model(2).setChecked(true); // check marks play no part
        if (!uid.isNull())
            m_w->host.box(1)->setProperty("Tag", uid);
        start(boxes.split(u','));
        m_w->platform.settle();
        const int sent = int(lines.count("\r\n"));
        QTest::qWait(30); // time for a line that should not go out
        QCOMPARE(sent ? m_w->peer.wire(sent) : m_w->peer.received(), lines);
        QCOMPARE(m_done, sent * DispenseRun::SpacingMs);
        QCOMPARE(m_w->host.pane, sent ? u"\r\n"_s.repeated(sent) : status + u"\r\n"_s);
        QCOMPARE(m_w->host.model(1).countLine(), sent ? QString() : u"Count: 5"_s); // a send clears the panels
        const QStringList told = status.isEmpty() ? QStringList() : QStringList{status};
        QCOMPARE(m_w->host.logged, told);
        QCOMPARE(m_w->host.statuses, told);
        QVERIFY(m_w->sender.history().isEmpty()); // count lines stay out of the command history
        QVERIFY(m_w->host.boxTexts().join(u',').startsWith(boxes)); // the boxes are not changed
    }

    // The adapter is pulled after the given number of lines: the run stops and names every unit whose
    // line did not go out, and nothing is sent again by itself. Without a controller ever found, the
    // missing controller is named instead of a lost port.
    void portLostDuringTheRun_data()
    {
        QTest::addColumn<int>("linesBefore");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("report");
        QTest::newRow("after the second line")
            << 2 << true << u"Dispense stopped: port lost. Not sent: UNIT 3, UNIT 4, UNIT 5"_s;
        QTest::newRow("before the first line")
            << 0 << true << u"Dispense stopped: port lost. Not sent: UNIT 1, UNIT 2, UNIT 3, UNIT 4, UNIT 5"_s;
        QTest::newRow("no controller ever found")
            << 0 << false << u"Dispense stopped: no controller. Not sent: UNIT 1, UNIT 2, UNIT 3, UNIT 4, UNIT 5"_s;
    }
    void portLostDuringTheRun()
    {
        QFETCH(int, linesBefore);
        QFETCH(bool, found);
        QFETCH(QString, report);
        if (found)
            m_w->sender.markControllerFound();
        if (linesBefore == 0)
            m_w->peer.hangUp();
        start({u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s});
        m_w->platform.advance((linesBefore - 1) * DispenseRun::SpacingMs);
        m_w->peer.hangUp();
        m_w->platform.settle();
        QCOMPARE(m_done, linesBefore * DispenseRun::SpacingMs);
        QCOMPARE(m_w->host.logged, QStringList{report});
        QCOMPARE(m_w->host.statuses.last(), report);
        QVERIFY(m_w->host.pane.startsWith(report + u"\r\n"_s));
    }

    // What comes during a run waits for it: a click or a second run goes out 200 ms after the run's last
    // line, the controller's answers are read (and a stuck unit stopped) once the run is over, in the
    // order they came. The close drops what has not gone out; the log says so and the journal has every row.
    void duringARun_data()
    {
        QTest::addColumn<QString>("action"); // 100 ms into the run, between its two lines
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QList<qint64>>("at"); // when each line went out
        QTest::addColumn<QString>("said");
        const QByteArray run = ">C,12,101\r\n>C,4,103\r\n";
        QTest::newRow("console text to units 2 and 4") << u"console"_s << run + ">X,102,0\r\n>X,104,0\r\n"
                                                       << QList<qint64>{0, 200, 400, 600} << QString();
        QTest::newRow("a second run") << u"run"_s << run + run << QList<qint64>{0, 200, 400, 600} << QString();
        QTest::newRow("a stuck stone reported by unit 1") << u"stuck"_s << run + ">S,101,0\r\n"
                                                          << QList<qint64>{0, 200, 400} << u"9\t101\t[F]!!!\t3"_s;
        QTest::newRow("the console closes") << u"close"_s << run.first(11) << QList<qint64>{0}
                                            << u"Dispense stopped: console closed. Not sent: UNIT 3"_s;
    }
    void duringARun()
    {
        QFETCH(QString, action);
        QFETCH(QByteArray, lines);
        QFETCH(QList<qint64>, at);
        QByteArray written;
        RunJournal journal([&](const QByteArray &row, QDate) { return written += row, true; });
        m_w->host.runs = &journal;
        m_w->host.model(2).setChecked(true), m_w->host.model(4).setChecked(true);
        QList<qint64> sentAt;
        for (; m_w->platform.virtualMs <= 1000; m_w->platform.advance(10)) {
            if (m_w->platform.virtualMs == 0)
                start({u"12"_s, u"0"_s, u"4"_s});
            if (m_w->platform.virtualMs == 100) {
                if (action == u"console"_s)
                    m_w->sender.sendToChecked(u"X"_s);
                else if (action == u"run"_s)
                    DispenseRun::run(m_w->host, m_w->sender);
                else if (action == u"stuck"_s)
                    m_w->peer.send("9\t101\t[F]!!!\t3\r\n");
                else
                    m_w->sender.queue().clear();
            }
            if (m_w->platform.virtualMs % 100 == 0) // the receive poll
                m_w->processor.receiveStep();
            // Each line sent opens a fresh, empty line at the top of the pane.
            for (qsizetype n = m_w->host.pane.split(u"\r\n"_s).count(QString()) - 1 - sentAt.size(); n > 0; --n)
                sentAt << m_w->platform.virtualMs;
        }
        QCOMPARE(m_w->peer.wire(int(at.size())), lines);
        QTest::qWait(30); // time for a line that should not go out
        QCOMPARE(m_w->peer.received(), lines);
        QCOMPARE(sentAt, at);
        QTEST(m_w->host.logged.value(0), "said");
        journal.finish();
        QCOMPARE(parseCsv(QString::fromUtf8(written)).size(), action == u"run"_s ? 4 : 2);
    }

private:
    std::optional<Rig> m_w;
    qint64 m_done = -1;
};

QTEST_MAIN(tst_DispenseRun)
#include "tst_DispenseRun.moc"
