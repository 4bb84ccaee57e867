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

    void makeWorld(int units)
    {
        m_w.emplace(uidsFor(units), 3, true);
        QVERIFY(m_w->ok);
    }

private slots:
    void init() { makeWorld(5); }
    void cleanup() { m_w.reset(); }

    void workedExample()
    {
        m_w->host.unit(2).checked = true; // check marks play no part
        run({u"12"_s, u"0"_s, u"4"_s, u"abc"_s, u"-3"_s});
        QCOMPARE(m_w->peer.wire(2), QByteArray(">C,12,101\r\n>C,4,103\r\n"));
        QCOMPARE(m_w->platform.sleeps.size(), 2); // a pause after each line
        QCOMPARE(m_w->host.pane, u"\r\n\r\n"_s); // a fresh top line per line sent
        QVERIFY(m_w->sender.history().isEmpty()); // count lines stay out of the command history
        QCOMPARE(m_w->host.box(4)->text(), u"abc"_s); // the boxes are not changed
    }

    void oneBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QByteArray>("line"); // empty: the unit is skipped
        QTest::addColumn<QString>("status");
        const QString notACount = u"UNIT 1: count not sent (whole numbers up to 999999)"_s;
        const QString noUid = u"UNIT 1 has no valid UID"_s;
        QTest::newRow("leading zeros") << u"007"_s << u"101"_s << QByteArray(">C,7,101\r\n") << QString();
        QTest::newRow("trailing text") << u"12abc"_s << u"101"_s << QByteArray(">C,12,101\r\n") << QString();
        QTest::newRow("the largest count") << u"999999"_s << u"101"_s << QByteArray(">C,999999,101\r\n") << QString();
        QTest::newRow("zero") << u"0"_s << u"101"_s << QByteArray() << QString();
        QTest::newRow("empty") << QString() << u"101"_s << QByteArray() << QString();
        QTest::newRow("a fraction") << u"2.5"_s << u"101"_s << QByteArray() << notACount;
        QTest::newRow("one too many") << u"1000000"_s << u"101"_s << QByteArray() << notACount;
        QTest::newRow("UID 0 would reach every unit") << u"9"_s << u"0"_s << QByteArray() << noUid;
        QTest::newRow("UID empty") << u"9"_s << QString() << QByteArray() << noUid;
        QTest::newRow("UID text") << u"9"_s << u"abc"_s << QByteArray() << noUid;
    }
    void oneBox()
    {
        QFETCH(QString, box);
        QFETCH(QString, uid);
        QFETCH(QByteArray, line);
        QFETCH(QString, status);
        m_w->host.unit(1).c3 = u"Count: 5"_s;
        m_w->host.box(1)->setProperty("Tag", uid);
        run({box});
        if (line.isEmpty()) {
            QVERIFY(m_w->platform.sleeps.isEmpty());
            QVERIFY(m_w->host.pane.isEmpty());
            QCOMPARE(m_w->host.unit(1).c3, u"Count: 5"_s);
            QTest::qWait(30);
            QVERIFY(m_w->peer.received().isEmpty());
        } else {
            QCOMPARE(m_w->peer.wire(1), line);
        }
        QCOMPARE(m_w->host.statuses, status.isEmpty() ? QStringList() : QStringList{status});
    }

    // The adapter is pulled after the given number of lines: the run stops and names every unit whose
    // line did not go out, and nothing is sent again by itself.
    void portLostDuringTheRun_data()
    {
        QTest::addColumn<int>("linesBefore");
        QTest::addColumn<QString>("report");
        QTest::newRow("after the second line")
            << 2 << u"Dispense stopped: port lost. Not sent: UNIT 3, UNIT 4, UNIT 5"_s;
        QTest::newRow("before the first line")
            << 0 << u"Dispense stopped: port lost. Not sent: UNIT 1, UNIT 2, UNIT 3, UNIT 4, UNIT 5"_s;
    }
    void portLostDuringTheRun()
    {
        QFETCH(int, linesBefore);
        QFETCH(QString, report);
        if (linesBefore == 0)
            m_w->peer.hangUp();
        m_w->platform.onSleep = [&](int) {
            if (m_w->platform.sleeps.size() == linesBefore)
                m_w->peer.hangUp();
        };
        run({u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s});
        QCOMPARE(m_w->platform.sleeps.size(), linesBefore);
        QCOMPARE(m_w->host.log, QStringList{report});
        QCOMPARE(m_w->host.statuses.last(), report);
        QVERIFY(m_w->host.pane.startsWith(report + u"\r\n"_s));
    }

    void unitsBeyondTheDesign_data()
    {
        QTest::addColumn<int>("noUnits");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("seven units dispense from boxes 6 and 7")
            << 7 << QByteArray(">C,1,101\r\n>C,5,104\r\n>C,6,106\r\n>C,7,107\r\n");
        QTest::newRow("units above 10 have no box")
            << 12 << QByteArray(">C,1,101\r\n>C,5,104\r\n>C,6,106\r\n>C,7,107\r\n>C,10,110\r\n");
    }
    void unitsBeyondTheDesign()
    {
        QFETCH(int, noUnits);
        QFETCH(QByteArray, lines);
        makeWorld(noUnits);
        run({u"1"_s, u"0"_s, u"0"_s, u"5"_s, u"0"_s, u"6"_s, u"7"_s, u"0"_s, u"0"_s, u"10"_s});
        QCOMPARE(m_w->peer.wire(int(lines.count("\r\n"))), lines);
        QCOMPARE(m_w->platform.sleeps.size(), lines.count("\r\n"));
    }

private:
    std::optional<Rig> m_w;
};

QTEST_MAIN(tst_DispenseRun)
#include "tst_DispenseRun.moc"
