#include "Seeds.h"
#include "TestFolder.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
// UID 10 is a prefix of the others, and 7 a single digit: a line must name its unit whole.
const QStringList Uids{u"100"_s, u"101"_s, u"102"_s, u"10"_s, u"7"_s};
constexpr qint32 Stuck = 255;

// One line of the controller's talk, from every marker it has, with odd numbers, unknown units and noise.
// stopsUnit: the line reports a stuck stone of a registered unit.
QByteArray grammarLine(QRandomGenerator &r, bool *stopsUnit)
{
    static const QList<QByteArray> known{"100", "101", "102", "10", "7"};
    static const QList<QByteArray> strangers{"999", "1000", "1e400", "-0", "nan", "", "99999999999", "abc", "-101"};
    static const QList<QByteArray> numbers{"25", " 0025 pcs", "2.50", "1e400", "-1e400", "nan", "", "007", "3x"};
    static const QList<QByteArray> messages{"[F]",     "[f]",   "ID:V2.1 SN 0077", "l1l2: 340 / 512",
                                            "[C]<-",   "[c](",  "Sent OK",         "sent ok",
                                            "Not Ack", "hello", "ok [c]<-9"};
    auto pick = [&r](const QList<QByteArray> &list) { return list.at(r.bounded(int(list.size()))); };
    *stopsUnit = false;
    if (r.bounded(12) == 0) { // raw bytes, never a line end among them
        QByteArray bytes(r.bounded(40), '\0');
        for (char &c : bytes)
            c = char(r.bounded(256));
        return bytes.replace("\r\n", "\r_");
    }
    const bool registered = r.bounded(3) != 0;
    const QByteArray uid = registered ? pick(known) : pick(strangers);
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

// The log holds every non-empty line once, in order, each Sent OK preceded by its time stamp. A line over
// the held-text bound is logged in pieces, each but the last longer than the bound.
void compareLog(const QStringList &log, const QList<QByteArray> &lines)
{
    qsizetype at = 0;
    for (const QByteArray &bytes : lines) {
        const QString line = QString::fromLatin1(bytes);
        if (line.isEmpty())
            continue;
        if (line.contains(u"sent ok"_s, Qt::CaseInsensitive))
            QVERIFY2(log.value(at++).startsWith(u"\r\n2024-07-26-"_s), qPrintable(line));
        QString whole = log.value(at++);
        while (whole.size() < line.size() && whole.size() > 0
               && log.value(at - 1).size() > ResponseProcessor::MaxHeldTail)
            whole += log.value(at++);
        QVERIFY2(whole == line, qPrintable(u"line %1 of the log"_s.arg(at)));
    }
    QCOMPARE(at, log.size());
}
} // namespace

class tst_ResponseProcessor : public QObject
{
    Q_OBJECT

    FakeUnit &unit(int n) { return m_rig->host.unit(n); }
    FakeHost &host() { return m_rig->host; }

private slots:
    void init()
    {
        m_rig.emplace(Uids);
        QVERIFY(m_rig->ok);
    }
    void cleanup() { m_rig.reset(); }

    // Lines from the grammar, cut at random offsets and taken over random ticks, end as the same lines
    // handed over one at a time: the same panels, pane and status line, every line in the log, and a
    // STOP exactly for each stuck stone of a registered unit. A stuck stone ends its delivery, as the
    // controller stops talking until the console answers it.
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
                if (stopsUnit) {
                    stops += ">S," + lines.last().split('\t').at(1) + ",0\r\n";
                    deliveryEnds << stream.size();
                }
                whole.processor.processResponse(QString::fromLatin1(lines.last() + "\r\n"));
            }
            deliveryEnds << stream.size();
            // Up to 4000 bytes a tick: what a pseudo-terminal holds unread.
            for (qsizetype at = 0, waiting = 0; at < stream.size();) {
                const qsizetype end = *std::upper_bound(deliveryEnds.begin(), deliveryEnds.end(), at);
                const qsizetype take = std::min<qsizetype>(end - at, stream.at(at) == 'Z' ? 3800 : r.bounded(1, 64));
                if (waiting + take > 4000)
                    rig.processor.receiveStep(), waiting = 0;
                rig.peer.send(stream.mid(at, take));
                at += take;
                waiting += take;
                if (at == end || r.bounded(2))
                    rig.processor.receiveStep(), waiting = 0;
            }
            rig.processor.receiveStep();

            compareLog(rig.host.log, lines);
            for (int n = 0; n <= 5; ++n) {
                QCOMPARE(rig.host.unit(n).c3, whole.host.unit(n).c3);
                QCOMPARE(rig.host.unit(n).c4, whole.host.unit(n).c4);
                QCOMPARE(rig.host.unit(n).state, whole.host.unit(n).state);
            }
            if (seed != 1)
                QVERIFY(rig.host.pane == whole.host.pane);
            QCOMPARE(rig.host.statuses, whole.host.statuses);
            QTest::qWait(20);
            QCOMPARE(rig.peer.wire(int(stops.count("\r\n"))), stops);
        });
    }

    // key: where the unit's section keeps the message field, empty for nothing kept.
    void messageMarkers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("key");
        const QString was = u"before"_s, none;
        QTest::newRow("count report") << u"x\t101\t[F]\t25"_s << 2 << u"Count: 25"_s << was << none;
        QTest::newRow("shortfall") << u"x\t101\t[C]<-7"_s << 2 << was << u"Short : 7"_s << none;
        QTest::newRow("shortfall marker not in front") << u"x\t101\tok [c]<-9"_s << 2 << was << u"Short : 0"_s << none;
        QTest::newRow("bracket count") << u"x\t101\t[c](12)"_s << 2 << u"Count : 12"_s << was << none;
        QTest::newRow("identification") << u"x\t102\tID:V2.1 SN 0077\tmore"_s << 3 << was << was << u"INIT"_s;
        QTest::newRow("homing") << u"x\t102\tl1l2: 340 / 512\tmore"_s << 3 << was << was << u"HOME"_s;
        QTest::newRow("identification of 3 MB: what a read gives back is stored")
            << u"x\t102\tID:"_s + QString(3'000'000, u'g') << 3 << was << was << u"INIT"_s;
    }
    void messageMarkers()
    {
        QFETCH(QString, line);
        QFETCH(int, unit);
        QFETCH(QString, count);
        QFETCH(QString, info);
        QFETCH(QString, key);
        for (int n = 1; n <= 5; ++n)
            this->unit(n).c3 = this->unit(n).c4 = u"before"_s;
        m_rig->processor.processResponse(line + u"\r\n"_s);
        QCOMPARE(this->unit(unit).c3, count);
        QCOMPARE(this->unit(unit).c4, info);
        QVERIFY(host().statuses.isEmpty());
        mSettings::BuildIniPaths();
        if (key.isEmpty()) {
            QVERIFY(!QFile::exists(mSettings::IniFile));
        } else {
            const auto id = key == u"INIT"_s ? SettingsSchema::Key::Init : SettingsSchema::Key::Home;
            QCOMPARE(SettingsSchema::Setting(id, unit).read(), line.section(u'\t', 2, 2).left(259));
            QVERIFY(QFileInfo(mSettings::IniFile).size() < 400);
        }
    }

    void stuckStoneStopsTheUnit()
    {
        // The controller keeps talking while the unit stops.
        int drainSleep = 0;
        m_rig->platform.onSleep = [&](int) {
            if (++drainSleep == 1)
                m_rig->peer.send("\t[F]\t9\r\nd\tdrained\r\ne\t101\t[F] ");
            if (drainSleep == 3)
                m_rig->peer.send("!!!");
        };
        m_rig->peer.send("a\t101\t[F]!!!\t5\r\nb\t102\t[c](3)\r\nc\t10");
        m_rig->processor.receiveStep();
        QCOMPARE(m_rig->peer.wire(1), QByteArray(">S,101,0\r\n"));
        QCOMPARE(host().statuses.last(), u"STUCK STONE ERROR- REMOVE MANUALLY"_s);
        QCOMPARE(unit(2).state, Stuck);
        QCOMPARE(unit(2).c4, u"STUCK STN"_s);
        QCOMPARE(unit(3).c3, QString()); // the rest of the batch is not acted upon
        // Nothing the controller said is missing from the log, in the order it came.
        QCOMPARE(host().log,
                 QStringList({u"a\t101\t[F]!!!\t5"_s, u"b\t102\t[c](3)"_s, u"c\t10\t[F]\t9"_s, u"d\tdrained"_s}));
        // The line still arriving when the drain ended is drained text too: logged whole once it is
        // complete, never acted upon (no second STOP).
        m_rig->peer.send("\t7\r\nf\t102\t[c](3)\r\n");
        m_rig->processor.receiveStep();
        QCOMPARE(host().log.mid(4), QStringList({u"e\t101\t[F] !!!\t7"_s, u"f\t102\t[c](3)"_s}));
        QCOMPARE(unit(3).c3, u"Count : 3"_s);
        QTest::qWait(30);
        QCOMPARE(m_rig->peer.received(), QByteArray(">S,101,0\r\n"));
    }

    // A STOP that cannot go out must stand out: the unit is still running.
    void stopThatCannotGoOut_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("port lost") << u"101"_s << true << QStringList{u"Not sent: >S,101,0"_s};
        QTest::newRow("UID 0 would stop every unit") << u"0"_s << false << QStringList();
    }
    void stopThatCannotGoOut()
    {
        QFETCH(QString, uid);
        QFETCH(bool, hangUp);
        QFETCH(QStringList, log);
        unit(2).tag = uid;
        if (hangUp)
            m_rig->peer.hangUp();
        const QString line = u"a\t"_s + uid + u"\t[F]!!!\t5"_s;
        m_rig->processor.processResponse(line + u"\r\n"_s);
        QCOMPARE(host().statuses.last(), u"STOP NOT SENT - STOP UNIT 2 BY HAND"_s);
        QCOMPARE(host().log, QStringList{line} + log);
        QCOMPARE(unit(2).state, Stuck);
        QTest::qWait(30);
        QVERIFY(m_rig->peer.received().isEmpty());
    }

private:
    std::optional<Rig> m_rig;
};

QTEST_GUILESS_MAIN(tst_ResponseProcessor)
#include "tst_ResponseProcessor.moc"
