#include "LineSplitter.h"
#include "NoiseSource.h"
#include "OutputShaper.h"
#include "SimController.h"
#include "SimOptions.h"

#include <QTest>

namespace {

struct Reply
{
    qint64 seq = -1;
    qint64 uid = -1;
    QByteArray message;
    QByteArray value;
    qsizetype fields = 0;
};

Reply parseReply(const QByteArray &line)
{
    Reply r;
    if (!line.endsWith("\r\n"))
        return r;
    const QList<QByteArray> f = line.chopped(2).split('\t');
    r.fields = f.size();
    r.seq = f.value(0).toLongLong();
    r.uid = f.value(1).toLongLong();
    r.message = f.value(2);
    r.value = f.value(3);
    return r;
}

QList<Reply> parseAll(const QList<QByteArray> &lines)
{
    QList<Reply> out;
    for (const QByteArray &l : lines)
        out.append(parseReply(l));
    return out;
}

// Runs the controller's clock forward to `until`, event by event, as the runner's timer would.
QList<QByteArray> runUntil(SimController &c, qint64 until)
{
    QList<QByteArray> out;
    for (qint64 next = c.nextDueMs(); next >= 0 && next <= until; next = c.nextDueMs())
        out += c.takeDue(next);
    return out;
}

SimOptions simOptions(double shortRate = 0, double stuckRate = 0, quint32 seed = 1)
{
    SimOptions o;
    o.stoneMs = 100;
    o.homeMs = 500;
    o.flushMs = 300;
    o.shortRate = shortRate;
    o.stuckRate = stuckRate;
    o.seed = seed;
    return o;
}

// The console's message markers, in the order it tests them (letter case ignored).
QByteArray consoleMarker(const QByteArray &message)
{
    const QByteArray m = message.toLower();
    for (const char *marker : {"[f]", "id:", "l1l2:", "[c]<-", "[c]("}) {
        if (m.contains(marker))
            return marker;
    }
    return {};
}

} // namespace

class tst_SimProtocol : public QObject
{
    Q_OBJECT

private slots:
    void lineSplitter_data();
    void lineSplitter();
    void lineSplitterDropsOverlongLines();

    void parseRequest_data();
    void parseRequest();

    void probeIsGreeted();
    void greetingWaitsForItsDelay();
    void silentControllerAnswersNothing();

    void allUnitsAnswerInAscendingUidOrder();
    void countRunReportsEveryStone();
    void progressEveryFewStones();
    void refusals_data();
    void refusals();
    void shortRunReportsShortfallAndFinalCount();
    void stuckStoneHoldsUntilStop();
    void stopCancelsARun();
    void sameSeedGivesSameRuns();
    void reportsCarryTheConsolesMarkers_data();
    void reportsCarryTheConsolesMarkers();
    void overlongInputIsNotAcknowledged();

    void garbageHasNulsAndOverlongLines();
    void floodReportsAreWellFormed();
    void shaperSplitsLinesWithAPause();
    void shaperInterleavesGarbage();

    void commandLine_data();
    void commandLine();
};

void tst_SimProtocol::lineSplitter_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArrayList>("lines");

    QTest::newRow("command line with CR LF") << QByteArrayList{">HOME,0,0\r\n"} << QByteArrayList{">HOME,0,0"};
    QTest::newRow("probe ends with LF only") << QByteArrayList{"DP>\n"} << QByteArrayList{"DP>"};
    QTest::newRow("line ended by a lone CR") << QByteArrayList{">ID,0,0\r>STOP,0,0\r"}
                                             << QByteArrayList{">ID,0,0", ">STOP,0,0"};
    QTest::newRow("CR LF split between two reads counts once")
        << QByteArrayList{">ID,0,0\r", "\n>STOP,0,0\r\n"} << QByteArrayList{">ID,0,0", ">STOP,0,0"};
    QTest::newRow("line arriving in three pieces") << QByteArrayList{">CO", "UNT,12,", "101\r\n"}
                                                  << QByteArrayList{">COUNT,12,101"};
    QTest::newRow("blank lines say nothing") << QByteArrayList{"\r\n\r\n\n>ID,0,0\n\r"} << QByteArrayList{">ID,0,0"};
    QTest::newRow("unterminated text waits") << QByteArrayList{">HOME,0"} << QByteArrayList{};
    QTest::newRow("NUL inside a line is kept") << QByteArrayList{QByteArray(">A\0B,0,0\n", 9)}
                                              << QByteArrayList{QByteArray(">A\0B,0,0", 8)};
}

void tst_SimProtocol::lineSplitter()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArrayList, lines);
    LineSplitter s;
    QByteArrayList got;
    for (const QByteArray &p : pieces) {
        for (const LineSplitter::Line &l : s.push(p)) {
            QVERIFY(!l.overlong);
            got.append(l.text);
        }
    }
    QCOMPARE(got, lines);
}

void tst_SimProtocol::lineSplitterDropsOverlongLines()
{
    LineSplitter s(64);
    QList<LineSplitter::Line> got;
    for (int i = 0; i < 1000; ++i) {
        got += s.push(QByteArray(100, 'x'));
        QVERIFY(s.pending() <= 64);
    }
    QVERIFY(got.isEmpty());
    got = s.push("\r\n>ID,0,0\r\n");
    QCOMPARE(got.size(), 2);
    QVERIFY(got.at(0).overlong);
    QVERIFY(!got.at(1).overlong);
    QCOMPARE(got.at(1).text, QByteArray(">ID,0,0"));
}

void tst_SimProtocol::parseRequest_data()
{
    using K = SimRequest::Kind;
    using V = SimRequest::Verb;
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<K>("kind");
    QTest::addColumn<V>("verb");
    QTest::addColumn<qint64>("address");
    QTest::addColumn<qint64>("count");

    QTest::newRow("home one unit") << QByteArray(">HOME,102,0") << K::Command << V::Home << 102LL << -1LL;
    QTest::newRow("home all units") << QByteArray(">HOME,0,0") << K::Command << V::Home << 0LL << -1LL;
    QTest::newRow("dispense carries the address third") << QByteArray(">COUNT,12,101") << K::Command << V::Count
                                                        << 101LL << 12LL;
    QTest::newRow("typed in lower case") << QByteArray(">count,4,103") << K::Command << V::Count << 103LL << 4LL;
    QTest::newRow("count that is not a number") << QByteArray(">COUNT,abc,101") << K::Command << V::Count << 101LL
                                                << -1LL;
    QTest::newRow("save settings word") << QByteArray(">SAVE,0,0") << K::Command << V::SaveSettings << 0LL << -1LL;
    QTest::newRow("extra fields are ignored") << QByteArray(">STOP,104,0,9") << K::Command << V::Stop << 104LL
                                              << -1LL;
    QTest::newRow("unknown command") << QByteArray(">FOO,0,0") << K::Command << V::Unknown << 0LL << -1LL;
    QTest::newRow("empty operator text") << QByteArray(">,0,0") << K::Command << V::Unknown << 0LL << -1LL;
    QTest::newRow("probe") << QByteArray("DP>") << K::Probe << V::Unknown << -1LL << -1LL;
    QTest::newRow("text without the lead character") << QByteArray("HOME,0,0") << K::Ignored << V::Unknown << -1LL
                                                     << -1LL;
    QTest::newRow("only one comma") << QByteArray(">HOME,0") << K::Malformed << V::Unknown << -1LL << -1LL;
    QTest::newRow("no comma") << QByteArray(">HOME") << K::Malformed << V::Unknown << -1LL << -1LL;
    QTest::newRow("address is not a number") << QByteArray(">HOME,abc,0") << K::Malformed << V::Home << -1LL << -1LL;
    QTest::newRow("address too large") << QByteArray(">HOME,99999999999,0") << K::Malformed << V::Home << -1LL
                                       << -1LL;
}

void tst_SimProtocol::parseRequest()
{
    QFETCH(QByteArray, line);
    const SimRequest r = parseSimRequest(line);
    QTEST(r.kind, "kind");
    QTEST(r.verb, "verb");
    QTEST(r.address, "address");
    QTEST(r.count, "count");
}

void tst_SimProtocol::probeIsGreeted()
{
    SimController c(simOptions());
    c.receiveLine("DP>", 10);
    const QList<QByteArray> out = c.takeDue(10);
    QCOMPARE(out.size(), 1);
    QVERIFY(out.first().contains("Tessaloran"));
    QVERIFY(out.first().endsWith("\r\n"));
    // A line without TABs: the console logs it and touches no unit.
    QVERIFY(!out.first().contains('\t'));
}

void tst_SimProtocol::greetingWaitsForItsDelay()
{
    SimOptions o = simOptions();
    o.greetingDelayMs = 3000;
    SimController c(o);
    c.receiveLine("DP>", 100);
    QVERIFY(c.takeDue(3099).isEmpty());
    QCOMPARE(c.nextDueMs(), 3100);
    QCOMPARE(c.takeDue(3100).size(), 1);
}

void tst_SimProtocol::silentControllerAnswersNothing()
{
    SimOptions o = simOptions();
    o.silent = true;
    SimController c(o);
    for (const QByteArray &l : {QByteArray("DP>"), QByteArray(">HOME,0,0"), QByteArray(">COUNT,3,101"),
                                QByteArray(">FOO")})
        c.receiveLine(l, 0);
    c.receiveOverlong(0);
    QCOMPARE(c.nextDueMs(), -1);
    QVERIFY(runUntil(c, 1000000).isEmpty());
}

void tst_SimProtocol::allUnitsAnswerInAscendingUidOrder()
{
    SimOptions o = simOptions();
    o.uids = {105, 101, 103};
    SimController c(o);
    c.receiveLine(">HOME,0,0", 0);
    const QList<Reply> acks = parseAll(c.takeDue(0));
    QCOMPARE(acks.size(), 3);
    QCOMPARE(acks.at(0).uid, 101);
    QCOMPARE(acks.at(1).uid, 103);
    QCOMPARE(acks.at(2).uid, 105);
    for (const Reply &r : acks)
        QCOMPARE(r.message, QByteArray("Sent OK"));

    QVERIFY(c.takeDue(499).isEmpty());
    const QList<Reply> homes = parseAll(c.takeDue(500));
    QCOMPARE(homes.size(), 3);
    qint64 seq = acks.first().seq;
    QCOMPARE(seq, 1);
    for (const Reply &r : acks + homes)
        QCOMPARE(r.seq, seq++);
    QCOMPARE(homes.at(0).uid, 101);
    QCOMPARE(homes.at(2).uid, 105);
    QVERIFY(homes.at(1).message.startsWith("L1L2:"));
}

void tst_SimProtocol::countRunReportsEveryStone()
{
    SimController c(simOptions());
    c.receiveLine(">COUNT,3,101", 1000);
    QList<Reply> r = parseAll(c.takeDue(1000));
    QCOMPARE(r.size(), 1);
    QCOMPARE(r.first().uid, 101);
    QCOMPARE(r.first().message, QByteArray("Sent OK"));
    QCOMPARE(c.unitState(101), SimController::UnitState::Counting);

    QVERIFY(c.takeDue(1099).isEmpty());
    r = parseAll(c.takeDue(1100));
    QCOMPARE(r.size(), 1);
    QCOMPARE(r.first().message, QByteArray("[c](1)"));
    r = parseAll(c.takeDue(1200));
    QCOMPARE(r.first().message, QByteArray("[c](2)"));
    r = parseAll(c.takeDue(1300));
    QCOMPARE(r.size(), 1);
    QCOMPARE(r.first().message, QByteArray("[F]"));
    QCOMPARE(r.first().value, QByteArray("3"));
    QCOMPARE(r.first().fields, 4);
    QCOMPARE(c.unitState(101), SimController::UnitState::Idle);
    QCOMPARE(c.nextDueMs(), -1);
}

void tst_SimProtocol::progressEveryFewStones()
{
    SimOptions o = simOptions();
    o.progressEvery = 2;
    SimController c(o);
    c.receiveLine(">COUNT,5,102", 0);
    QByteArrayList messages;
    for (const Reply &r : parseAll(runUntil(c, 10000)))
        messages.append(r.message + (r.value.isEmpty() ? QByteArray() : ' ' + r.value));
    QCOMPARE(messages, (QByteArrayList{"Sent OK", "[c](2)", "[c](4)", "[F] 5"}));
}

void tst_SimProtocol::refusals_data()
{
    QTest::addColumn<QByteArrayList>("before");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qint64>("uid");

    QTest::newRow("count of zero") << QByteArrayList{} << QByteArray(">COUNT,0,101") << 101LL;
    QTest::newRow("count beyond the unit's range") << QByteArrayList{} << QByteArray(">COUNT,100000,101") << 101LL;
    QTest::newRow("count that is not a number") << QByteArrayList{} << QByteArray(">COUNT,-3,101") << 101LL;
    QTest::newRow("second count while the first runs") << QByteArrayList{">COUNT,50,102"}
                                                       << QByteArray(">COUNT,5,102") << 102LL;
    QTest::newRow("home while dispensing") << QByteArrayList{">COUNT,50,103"} << QByteArray(">HOME,103,0") << 103LL;
    QTest::newRow("flush while homing") << QByteArrayList{">HOME,104,0"} << QByteArray(">FLUSH,104,0") << 104LL;
    QTest::newRow("address of no unit") << QByteArrayList{} << QByteArray(">HOME,7,0") << 7LL;
    QTest::newRow("unknown command to one unit") << QByteArrayList{} << QByteArray(">XYZ,105,0") << 105LL;
    QTest::newRow("command without address") << QByteArrayList{} << QByteArray(">HOME") << 0LL;
}

void tst_SimProtocol::refusals()
{
    QFETCH(QByteArrayList, before);
    QFETCH(QByteArray, line);
    QFETCH(qint64, uid);
    SimController c(simOptions());
    for (const QByteArray &b : before)
        c.receiveLine(b, 0);
    c.takeDue(0);
    const SimController::UnitState state = c.unitState(int(uid));
    c.receiveLine(line, 10);
    const QList<Reply> r = parseAll(c.takeDue(10));
    QCOMPARE(r.size(), 1);
    QCOMPARE(r.first().uid, uid);
    QCOMPARE(r.first().message, QByteArray("Not Ack"));
    QCOMPARE(c.unitState(int(uid)), state);
}

void tst_SimProtocol::shortRunReportsShortfallAndFinalCount()
{
    for (quint32 seed = 1; seed <= 20; ++seed) {
        SimController c(simOptions(1.0, 0.0, seed));
        c.receiveLine(">COUNT,10,101", 0);
        const QList<Reply> r = parseAll(runUntil(c, 100000));
        qsizetype shortAt = -1;
        for (qsizetype i = 0; i < r.size(); ++i) {
            if (r.at(i).message.startsWith("[C]<-"))
                shortAt = i;
        }
        QVERIFY2(shortAt > 0, qPrintable(QStringLiteral("seed %1").arg(seed)));
        // The console reads the shortfall from right after the marker.
        const int shortfall = r.at(shortAt).message.mid(5).toInt();
        QVERIFY(shortfall >= 1 && shortfall <= 10);
        QCOMPARE(shortAt, r.size() - 2);
        QCOMPARE(r.last().message, QByteArray("[F]"));
        QCOMPARE(r.last().value.toInt(), 10 - shortfall);
        // One progress report per stone that did fall.
        QCOMPARE(r.size(), 1 + (10 - shortfall) + 2);
        QCOMPARE(c.unitState(101), SimController::UnitState::Idle);
    }
}

void tst_SimProtocol::stuckStoneHoldsUntilStop()
{
    // Both faults drawn: the jam comes first and the run never reaches its shortfall.
    SimController c(simOptions(1.0, 1.0, 7));
    c.receiveLine(">COUNT,10,104", 0);
    const QList<Reply> r = parseAll(runUntil(c, 100000));
    QVERIFY(!r.isEmpty());
    const Reply stuck = r.last();
    QCOMPARE(stuck.uid, 104);
    QCOMPARE(stuck.message, QByteArray("[F] !!!"));
    const int fallen = stuck.value.toInt();
    QVERIFY(fallen >= 0 && fallen < 10);
    QCOMPARE(r.size(), 1 + fallen + 1);
    for (const Reply &x : r)
        QVERIFY(!x.message.startsWith("[C]<-"));
    QCOMPARE(c.nextDueMs(), -1);
    QCOMPARE(c.unitState(104), SimController::UnitState::Stuck);

    c.receiveLine(">COUNT,3,104", 200000);
    QCOMPARE(parseAll(c.takeDue(200000)).first().message, QByteArray("Not Ack"));

    // The stop the console sends after a stuck stone.
    c.receiveLine(">STOP,104,0", 200100);
    const QList<Reply> stop = parseAll(c.takeDue(200100));
    QCOMPARE(stop.size(), 2);
    QCOMPARE(stop.at(0).message, QByteArray("Sent OK"));
    QCOMPARE(stop.at(1).message, QByteArray("STOPPED"));
    QCOMPARE(stop.at(1).value.toInt(), fallen);
    QCOMPARE(c.unitState(104), SimController::UnitState::Idle);

    c.receiveLine(">COUNT,3,104", 200200);
    QCOMPARE(parseAll(c.takeDue(200200)).first().message, QByteArray("Sent OK"));
}

void tst_SimProtocol::stopCancelsARun()
{
    SimController c(simOptions());
    c.receiveLine(">COUNT,10,101", 0);
    QCOMPARE(runUntil(c, 250).size(), 3);
    c.receiveLine(">STOP,101,0", 250);
    const QList<Reply> stop = parseAll(c.takeDue(250));
    QCOMPARE(stop.size(), 2);
    QCOMPARE(stop.at(1).message, QByteArray("STOPPED"));
    QCOMPARE(stop.at(1).value, QByteArray("2"));
    QVERIFY(runUntil(c, 100000).isEmpty());

    // Stopping an idle unit reports no count.
    c.receiveLine(">STOP,101,0", 200000);
    const QList<Reply> idle = parseAll(c.takeDue(200000));
    QCOMPARE(idle.at(1).message, QByteArray("STOPPED"));
    QCOMPARE(idle.at(1).fields, 3);
}

void tst_SimProtocol::sameSeedGivesSameRuns()
{
    auto session = [](quint32 seed) {
        SimController c(simOptions(0.3, 0.3, seed));
        QList<QByteArray> all;
        qint64 t = 0;
        for (int i = 0; i < 30; ++i) {
            c.receiveLine(">COUNT,8,0", t);
            all += runUntil(c, t + 5000);
            c.receiveLine(">STOP,0,0", t + 5000);
            all += c.takeDue(t + 5000);
            t += 10000;
        }
        return all;
    };
    const QList<QByteArray> a = session(42);
    QCOMPARE(session(42), a);
    // The rates really act: thirty runs on five units at 0.3 show both faults.
    QVERIFY(a.join().contains("[C]<-"));
    QVERIFY(a.join().contains("!!!"));
}

void tst_SimProtocol::reportsCarryTheConsolesMarkers_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<double>("shortRate");
    QTest::addColumn<double>("stuckRate");
    QTest::addColumn<QByteArray>("marker"); // of the last report of the exchange

    QTest::newRow("identification") << QByteArray(">ID,101,0") << 0.0 << 0.0 << QByteArray("id:");
    QTest::newRow("homing") << QByteArray(">HOME,101,0") << 0.0 << 0.0 << QByteArray("l1l2:");
    QTest::newRow("final count") << QByteArray(">COUNT,2,101") << 0.0 << 0.0 << QByteArray("[f]");
    QTest::newRow("stuck stone") << QByteArray(">COUNT,2,101") << 0.0 << 1.0 << QByteArray("[f]");
    QTest::newRow("flush") << QByteArray(">FLUSH,101,0") << 0.0 << 0.0 << QByteArray();
    QTest::newRow("save settings") << QByteArray(">SAVE,101,0") << 0.0 << 0.0 << QByteArray();
    QTest::newRow("update") << QByteArray(">UPDATE,101,0") << 0.0 << 0.0 << QByteArray();
    QTest::newRow("stop") << QByteArray(">STOP,101,0") << 0.0 << 0.0 << QByteArray();
}

void tst_SimProtocol::reportsCarryTheConsolesMarkers()
{
    QFETCH(QByteArray, line);
    QFETCH(double, shortRate);
    QFETCH(double, stuckRate);
    QFETCH(QByteArray, marker);
    SimController c(simOptions(shortRate, stuckRate));
    c.receiveLine(line, 0);
    const QList<Reply> r = parseAll(runUntil(c, 100000));
    QVERIFY(r.size() >= 2);
    QCOMPARE(r.first().message, QByteArray("Sent OK"));
    for (const Reply &x : r) {
        QCOMPARE(x.uid, 101);
        QVERIFY(x.fields >= 3);
    }
    for (qsizetype i = 1; i < r.size(); ++i) {
        const QByteArray m = r.at(i).message.toLower();
        // A report mistaken for an acknowledgement would get no unit processing at all.
        QVERIFY(!m.contains("sent ok") && !m.contains("not ack"));
        // Only a stuck stone may make the console stop the unit.
        QCOMPARE(m.contains("!!!") && m.contains("[f]"), stuckRate > 0 && i == r.size() - 1);
        if (i < r.size() - 1)
            QCOMPARE(consoleMarker(r.at(i).message), QByteArray("[c]("));
    }
    QCOMPARE(consoleMarker(r.last().message), marker);
}

void tst_SimProtocol::overlongInputIsNotAcknowledged()
{
    SimController c(simOptions());
    c.receiveOverlong(5);
    const QList<Reply> r = parseAll(c.takeDue(5));
    QCOMPARE(r.size(), 1);
    QCOMPARE(r.first().uid, 0);
    QCOMPARE(r.first().message, QByteArray("Not Ack"));
}

void tst_SimProtocol::garbageHasNulsAndOverlongLines()
{
    NoiseSource a(9);
    NoiseSource b(9);
    bool sawNul = false;
    bool sawOverlong = false;
    for (int i = 0; i < 200; ++i) {
        const QByteArray g = a.garbage();
        QCOMPARE(b.garbage(), g);
        QVERIFY(g.endsWith("\r\n"));
        sawNul = sawNul || g.contains('\0');
        if (g.size() >= NoiseSource::kOverlongSize) {
            const QByteArray body = g.chopped(2);
            sawOverlong = sawOverlong || (!body.contains('\r') && !body.contains('\n'));
        }
    }
    QVERIFY(sawNul);
    QVERIFY(sawOverlong);
}

void tst_SimProtocol::floodReportsAreWellFormed()
{
    NoiseSource n(3);
    SimController c(simOptions());
    const QList<int> uids = c.uids();
    QSet<QByteArray> markers;
    for (int i = 0; i < 500; ++i) {
        const NoiseSource::Report rep = n.floodReport(uids);
        QVERIFY(uids.contains(rep.uid));
        const Reply r = parseReply(c.formatLine(rep.uid, rep.message, rep.value));
        QVERIFY(r.fields >= 3);
        QCOMPARE(r.seq, i + 1);
        QVERIFY(!r.message.contains("!!!"));
        QVERIFY(!r.message.contains('\t') && !r.message.contains('\r'));
        markers.insert(consoleMarker(r.message));
    }
    // Every kind of report the console interprets turns up in a flood.
    for (const char *m : {"[f]", "id:", "l1l2:", "[c]<-", "[c]("})
        QVERIFY2(markers.contains(m), m);
}

void tst_SimProtocol::shaperSplitsLinesWithAPause()
{
    SimOptions o = simOptions();
    NoiseSource noise(1);
    const QByteArray line("12\t101\t[c](3)\r\n");

    OutputShaper plain(o, &noise);
    const QList<OutputShaper::Chunk> whole = plain.shape(line);
    QCOMPARE(whole.size(), 1);
    QCOMPARE(whole.first().bytes, line);
    QCOMPARE(whole.first().pauseBeforeMs, 0);

    o.split = true;
    o.splitMs = 700;
    OutputShaper split(o, &noise);
    const QList<OutputShaper::Chunk> pieces = split.shape(line);
    QCOMPARE(pieces.size(), 2);
    QCOMPARE(pieces.at(0).bytes + pieces.at(1).bytes, line);
    QCOMPARE(pieces.at(0).pauseBeforeMs, 0);
    QCOMPARE(pieces.at(1).pauseBeforeMs, 700);
    // The first piece must not end the line, or the console would see two whole lines.
    QVERIFY(!pieces.at(0).bytes.contains('\n') && !pieces.at(0).bytes.contains('\r'));
    QVERIFY(!pieces.at(0).bytes.isEmpty());
}

void tst_SimProtocol::shaperInterleavesGarbage()
{
    SimOptions o = simOptions();
    o.garbage = true;
    NoiseSource noise(2);
    OutputShaper shaper(o, &noise);
    const QByteArray line("1\t101\tSent OK\r\n");
    int withGarbage = 0;
    for (int i = 0; i < 100; ++i) {
        const QList<OutputShaper::Chunk> chunks = shaper.shape(line);
        QVERIFY(chunks.size() == 1 || chunks.size() == 2);
        // The reply itself is never damaged, and comes last.
        QCOMPARE(chunks.last().bytes, line);
        if (chunks.size() == 2) {
            ++withGarbage;
            QVERIFY(chunks.first().bytes.endsWith("\r\n"));
        }
    }
    QVERIFY(withGarbage > 5 && withGarbage < 95);
}

void tst_SimProtocol::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");

    QTest::newRow("defaults") << QStringList{} << true;
    QTest::newRow("everything set")
        << QStringList{QStringLiteral("--dir"), QStringLiteral("/tmp/x"), QStringLiteral("--port"), QStringLiteral("4"),
                       QStringLiteral("--uids"), QStringLiteral("7, 9"), QStringLiteral("--stone-ms"),
                       QStringLiteral("20"), QStringLiteral("--short-rate"), QStringLiteral("0.25"),
                       QStringLiteral("--stuck-rate=1"), QStringLiteral("--silent"), QStringLiteral("--split"),
                       QStringLiteral("--split-ms"), QStringLiteral("50"), QStringLiteral("--flood"),
                       QStringLiteral("10"), QStringLiteral("--garbage"), QStringLiteral("--seed"),
                       QStringLiteral("4000000000"), QStringLiteral("--trace"), QStringLiteral("t.bin"),
                       QStringLiteral("--greeting-delay-ms"), QStringLiteral("800")}
        << true;
    QTest::newRow("UID 0 is the broadcast address") << QStringList{QStringLiteral("--uids"), QStringLiteral("101,0")}
                                                    << false;
    QTest::newRow("UID given twice") << QStringList{QStringLiteral("--uids"), QStringLiteral("101,101")} << false;
    QTest::newRow("UID list with a word") << QStringList{QStringLiteral("--uids"), QStringLiteral("101,abc")} << false;
    QTest::newRow("empty UID list") << QStringList{QStringLiteral("--uids"), QString()} << false;
    QTest::newRow("port 0") << QStringList{QStringLiteral("--port"), QStringLiteral("0")} << false;
    QTest::newRow("rate above one") << QStringList{QStringLiteral("--short-rate"), QStringLiteral("1.5")} << false;
    QTest::newRow("rate not a number") << QStringList{QStringLiteral("--stuck-rate"), QStringLiteral("nan")} << false;
    QTest::newRow("negative stone time") << QStringList{QStringLiteral("--stone-ms"), QStringLiteral("-5")} << false;
    QTest::newRow("zero stone time would spin") << QStringList{QStringLiteral("--stone-ms"), QStringLiteral("0")}
                                                << false;
    QTest::newRow("seed too large") << QStringList{QStringLiteral("--seed"), QStringLiteral("4294967296")} << false;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << false;
    QTest::newRow("stray argument") << QStringList{QStringLiteral("COM7")} << false;
    QTest::newRow("option without its value") << QStringList{QStringLiteral("--port")} << false;
}

void tst_SimProtocol::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    SimOptions o;
    o.port = -99; // must be left alone on failure
    QString error;
    QCOMPARE(parseSimOptions(args, &o, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    if (!ok) {
        QCOMPARE(o.port, -99);
        return;
    }
    if (args.isEmpty()) {
        QCOMPARE(o.port, 7);
        QCOMPARE(o.uids, (QList<int>{101, 102, 103, 104, 105}));
        QVERIFY(!o.seedGiven && !o.silent && !o.split && !o.garbage);
        QCOMPARE(o.flood, 0);
        QCOMPARE(o.shortRate, 0.0);
        QCOMPARE(o.stuckRate, 0.0);
        return;
    }
    QCOMPARE(o.dir, QStringLiteral("/tmp/x"));
    QCOMPARE(o.port, 4);
    QCOMPARE(o.uids, (QList<int>{7, 9}));
    QCOMPARE(o.stoneMs, 20);
    QCOMPARE(o.shortRate, 0.25);
    QCOMPARE(o.stuckRate, 1.0);
    QVERIFY(o.silent && o.split && o.garbage && o.seedGiven);
    QCOMPARE(o.splitMs, 50);
    QCOMPARE(o.flood, 10);
    QCOMPARE(o.seed, 4000000000u);
    QCOMPARE(o.trace, QStringLiteral("t.bin"));
    QCOMPARE(o.greetingDelayMs, 800);
}

QTEST_GUILESS_MAIN(tst_SimProtocol)
#include "tst_SimProtocol.moc"
