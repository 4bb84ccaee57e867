#include "../support/Seeds.h"
#include "LineSplitter.h"
#include "NoiseSource.h"
#include "OutputShaper.h"
#include "SimController.h"
#include "SimOptions.h"

#include <QTest>

namespace {

SimOptions simOptions(double shortRate = 0, double stuckRate = 0, quint32 seed = 1)
{
    SimOptions o;
    o.stoneMs = 100;
    o.homeMs = 500;
    o.shortRate = shortRate;
    o.stuckRate = stuckRate;
    o.seed = seed;
    return o;
}

// Runs the clock forward event by event, as the runner's timer does, and lists each line as
// "time uid message [value]"; a line that breaks the "seq TAB uid TAB message [TAB value]" CR LF form or the
// sequence shows as "BAD".
QByteArrayList timeline(SimController &c, qint64 until, qint64 from = 0)
{
    QByteArrayList out;
    qint64 seq = c.lastSequence();
    for (qint64 t = from; t >= 0 && t <= until; t = c.nextDueMs()) {
        for (const QByteArray &line : c.takeDue(t)) {
            const QByteArrayList f = line.chopped(2).split('\t');
            const bool ok = line.endsWith("\r\n") && (f.size() == 3 || f.size() == 4) && f.at(0).toLongLong() == ++seq;
            out.append(ok ? QByteArray::number(t) + ' ' + f.mid(1).join(' ') : QByteArray("BAD"));
        }
    }
    return out;
}

// The console's message markers, in the order it tests them (letter case ignored).
QByteArray consoleMarker(const QByteArray &message)
{
    for (const char *marker : {"[f]", "id:", "l1l2:", "[c]<-", "[c]("}) {
        if (message.toLower().contains(marker))
            return marker;
    }
    return {};
}

} // namespace

class tst_SimProtocol : public QObject
{
    Q_OBJECT

private slots:
    void lineSplitter_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArrayList>("lines");
        QTest::newRow("lone CR, blank lines")
            << QByteArrayList{">ID,0,0\r\r\n\n>STOP,0,0\r"} << QByteArrayList{">ID,0,0", ">STOP,0,0"};
        QTest::newRow("CR LF split between reads")
            << QByteArrayList{">CO", "UNT,12,101\r", "\n>STOP,0,0\r\n"} << QByteArrayList{">COUNT,12,101", ">STOP,0,0"};
        QTest::newRow("overlong line dropped, next one kept")
            << QByteArrayList{QByteArray(5000, 'x'), QByteArray(5000, 'y') + "\r\n>ID,0,0\n"}
            << QByteArrayList{"(overlong)", ">ID,0,0"};
    }

    void lineSplitter()
    {
        QFETCH(QByteArrayList, pieces);
        LineSplitter s(4096);
        QByteArrayList got;
        for (const QByteArray &p : pieces) {
            for (const LineSplitter::Line &l : s.push(p))
                got.append(l.overlong ? QByteArray("(overlong)") : l.text);
            QVERIFY(s.pending() <= 4096);
        }
        QTEST(got, "lines");
    }

    void probeIsGreetedAfterItsDelayUnlessSilent()
    {
        SimOptions o = simOptions();
        o.greetingDelayMs = 3000;
        SimController c(o);
        c.receiveLine("DP>", 100);
        QVERIFY(c.takeDue(3099).isEmpty());
        const QList<QByteArray> out = c.takeDue(3100);
        QCOMPARE(out.size(), 1);
        // The console logs it and touches no unit.
        QVERIFY(out.first().startsWith("Tessaloran") && out.first().endsWith("\r\n") && !out.first().contains('\t'));

        o.silent = true;
        SimController silent(o);
        for (const char *l : {"DP>", ">HOME,0,0", ">COUNT,3,101", ">FOO"})
            silent.receiveLine(l, 0);
        silent.receiveOverlong(0);
        QCOMPARE(silent.nextDueMs(), -1);
    }

    void allUnitsAnswerInAscendingUidOrder()
    {
        SimOptions o = simOptions();
        o.uids = {105, 101, 103};
        SimController c(o);
        c.receiveLine(">HOME,0,0", 0);
        const QByteArrayList t = timeline(c, 10000);
        QCOMPARE(t.mid(0, 3), (QByteArrayList{"0 101 Sent OK", "0 103 Sent OK", "0 105 Sent OK"}));
        QCOMPARE(t.size(), 6);
        QVERIFY(t.at(3).startsWith("500 101 L1L2:") && t.at(5).startsWith("500 105 L1L2:"));
    }

    void countRunReportsAsStonesFall()
    {
        SimController c(simOptions());
        c.receiveLine(">COUNT,3,101", 1000);
        QCOMPARE(timeline(c, 100000, 1000),
                 (QByteArrayList{"1000 101 Sent OK", "1100 101 [c](1)", "1200 101 [c](2)", "1300 101 [F] 3"}));
        QCOMPARE(c.unitState(101), SimController::UnitState::Idle);
        c.receiveLine(">COUNT,10,101", 2000);
        QCOMPARE(timeline(c, 2250, 2000).size(), 3);
        c.receiveLine(">STOP,101,0", 2250);
        QCOMPARE(timeline(c, 100000, 2250), (QByteArrayList{"2250 101 Sent OK", "2250 101 STOPPED 2"}));
        c.receiveLine(">STOP,101,0", 300000); // an idle unit has no count to report
        QCOMPARE(timeline(c, 300000, 300000), (QByteArrayList{"300000 101 Sent OK", "300000 101 STOPPED"}));
    }

    void immediateReplies_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("answer"); // every line due at once, joined by '|'
        const QByteArray none;
        const QByteArray notAck101("0 101 Not Ack");
        QTest::newRow("verb in lower case") << none << QByteArray(">count,4,101") << QByteArray("0 101 Sent OK");
        QTest::newRow("count of zero") << none << QByteArray(">COUNT,0,101") << notAck101;
        QTest::newRow("second count while dispensing")
            << QByteArray(">COUNT,50,101") << QByteArray(">COUNT,5,101") << notAck101;
        QTest::newRow("address of no unit") << none << QByteArray(">HOME,7,0") << QByteArray("0 7 Not Ack");
        QTest::newRow("unknown command") << none << QByteArray(">XYZ,101,0") << notAck101;
        QTest::newRow("command without address") << none << QByteArray(">HOME") << QByteArray("0 0 Not Ack");
        QTest::newRow("no lead character: noise") << none << QByteArray("HOME,0,0") << none;
    }

    void immediateReplies()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, line);
        SimController c(simOptions());
        c.receiveLine(before, 0);
        c.takeDue(0);
        c.receiveLine(line, 0);
        QTEST(timeline(c, 0).join('|'), "answer");
    }

    void shortRunReportsShortfallAndFinalCount()
    {
        forEachSeed(20, [](quint32 seed) {
            SimController c(simOptions(1.0, 0.0, seed));
            c.receiveLine(">COUNT,10,101", 0);
            const QByteArrayList t = timeline(c, 100000);
            QVERIFY(t.size() >= 3);
            const QByteArray shortLine = t.at(t.size() - 2);
            const qsizetype marker = shortLine.indexOf("[C]<-");
            QVERIFY2(marker > 0, shortLine.constData());
            const int shortfall = shortLine.mid(marker + 5).toInt(); // read right after the marker
            QVERIFY(shortfall >= 1 && shortfall <= 10);
            QVERIFY(t.last().endsWith(" 101 [F] " + QByteArray::number(10 - shortfall)));
            QCOMPARE(t.size(), 1 + (10 - shortfall) + 2); // one progress report per stone that fell
        });
    }

    void stuckStoneHoldsUntilStop()
    {
        // Both faults drawn: the jam comes first and the run never reaches a shortfall.
        SimController c(simOptions(1.0, 1.0, 7));
        c.receiveLine(">COUNT,10,104", 0);
        const QByteArrayList t = timeline(c, 100000);
        const qsizetype stuckAt = t.value(t.size() - 1).indexOf(" 104 [F] !!! ");
        QVERIFY2(stuckAt > 0, t.join('|').constData());
        const QByteArray fallen = t.last().mid(stuckAt + 13);
        QCOMPARE(t.size(), 2 + fallen.toInt());
        QVERIFY(!t.join().contains("[C]<-"));
        QCOMPARE(c.unitState(104), SimController::UnitState::Stuck);

        c.receiveLine(">COUNT,3,104", 200000);
        QCOMPARE(timeline(c, 200000, 200000), QByteArrayList{"200000 104 Not Ack"});
        c.receiveLine(">STOP,104,0", 200000); // as the console sends after a stuck stone
        QCOMPARE(timeline(c, 200000, 200000), (QByteArrayList{"200000 104 Sent OK", "200000 104 STOPPED " + fallen}));
        c.receiveLine(">COUNT,3,104", 200000);
        QCOMPARE(timeline(c, 200000, 200000), QByteArrayList{"200000 104 Sent OK"});
    }

    void reportsCarryTheConsolesMarkers_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<double>("stuckRate");
        QTest::addColumn<QByteArray>("marker"); // that the console finds first in the last report
        QTest::newRow("identification") << QByteArray(">ID,101,0") << 0.0 << QByteArray("id:");
        QTest::newRow("homing") << QByteArray(">HOME,101,0") << 0.0 << QByteArray("l1l2:");
        QTest::newRow("final count") << QByteArray(">COUNT,2,101") << 0.0 << QByteArray("[f]");
        QTest::newRow("stuck stone") << QByteArray(">COUNT,2,101") << 1.0 << QByteArray("[f]");
        QTest::newRow("flush") << QByteArray(">FLUSH,101,0") << 0.0 << QByteArray();
    }

    void reportsCarryTheConsolesMarkers()
    {
        QFETCH(QByteArray, line);
        QFETCH(double, stuckRate);
        SimController c(simOptions(0, stuckRate));
        c.receiveLine(line, 0);
        const QByteArrayList t = timeline(c, 100000);
        QVERIFY(t.size() >= 2);
        QCOMPARE(t.first(), QByteArray("0 101 Sent OK"));
        for (qsizetype i = 1; i < t.size(); ++i) {
            const QByteArray m = t.at(i).toLower();
            QVERIFY(m.contains(" 101 "));
            // A report taken for an acknowledgement would get no unit processing at all.
            QVERIFY(!m.contains("sent ok") && !m.contains("not ack"));
            // Only a stuck stone may make the console stop the unit.
            QCOMPARE(m.contains("!!!"), stuckRate > 0 && i == t.size() - 1);
            if (i < t.size() - 1)
                QCOMPARE(consoleMarker(m), QByteArray("[c]("));
        }
        QTEST(consoleMarker(t.last()), "marker");
    }

    void noiseAndShaping()
    {
        QCOMPARE(NoiseSource(9).garbage(), NoiseSource(9).garbage()); // same seed, same garbage
        SimOptions o = simOptions();
        o.split = true;
        o.splitMs = 700;
        o.garbage = true;
        NoiseSource noise(9);
        OutputShaper shaper(o, &noise);
        const QByteArray line("12\t101\t[c](3)\r\n");
        bool sawNul = false, sawOverlong = false;
        QSet<QByteArray> markers;
        int withGarbage = 0;
        for (int i = 0; i < 300; ++i) {
            const QByteArray g = noise.garbage();
            QVERIFY(g.endsWith("\r\n"));
            sawNul = sawNul || g.contains('\0');
            sawOverlong = sawOverlong || (g.size() >= NoiseSource::kOverlongSize && !g.chopped(2).contains('\n'));

            const NoiseSource::Report r = noise.floodReport(o.uids);
            QVERIFY(o.uids.contains(r.uid) && !r.message.contains("!!!") && !r.message.contains('\t'));
            markers.insert(consoleMarker(r.message));

            const QList<OutputShaper::Chunk> ch = shaper.shape(line);
            QVERIFY(ch.size() == 2 || ch.size() == 3);
            withGarbage += ch.size() == 3;
            const OutputShaper::Chunk &head = ch.at(ch.size() - 2);
            QCOMPARE(head.bytes + ch.last().bytes, line); // garbage goes between lines, never inside one
            QVERIFY(!head.bytes.isEmpty() && !head.bytes.contains('\n') && !head.bytes.contains('\r'));
            QVERIFY(head.pauseBeforeMs == 0 && ch.last().pauseBeforeMs == 700);
        }
        QVERIFY(sawNul && sawOverlong);
        QCOMPARE(markers.size(), 6); // every marker the console knows, and plain lines
        QVERIFY(withGarbage > 15 && withGarbage < 285);
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<bool>("ok");
        QTest::newRow("everything set") << QStringLiteral(
            "--dir /tmp/x --port 4 --uids 9,7 --stone-ms 20 --short-rate 0.25 --stuck-rate=1 --silent --split "
            "--split-ms 50 --flood 10 --garbage --seed 4000000000 --trace t.bin --greeting-delay-ms 800")
                                        << true;
        QTest::newRow("UID 0 is the broadcast address") << QStringLiteral("--uids 101,0") << false;
        QTest::newRow("rate above one") << QStringLiteral("--short-rate 1.5") << false;
        QTest::newRow("zero stone time would spin") << QStringLiteral("--stone-ms 0") << false;
        QTest::newRow("unknown option") << QStringLiteral("--bogus") << false;
        QTest::newRow("option without its value") << QStringLiteral("--port") << false;
    }

    void commandLine()
    {
        QFETCH(QString, args);
        QFETCH(bool, ok);
        SimOptions o;
        o.port = -99; // left alone on failure
        QString error;
        QCOMPARE(parseSimOptions(args.split(QLatin1Char(' ')), &o, &error), ok);
        QCOMPARE(error.isEmpty(), ok);
        if (!ok) {
            QCOMPARE(o.port, -99);
            return;
        }
        QVERIFY(o.dir == QStringLiteral("/tmp/x") && o.port == 4 && o.uids == (QList<int>{9, 7}));
        QVERIFY(o.stoneMs == 20 && o.shortRate == 0.25 && o.stuckRate == 1.0 && o.splitMs == 50 && o.flood == 10);
        QVERIFY(o.silent && o.split && o.garbage && o.seedGiven && o.seed == 4000000000u);
        QVERIFY(o.trace == QStringLiteral("t.bin") && o.greetingDelayMs == 800);
    }
};

QTEST_GUILESS_MAIN(tst_SimProtocol)
#include "tst_SimProtocol.moc"
