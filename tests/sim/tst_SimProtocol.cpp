#include "../support/Seeds.h"
#include "sim/LineSplitter.h"
#include "sim/NoiseSource.h"
#include "sim/OutputShaper.h"
#include "sim/SimController.h"
#include "sim/SimOptions.h"

#include <QTest>

namespace {

// Short run times keep the expected timelines readable; the rest comes from the command line as given.
SimOptions simOptions(const QString &extra = {})
{
    SimOptions o;
    QString error;
    if (!parseSimOptions(
            (QStringLiteral("--stone-ms 100 --home-ms 500 ") + extra).split(QLatin1Char(' '), Qt::SkipEmptyParts), &o,
            &error))
        qFatal("%s", qPrintable(error));
    return o;
}

// Runs the clock forward event by event, as the runner's timer does, and lists each line as "time uid message [value]"
// or "time text"; a line that breaks the "seq TAB uid TAB message [TAB value]" CR LF form or sequence shows as "BAD".
QByteArrayList timeline(SimController &c, qint64 until, qint64 from = 0)
{
    QByteArrayList out;
    qint64 seq = c.lastSequence();
    for (qint64 t = from; t >= 0 && t <= until; t = c.nextDueMs()) {
        for (const QByteArray &line : c.takeDue(t)) {
            const QByteArrayList f = line.chopped(2).split('\t');
            const bool ok = f.size() == 1 || ((f.size() == 3 || f.size() == 4) && f.at(0).toLongLong() == ++seq);
            out.append(ok && line.endsWith("\r\n") ? QByteArray::number(t) + ' ' + f.mid(f.size() > 1).join(' ')
                                                   : QByteArray("BAD"));
        }
    }
    return out;
}

// The console's message markers, in the order it tests them (letter case ignored).
QByteArray consoleMarker(const QByteArray &message)
{
    for (const char *marker : {"[f]", "id:", "l1l2:", "[c]<-", "[c]("})
        if (message.toLower().contains(marker))
            return marker;
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

    // Each row sends its lines (joined by '|') 250 ms apart from time 0 and runs the clock to `until`.
    void timelines_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("until");
        QTest::addColumn<QByteArray>("lines");
        auto row = [](const char *name, const char *options, const char *sent, int until, const QByteArray &lines) {
            QTest::newRow(name) << QString::fromLatin1(options) << QByteArray(sent) << until << lines;
        };
        // The console logs the greeting and touches no unit: it has no fields.
        row("probe", "--greeting-delay-ms 3000", "DP>", 100000, "3000 " + SimController::greeting().chopped(2));
        row("silent", "--silent", "DP>|>HOME,0,0|>COUNT,3,101|>FOO|(overlong)", 100000, "");
        row("all units answer in ascending UID order", "--uids 105,101,103", ">HOME,0,0", 100000,
            "0 101 Sent OK|0 103 Sent OK|0 105 Sent OK|500 101 " + SimController::homeReport(101) + "|500 103 "
                + SimController::homeReport(103) + "|500 105 " + SimController::homeReport(105));
        row("count run", "", ">COUNT,3,101", 100000, "0 101 Sent OK|100 101 [c](1)|200 101 [c](2)|300 101 [F] 3");
        row("stop during a run", "", ">COUNT,10,101|>STOP,101,0", 100000,
            "0 101 Sent OK|100 101 [c](1)|200 101 [c](2)|250 101 Sent OK|250 101 STOPPED 2");
        row("identification", "", ">ID,101,0", 100000, "0 101 Sent OK|0 101 " + SimController::idReport(101));
        row("flush", "", ">FLUSH,101,0", 100000, "0 101 Sent OK|400 101 FLUSHED");
        row("stop of an idle unit: no count", "", ">STOP,101,0", 100000, "0 101 Sent OK|0 101 STOPPED");
        row("verb in lower case", "", ">count,4,101", 0, "0 101 Sent OK");
        row("count of zero", "", ">COUNT,0,101", 0, "0 101 Not Ack");
        row("second count while dispensing", "", ">COUNT,50,101|>COUNT,5,101", 250,
            "0 101 Sent OK|100 101 [c](1)|200 101 [c](2)|250 101 Not Ack");
        row("address of no unit", "", ">HOME,7,0", 0, "0 7 Not Ack");
        row("unknown command", "", ">XYZ,101,0", 0, "0 101 Not Ack");
        row("command without address", "", ">HOME", 0, "0 0 Not Ack");
        row("overlong command", "", "(overlong)", 0, "0 0 Not Ack");
        row("no lead character: noise", "", "HOME,0,0", 0, "");
    }

    void timelines()
    {
        QFETCH(QString, options);
        QFETCH(QByteArray, sent);
        QFETCH(int, until);
        SimController c(simOptions(options));
        QByteArrayList got;
        qint64 now = 0;
        for (const QByteArray &line : sent.split('|')) {
            line == "(overlong)" ? c.receiveOverlong(now) : c.receiveLine(line, now);
            got += timeline(c, qMin<qint64>(until, now + 249), now);
            now += 250;
        }
        got += timeline(c, until, now);
        QTEST(got.join('|'), "lines");
    }

    // A short run reports the shortfall and then the count that fell; a stuck stone ends the run with "!!!", and
    // the unit refuses a new run until the console stops it.
    void shortAndStuckRuns()
    {
        forEachSeed(20, [](quint32 seed) {
            SimController c(simOptions(QStringLiteral("--short-rate 1 --seed %1").arg(seed)));
            c.receiveLine(">COUNT,10,101", 0);
            const QByteArrayList t = timeline(c, 100000);
            const qsizetype fell = t.size() - 3; // one progress report per stone that fell
            QVERIFY2(fell >= 0 && fell < 10, t.join('|').constData());
            QVERIFY(t.at(fell + 1).endsWith(" 101 [C]<-" + QByteArray::number(10 - fell)));
            QVERIFY(t.last().endsWith(" 101 [F] " + QByteArray::number(fell)));
        });
        // Both faults drawn: the jam comes first and the run never reaches a shortfall.
        SimController c(simOptions(QStringLiteral("--short-rate 1 --stuck-rate 1 --seed 7")));
        c.receiveLine(">COUNT,10,104", 0);
        const QByteArrayList t = timeline(c, 100000);
        const QByteArray fallen = QByteArray::number(t.size() - 2);
        QVERIFY2(t.last().endsWith(" 104 [F] !!! " + fallen), t.join('|').constData());
        for (const char *line : {">COUNT,3,104", ">STOP,104,0", ">COUNT,3,104"})
            c.receiveLine(line, 200000);
        QCOMPARE(timeline(c, 200000, 200000).join('|'),
                 "200000 104 Not Ack|200000 104 Sent OK|200000 104 STOPPED " + fallen + "|200000 104 Sent OK");
    }

    void noiseAndShaping()
    {
        // The console tells reports apart by the marker it finds first; progress and final counts are in the
        // timelines, flood reports below.
        QCOMPARE(consoleMarker(SimController::idReport(101)), QByteArray("id:"));
        QCOMPARE(consoleMarker(SimController::homeReport(101)), QByteArray("l1l2:"));
        QCOMPARE(NoiseSource(9).garbage(), NoiseSource(9).garbage()); // same seed, same garbage
        const SimOptions o = simOptions(QStringLiteral("--split --split-ms 700 --garbage"));
        NoiseSource noise(9);
        OutputShaper shaper(o, &noise);
        const QByteArray line("12\t101\t[c](3)\r\n");
        QSet<QByteArray> seen; // kinds of garbage and console markers of flood reports
        int withGarbage = 0;
        for (int i = 0; i < 300; ++i) {
            const QByteArray g = noise.garbage();
            const NoiseSource::Report r = noise.floodReport(o.uids);
            QVERIFY(g.endsWith("\r\n") && o.uids.contains(r.uid) && !r.message.contains("!!!")
                    && !r.message.contains('\t'));
            seen << (g.contains('\0')                             ? "NUL"
                         : g.size() >= NoiseSource::kOverlongSize ? "overlong"
                                                                  : "bytes")
                 << consoleMarker(r.message);
            // Garbage goes between lines, never inside one; the line is cut once, the pause before its tail.
            const QList<OutputShaper::Chunk> ch = shaper.shape(line);
            withGarbage += ch.size() == 3;
            QVERIFY(ch.size() >= 2 && ch.size() <= 3 && ch.at(ch.size() - 2).bytes + ch.last().bytes == line);
            QVERIFY(!ch.at(ch.size() - 2).bytes.isEmpty() && !ch.at(ch.size() - 2).bytes.contains('\n'));
            QVERIFY(ch.at(ch.size() - 2).pauseBeforeMs == 0 && ch.last().pauseBeforeMs == 700);
        }
        QCOMPARE(seen.size(), 9); // three kinds of garbage; every marker the console knows, and plain lines
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
        QCOMPARE(o.port, ok ? 4 : -99);
        if (!ok)
            return;
        QVERIFY(o.dir == QStringLiteral("/tmp/x") && o.uids == (QList<int>{9, 7}));
        QVERIFY(o.stoneMs == 20 && o.shortRate == 0.25 && o.stuckRate == 1.0 && o.splitMs == 50 && o.flood == 10);
        QVERIFY(o.silent && o.split && o.garbage && o.seedGiven && o.seed == 4000000000u);
        QVERIFY(o.trace == QStringLiteral("t.bin") && o.greetingDelayMs == 800);
    }
};

QTEST_GUILESS_MAIN(tst_SimProtocol)
#include "tst_SimProtocol.moc"
