#include "DispenseRun.h"
#include "OperatorTestSupport.h"

using namespace Qt::Literals::StringLiterals;

class tst_DispenseRun : public QObject
{
    Q_OBJECT

private:
    void run(const QStringList &boxes)
    {
        m_w->host.setBoxTexts(boxes + QStringList(10 - boxes.size(), u"0"_s));
        DispenseRun::run(m_w->host, m_w->sender);
    }

private slots:
    void init()
    {
        m_w.emplace();
        QVERIFY(m_w->ready());
        mSettings::WriteIni(mSettings::IniFile2, u"Internal Commands"_s, u"Count"_s, u"C"_s);
    }
    void cleanup() { m_w.reset(); }

    void workedExample()
    {
        for (int n = 1; n <= 5; ++n) {
            m_w->host.unit(n).c3 = u"Count: 9"_s;
            m_w->host.unit(n).c4 = u"Short : 1"_s;
            m_w->host.unit(n).checked = n == 2; // check marks play no part
        }
        QList<QByteArray> atPause; // what was on the wire each time the run paused
        m_w->platform.onSleep = [&](int) { atPause << m_w->wire(int(atPause.size()) + 1); };
        run({u"12"_s, u"0"_s, u"4"_s, u"abc"_s, u"-3"_s});

        const QByteArray first = QByteArray::fromHex("3E432C31322C3130310D0A"); // >C,12,101 CR LF
        QCOMPARE(m_w->wire(2), first + ">C,4,103\r\n");
        QCOMPARE(m_w->platform.sleeps, (QList<int>{200, 200}));
        QCOMPARE(atPause, (QList<QByteArray>{first, first + ">C,4,103\r\n"}));
        for (int n = 1; n <= 5; ++n)
            QVERIFY(m_w->host.unit(n).c3.isEmpty() && m_w->host.unit(n).c4.isEmpty());
        QCOMPARE(m_w->host.pane, u"\r\n\r\n"_s); // a fresh top line per line sent
        QVERIFY(m_w->sender.history().isEmpty()); // count lines stay out of the command history
        QCOMPARE(m_w->host.box(4)->text(), u"abc"_s); // the boxes are not changed
    }

    void countsAsRead_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("leading zeros") << u"007"_s << QByteArray(">C,7,101\r\n");
        QTest::newRow("trailing text") << u"12abc"_s << QByteArray(">C,12,101\r\n");
        QTest::newRow("a fraction goes as it is") << u"2.5"_s << QByteArray(">C,2.5,101\r\n");
    }
    void countsAsRead()
    {
        QFETCH(QString, box);
        QFETCH(QByteArray, line);
        run({box});
        QCOMPARE(m_w->wire(1), line);
    }

    void nothingPositiveSendsNothing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("zero") << u"0"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("not a number") << u"x12"_s;
        QTest::newRow("too large to hold") << u"1e999"_s;
    }
    void nothingPositiveSendsNothing()
    {
        QFETCH(QString, box);
        m_w->host.unit(1).c3 = u"Count: 5"_s;
        run({box});
        QVERIFY(m_w->platform.sleeps.isEmpty());
        QVERIFY(m_w->host.pane.isEmpty());
        QCOMPARE(m_w->host.unit(1).c3, u"Count: 5"_s);
    }

    void unitsBeyondTheDesign_data()
    {
        QTest::addColumn<int>("noUnits");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("seven units dispense from boxes 6 and 7")
            << 7 << QByteArray(">C,1,101\r\n>C,5,104\r\n>C,6,106\r\n>C,7,107\r\n");
        QTest::newRow("three units ignore boxes 4 to 10") << 3 << QByteArray(">C,1,101\r\n");
        QTest::newRow("units above 10 have no box")
            << 12 << QByteArray(">C,1,101\r\n>C,5,104\r\n>C,6,106\r\n>C,7,107\r\n>C,10,110\r\n");
    }
    void unitsBeyondTheDesign()
    {
        QFETCH(int, noUnits);
        QFETCH(QByteArray, lines);
        m_w->host.setUnits(noUnits);
        run({u"1"_s, u"0"_s, u"0"_s, u"5"_s, u"0"_s, u"6"_s, u"7"_s, u"0"_s, u"0"_s, u"10"_s});
        QCOMPARE(m_w->wire(int(lines.count("\r\n"))), lines);
        QCOMPARE(m_w->platform.sleeps.size(), lines.count("\r\n"));
    }

    void missingCountEntryStillSends()
    {
        mSettings::DeleteIni(mSettings::IniFile2, u"Internal Commands"_s, u"Count"_s);
        run({u"12"_s});
        QCOMPARE(m_w->wire(1), QByteArray(">,12,101\r\n"));
    }

    void linesAreSpacedOnTheWire()
    {
        m_w->platform.realSleep = true;
        run({u"12"_s, u"0"_s, u"4"_s});
        QCOMPARE(m_w->wire(2), QByteArray(">C,12,101\r\n>C,4,103\r\n"));
        const qint64 gap = m_w->peer.lineTime(1) - m_w->peer.lineTime(0);
        QVERIFY2(gap >= 180, qPrintable(QString::number(gap))); // a busy machine only makes it longer
    }

private:
    std::optional<OperatorWorld> m_w;
};

QTEST_MAIN(tst_DispenseRun)
#include "tst_DispenseRun.moc"
