#include "Csv.h"
#include "Seeds.h"
#include "TestFolder.h"
#include "records/RunJournal.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
constexpr int ReceiveTickMs = 400;
// UID 10 is a prefix of the others, and 7 a single digit: a line must name its unit whole.
const QStringList Uids{u"100"_s, u"101"_s, u"102"_s, u"10"_s, u"7"_s};

// One line of the controller's talk, from every marker it has, with odd numbers, unknown units and noise.
// stopsUnit: the line reports a stuck stone of a registered unit.
QByteArray grammarLine(QRandomGenerator &r, bool *stopsUnit)
{
    static const QList<QByteArray> strangers{"999", "1000", "1e400", "-0", "nan", "", "99999999999", "abc", "-101"};
    static const QList<QByteArray> numbers{"25", " 0025 pcs", "2.50", "1e400", "-1e400", "nan", "", "007", "3x"};
    static const QList<QByteArray> messages{"[F]",     "[f]",   "ID:V2.1 SN 0077", "l1l2: 340 / 512",
                                            "[C]<-",   "[c](",  "Sent OK",         "sent ok",
                                            "Not Ack", "hello", "ok [c]<-9"};
    auto pick = [&r](const QList<QByteArray> &list) { return list.at(r.bounded(int(list.size()))); };
    if (r.bounded(12) == 0) { // raw bytes, never a line end among them
        QByteArray bytes(r.bounded(1, 40), '\0');
        for (char &c : bytes)
            c = char(r.bounded(256));
        return bytes.replace("\r\n", "\r_");
    }
    const bool registered = r.bounded(3) != 0;
    const QByteArray uid = registered ? Uids.at(r.bounded(5)).toLatin1() : pick(strangers);
    QByteArray seq = QByteArray::number(r.bounded(1000));
    if (r.bounded(4) == 0) // a NUL, a lone CR or a lone LF in the first field
        seq.insert(r.bounded(int(seq.size()) + 1), QByteArray(1, "\0\r\n"[r.bounded(3)]));
    switch (r.bounded(8)) {
    case 0: return seq + '\t' + uid; // two fields carry no message
    case 1:
        *stopsUnit = registered;
        return seq + '\t' + uid + (r.bounded(2) ? "\t[F] !!!\t" : "\t[F]!!!\t") + pick(numbers);
    default:
        QByteArray message = pick(messages);
        if (message.endsWith("<-") || message.endsWith('('))
            message += pick(numbers) + (message.endsWith('(') ? ")" : "");
        return seq + '\t' + uid + '\t' + message + (r.bounded(2) ? '\t' + pick(numbers) : QByteArray());
    }
}

// Every non-empty line logged once, in order, Sent OK after a time stamp, one over the bound in pieces.
void compareLog(const QStringList &log, const QList<QByteArray> &lines)
{
    qsizetype at = 0;
    for (const QByteArray &bytes : lines) {
        const QString line = QString::fromLatin1(bytes); // never empty
        if (line.contains(u"sent ok"_s, Qt::CaseInsensitive))
            QVERIFY2(log.value(at++).startsWith(u"\r\n2024-07-26-"_s), qPrintable(line));
        QString whole = log.value(at++);
        while (whole.size() < line.size() && whole.size() > 0
               && log.value(at - 1).size() > ResponseProcessor::MaxHeldTail)
            whole += log.value(at++);
        if (line.contains(u"Not Ack"_s) && !line.contains(u"sent ok"_s, Qt::CaseInsensitive)) { // a refusal is said
            const qsizetype said = whole.lastIndexOf(u"\r\n"_s);
            QVERIFY2(said >= 0 && whole.mid(said).contains(u" did not acknowledge"_s), qPrintable(line));
            whole.truncate(said);
        }
        QVERIFY2(whole == line, qPrintable(u"line %1 of the log"_s.arg(at)));
    }
    QCOMPARE(at, log.size());
}
} // namespace

class tst_ResponseProcessor : public QObject
{
    Q_OBJECT

private slots:
    // Grammar lines cut at random offsets over random ticks end as if handed over one at a time, with a STOP
    // for each stuck stone of a registered unit. A stuck stone ends its delivery: the controller waits.
    void receivePath()
    {
        forEachSeed(20, [this](quint32 seed) {
            QRandomGenerator r(seed);
            Rig rig(Uids), whole(Uids);
            QVERIFY(rig.ok && whole.ok);
            QList<QByteArray> lines;
            QByteArray stream, stops;
            QList<qsizetype> deliveryEnds;
            for (int i = 0, count = r.bounded(20, 150); i < count; ++i) {
                bool stopsUnit = false;
                lines << (seed == 1 && i == 5 ? QByteArray(ResponseProcessor::MaxHeldTail + 5000, 'Z')
                                              : grammarLine(r, &stopsUnit));
                stream += lines.last() + "\r\n";
                if (stopsUnit)
                    stops += ">S," + lines.last().split('\t').at(1) + ",0\r\n", deliveryEnds << stream.size();
                whole.processor.processResponse(QString::fromLatin1(lines.last() + "\r\n"));
                whole.platform.settle(); // a stuck unit is stopped
            }
            deliveryEnds << stream.size();
            const auto tick = [&rig] {
                rig.processor.receiveStep();
                rig.platform.settle();
            };
            // Up to 4000 bytes a tick: what a pseudo-terminal holds unread.
            for (qsizetype at = 0, waiting = 0; at < stream.size();) {
                const qsizetype end = *std::upper_bound(deliveryEnds.begin(), deliveryEnds.end(), at);
                const qsizetype take = std::min<qsizetype>(end - at, stream.at(at) == 'Z' ? 3800 : r.bounded(1, 64));
                if (waiting + take > 4000)
                    tick(), waiting = 0;
                rig.peer.send(stream.mid(at, take));
                at += take, waiting += take;
                if (at == end || r.bounded(2))
                    tick(), waiting = 0;
            }
            tick();

            compareLog(rig.host.logged, lines);
            auto panel = [](const UnitModel &u) {
                return std::tuple(u.countLine(), u.count(), u.infoLine(), u.state());
            };
            for (int n = 0; n <= 5; ++n)
                QVERIFY(panel(rig.host.model(n)) == panel(whole.host.model(n)));
            if (seed != 1)
                QVERIFY(rig.host.pane == whole.host.pane);
            QCOMPARE(rig.host.statuses, whole.host.statuses);
            QTest::qWait(20);
            QCOMPARE(rig.peer.wire(int(stops.count("\r\n"))), stops);
        });
    }

    // key: where the unit's section keeps the message field. pane: the pane after a command opened a line.
    void messageMarkers_data()
    {
        for (const char *column : {"line", "count", "info", "key", "mode", "pane"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<int>("unit");
        const QString was = u"before"_s, none, a = u"A"_s;
        auto row = [&](const char *name, const QString &line, const QString &count, const QString &info,
                       const QString &key = {}, int unit = 2) {
            QTest::newRow(name) << line << count << info << key << a << line + u"\r\n\r\nold"_s << unit;
        };
        row("count report", u"x\t101\t[F]\t25"_s, u"Count: 25"_s, was);
        row("shortfall", u"x\t101\t[C]<-7"_s, was, u"Short : 7"_s);
        row("shortfall marker not in front", u"x\t101\tok [c]<-9"_s, was, u"Short : 0"_s);
        row("bracket count", u"x\t101\t[c](12)"_s, u"Count : 12"_s, was);
        row("identification", u"x\t102\tID:V2.1 SN 0077\tmore"_s, was, was, u"INIT"_s, 3);
        row("homing", u"x\t102\tl1l2: 340 / 512\tmore"_s, was, was, u"HOME"_s, 3);
        row("identification of 3 MB: what a read gives back is stored", u"x\t102\tID:"_s + QString(3'000'000, u'g'),
            was, was, u"INIT"_s, 3);
        row("identification with a stray CR: the text before it", u"x\t102\tID:SN-77\rstray"_s, was, was, u"INIT"_s, 3);
        row("homing with a NUL and an LF", u"x\t102\tL1L2: 340\0\n512"_s, was, was, u"HOME"_s, 3);
        // A refusal is said in both modes, with the line the unit was sent last.
        const QString answers = u"a\r\nb\t101\tNot Ack\r\nc"_s,
                      refused = u"UNIT 2 (UID 101) did not acknowledge >HOME,101,0\r\n"_s;
        QTest::newRow("all messages, each on its line")
            << answers << was << was << none << a << u"c\r\n"_s + refused + u"b\t101\tNot Ack\r\na\r\n\r\nold"_s << 2;
        QTest::newRow("important only: the answers run together on the top line, no Not Ack")
            << answers << was << was << none << u"F"_s << u"c"_s + refused + u"a\r\nold"_s << 2;
    }
    void messageMarkers()
    {
        QFETCH(QString, line);
        QFETCH(int, unit);
        QFETCH(QString, key);
        Rig rig(Uids);
        QVERIFY(rig.ok);
        QFETCH(QString, mode);
        rig.host.mode = mode == u"A"_s ? MessageFilter::All : MessageFilter::Important;
        rig.host.pane = u"old"_s;
        rig.sender.send(u"HOME,101"_s);
        for (int n = 1; n <= 5; ++n)
            rig.host.model(n).setCount(u"before"_s), rig.host.model(n).setInfo(u"before"_s);
        rig.processor.processResponse(line + u"\r\n"_s);
        QTEST(rig.host.model(unit).countLine(), "count");
        QTEST(rig.host.model(unit).infoLine(), "info");
        // Beside each line the number it shows, for whoever reads the unit rather than its panel.
        const auto shown = [](const QString &line) {
            return line.contains(u':') ? std::optional(line.section(u':', 1).toDouble()) : std::nullopt;
        };
        QVERIFY(rig.host.model(unit).count() == shown(rig.host.model(unit).countLine()));
        QVERIFY(rig.host.model(unit).shortfall() == shown(rig.host.model(unit).infoLine()));
        QTEST(rig.host.pane, "pane");
        const QStringList refusal{u"UNIT 2 (UID 101) did not acknowledge >HOME,101,0"_s};
        QCOMPARE(rig.host.statuses, line.contains(u"Not Ack"_s) ? refusal : QStringList());
        QCOMPARE(rig.host.logged.join(u"\r\n"_s).contains(refusal.first()), line.contains(u"Not Ack"_s));
        mSettings::BuildIniPaths();
        QCOMPARE(QFile::exists(mSettings::IniFile), !key.isEmpty());
        if (!key.isEmpty())
            QCOMPARE(
                SettingsSchema::Setting(key == u"INIT"_s ? SettingsSchema::Key::Init : SettingsSchema::Key::Home, unit)
                    .read(),
                line.section(u'\t', 2, 2).section(QRegularExpression(u"[\r\n\\x00]"_s), 0, 0).left(259));
        QVERIFY(QFileInfo(mSettings::IniFile).size() < 400);
    }

    // Text held for its line end waits for it up to 2 s of quiet on the link; after that, or when the link
    // ends (the console closes, the port is lost or opened anew, a search takes it over), it is a line of its
    // own: never lost, never glued to another opening's text.
    void heldTextEndsWithItsOpening_data()
    {
        QTest::addColumn<QString>("end"); // a number: ms of quiet before the rest comes
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<QString>("count"); // of UNIT 2
        const QStringList apart{u"5\t101\t[F]"_s, u"\t16"_s}, whole{u"5\t101\t[F]\t16"_s};
        QTest::newRow("the console closes") << u"close"_s << QStringList{u"5\t101\t[F]"_s} << QString();
        QTest::newRow("the adapter is pulled and plugged back") << u"lost"_s << apart << QString();
        QTest::newRow("the port is opened anew") << u"reopen"_s << apart << QString();
        QTest::newRow("a search's text of an opening that is over") << u"search"_s << apart << QString();
        QTest::newRow("the same opening continues it") << u"0"_s << whole << u"Count: 16"_s;
        QTest::newRow("1 s of quiet: one line") << u"1000"_s << whole << u"Count: 16"_s;
        QTest::newRow("2 s of quiet: two") << u"2000"_s << apart << QString();
    }
    void heldTextEndsWithItsOpening()
    {
        QFETCH(QString, end);
        Rig rig(Uids);
        rig.peer.send("5\t101\t[F]");
        rig.processor.receiveStep();
        QVERIFY(rig.host.logged.isEmpty());
        for (int t = ReceiveTickMs; t <= end.toInt(); t += ReceiveTickMs) { // the receive poll ticks on meanwhile
            rig.platform.virtualMs = t;
            rig.processor.receiveStep();
        }
        if (end == u"close"_s) {
            rig.processor.endOfLink();
        } else if (end == u"lost"_s) {
            rig.peer.hangUp();
            QTRY_VERIFY(!rig.comm.PortOpen());
            rig.processor.receiveStep();
        } else if (end == u"reopen"_s) {
            rig.comm.setPortOpen(false), rig.comm.setPortOpen(true);
        }
        if (end == u"search"_s || end == u"lost"_s) { // what a search, or the adapter plugged back, brings
            rig.processor.hand({u"\t16\r\n"_s});
        } else if (end != u"close"_s) {
            rig.peer.send("\t16\r\n");
            rig.processor.receiveStep();
        }
        QTEST(rig.host.logged, "logged");
        QTEST(rig.host.model(2).countLine(), "count");
    }

    // A stuck stone stops its unit and ends the batch; what comes while the unit is being stopped is drained.
    // The journal takes every unit's final word all the same: what follows the stuck stone in its read, and
    // what comes during the stop, are credited to their rows.
    void stuckStoneStopsTheUnit()
    {
        Rig rig(Uids);
        QByteArray written;
        RunJournal journal([&](const QByteArray &row, QDate) { return written += row, true; });
        rig.host.runs = &journal;
        journal.startRun(QDateTime(QDate(2026, 12, 7), QTime(9, 0)), u"RING"_s);
        for (const auto &[n, asked] : {std::pair{2, u"6"_s}, {3, u"4"_s}, {4, u"9"_s}})
            journal.addUnit(n, u"UNIT %1"_s.arg(n), Uids.at(n - 1), asked), journal.sent(n);
        rig.peer.send("a\t101\t[F]!!!\t5\r\nb\t102\t[C]<-2\r\nb\t102\t[F]\t2\r\nc\t10");
        rig.processor.receiveStep();
        QCOMPARE(rig.peer.wire(1), QByteArray(">S,101,0\r\n"));
        // The controller keeps talking while the unit stops; the receive poll takes none of it meanwhile.
        rig.peer.send("\t[F]\t9\r\nd\tdrained\r\ne\t101\t[F] ");
        rig.platform.advance(200);
        rig.processor.receiveStep();
        rig.peer.send("!!!");
        QCOMPARE(rig.host.model(2).infoLine(), QString());
        rig.platform.advance(300);
        QVERIFY(!rig.processor.stopping());
        QCOMPARE(rig.host.statuses.last(), u"STUCK STONE ERROR- REMOVE MANUALLY"_s);
        QCOMPARE(rig.host.model(2).state(), UnitState::Stuck);
        QCOMPARE(rig.host.model(2).infoLine(), u"STUCK STN"_s);
        // The rest of the batch is not acted upon.
        QVERIFY(rig.host.model(3).countLine().isEmpty() && rig.host.model(3).infoLine().isEmpty());
        QCOMPARE(rig.host.logged,
                 QStringList({u"a\t101\t[F]!!!\t5"_s, u"b\t102\t[C]<-2"_s, u"b\t102\t[F]\t2"_s, u"c\t10\t[F]\t9"_s,
                              u"d\tdrained"_s}));
        journal.finish();
        QStringList results;
        for (const QStringList &row : parseCsv(QString::fromUtf8(written)))
            results << row.mid(2, 6).join(u',');
        QCOMPARE(results,
                 (QStringList{u"UNIT 2,101,6,5,,stuck"_s, u"UNIT 3,102,4,2,2,short"_s, u"UNIT 4,10,9,9,,complete"_s}));
        // The line still arriving when the drain ended is drained too: logged whole, no second STOP.
        rig.peer.send("\t7\r\nf\t102\t[c](3)\r\n");
        rig.processor.receiveStep();
        QCOMPARE(rig.host.logged.mid(5), QStringList({u"e\t101\t[F] !!!\t7"_s, u"f\t102\t[c](3)"_s}));
        QCOMPARE(rig.host.model(3).countLine(), u"Count : 3"_s);
        // A STOP that cannot go out stands out: the unit is still running. UID 0 would stop every unit.
        rig.host.model(3).setUid(u"0"_s);
        rig.processor.processResponse(u"g\t0\t[F]!!!\t5\r\n"_s);
        QCOMPARE(rig.host.statuses.last(), u"STOP NOT SENT - STOP UNIT 3 BY HAND"_s);
        QCOMPARE(rig.host.model(3).state(), UnitState::Stuck);
        rig.platform.settle();
        QTest::qWait(30);
        QCOMPARE(rig.peer.received(), QByteArray(">S,101,0\r\n"));
        rig.host.model(2).setState(UnitState::Idle);
        rig.peer.hangUp(); // the port lost
        rig.processor.processResponse(u"h\t101\t[F]!!!\t5\r\n"_s);
        QCOMPARE(rig.host.statuses.last(), u"STOP NOT SENT - STOP UNIT 2 BY HAND"_s);
        rig.platform.settle();
        QCOMPARE(rig.host.logged.mid(7),
                 QStringList({u"g\t0\t[F]!!!\t5"_s, u"h\t101\t[F]!!!\t5"_s, u"Not sent: >S,101,0"_s}));
        QCOMPARE(rig.host.model(2).state(), UnitState::Stuck);
    }
};

QTEST_GUILESS_MAIN(tst_ResponseProcessor)
#include "tst_ResponseProcessor.moc"
