#include "DispenseRun.h"
#include "TestFolder.h"

using namespace Qt::Literals::StringLiterals;

class tst_DispenseRun : public QObject
{
    Q_OBJECT

    void run(const QStringList &boxes)
    {
        m_w->host.setBoxTexts(boxes + QStringList(10 - boxes.size(), u"0"_s));
        DispenseRun::run(m_w->host, m_w->sender);
    }

private slots:
    void init() { QVERIFY(m_w.emplace(uidsFor(5), 3, true).ok); }

    // A line per unit whose box holds a count, a pause after it and a fresh top line in the pane; the boxes,
    // the check marks and the command history play no part. Units above 10 have no box.
    void runs_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("boxes");
        QTest::addColumn<QByteArray>("lines");
        const QByteArray seven = ">C,1,101\r\n>C,5,104\r\n>C,6,106\r\n>C,7,107\r\n";
        QTest::newRow("text after a number, leading zeros, zero, empty, negative")
            << 5 << u"12abc,0,004,,-3"_s << QByteArray(">C,12,101\r\n>C,4,103\r\n");
        QTest::newRow("seven units dispense from boxes 6 and 7") << 7 << u"1,0,0,5,0,6,7,0,0,10"_s << seven;
        QTest::newRow("units above 10 have no box") << 12 << u"1,0,0,5,0,6,7,0,0,10"_s << seven + ">C,10,110\r\n";
    }
    void runs()
    {
        QFETCH(int, units);
        QFETCH(QString, boxes);
        QFETCH(QByteArray, lines);
        QVERIFY(m_w.emplace(uidsFor(units), 3, true).ok);
        m_w->host.unit(2).setChecked(true); // check marks play no part
        run(boxes.split(u','));
        const int sent = int(lines.count("\r\n"));
        QCOMPARE(m_w->peer.wire(sent), lines);
        QCOMPARE(m_w->platform.sleeps.size(), sent);
        QCOMPARE(m_w->host.pane, u"\r\n"_s.repeated(sent));
        QVERIFY(m_w->sender.history().isEmpty()); // count lines stay out of the command history
        QVERIFY(m_w->host.boxTexts().join(u',').startsWith(boxes)); // the boxes are not changed
    }

    // A box the run cannot send from leaves its unit's panel and the pause alone, and the operator is told
    // on the status line, in the pane and in the log. Two units of the run at one address stop it all.
    void oneBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("box2"); // unit 2 (UID 102)
        QTest::addColumn<QByteArray>("lines"); // empty: nothing goes out
        QTest::addColumn<QString>("status");
        const QString notACount = u"UNIT 1: count not sent (whole numbers up to 999999)"_s;
        const QString noUid = u"UNIT 1 has no valid UID"_s;
        QTest::newRow("the largest count")
            << u"999999"_s << u"101"_s << u"0"_s << QByteArray(">C,999999,101\r\n") << QString();
        QTest::newRow("a fraction") << u"2.5"_s << u"101"_s << u"0"_s << QByteArray() << notACount;
        QTest::newRow("one too many") << u"1000000"_s << u"101"_s << u"0"_s << QByteArray() << notACount;
        QTest::newRow("UID 0 would reach every unit") << u"9"_s << u"0"_s << u"0"_s << QByteArray() << noUid;
        QTest::newRow("UID empty") << u"9"_s << QString() << u"0"_s << QByteArray() << noUid;
        QTest::newRow("UID text") << u"9"_s << u"abc"_s << u"0"_s << QByteArray() << noUid;
        QTest::newRow("UID of a unit not in the run")
            << u"9"_s << u"102"_s << u"0"_s << QByteArray(">C,9,102\r\n") << QString();
        QTest::newRow("UID of a unit in the run, written otherwise")
            << u"9"_s << u"0102"_s << u"5"_s << QByteArray()
            << u"Dispense not started: UNIT 1 and UNIT 2 share UID 102"_s;
    }
    void oneBox()
    {
        QFETCH(QString, box);
        QFETCH(QString, uid);
        QFETCH(QString, box2);
        QFETCH(QByteArray, lines);
        QFETCH(QString, status);
        m_w->host.unit(1).setCount(u"Count: 5"_s);
        m_w->host.box(1)->setProperty("Tag", uid);
        run({box, box2});
        QTest::qWait(30); // time for a line that should not go out
        QCOMPARE(lines.isEmpty() ? m_w->peer.received() : m_w->peer.wire(1), lines);
        QCOMPARE(m_w->platform.sleeps.size(), lines.count("\r\n"));
        QCOMPARE(m_w->host.pane, lines.isEmpty() ? status + u"\r\n"_s : u"\r\n"_s);
        QCOMPARE(m_w->host.log, status.isEmpty() ? QStringList() : QStringList{status});
        QCOMPARE(m_w->host.unit(1).countLine(), lines.isEmpty() ? u"Count: 5"_s : QString());
        QCOMPARE(m_w->host.statuses, status.isEmpty() ? QStringList() : QStringList{status});
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
        m_w->platform.onSleep = [&](int) {
            if (m_w->platform.sleeps.size() == linesBefore)
                m_w->peer.hangUp();
        };
        m_w->platform.onSleep(0); // before the first line
        run({u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s});
        QCOMPARE(m_w->platform.sleeps.size(), linesBefore);
        QCOMPARE(m_w->host.log, QStringList{report});
        QCOMPARE(m_w->host.statuses.last(), report);
        QVERIFY(m_w->host.pane.startsWith(report + u"\r\n"_s));
    }

private:
    std::optional<Rig> m_w;
};

QTEST_MAIN(tst_DispenseRun)
#include "tst_DispenseRun.moc"
