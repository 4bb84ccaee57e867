#include "LinkTestSupport.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

// Units 1 to 5 are registered under UIDs 100, 101, 102, 10 and 7.
class tst_ResponseProcessor : public QObject
{
    Q_OBJECT

private:
    TestUnit &unit(int n) { return m_rig->unit(n); }
    TestHost &host() { return m_rig->host; }
    void tick() { m_rig->processor.receiveStep(); }
    // The lines of a text as the log must hold them: cut at CR LF, empty lines left out.
    static QStringList linesOf(const QString &text)
    {
        QStringList lines = text.split(u"\r\n"_s);
        lines.removeAll(QString());
        return lines;
    }

private slots:
    void init()
    {
        m_rig.emplace(5, QStringList{u"100"_s, u"101"_s, u"102"_s, u"10"_s, u"7"_s});
        QVERIFY(m_rig->ok);
    }
    void cleanup() { m_rig.reset(); }

    // key: where the unit's section of the settings keeps the message field, empty for nothing kept.
    void messageMarkers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("info");
        QTest::addColumn<QString>("key");
        const QString was = u"before"_s, none;
        QTest::newRow("count report") << u"x\t101\t[F]\t25"_s << 2 << u"Count: 25"_s << was << none;
        QTest::newRow("count in lower case, padded")
            << u"x\t101\t[f]\t 0025 pcs"_s << 2 << u"Count: 25"_s << was << none;
        QTest::newRow("fractional count") << u"x\t101\t[F]\t2.50"_s << 2 << u"Count: 2.5"_s << was << none;
        QTest::newRow("count report without a value") << u"x\t101\t[F]"_s << 2 << was << was << none;
        QTest::newRow("count and identification") << u"x\t101\t[F] ID:\t3"_s << 2 << u"Count: 3"_s << was << none;
        QTest::newRow("shortfall") << u"x\t101\t[C]<-7"_s << 2 << was << u"Short : 7"_s << none;
        QTest::newRow("shortfall marker not in front") << u"x\t101\tok [c]<-9"_s << 2 << was << u"Short : 0"_s << none;
        QTest::newRow("bracket count") << u"x\t101\t[c](12)"_s << 2 << u"Count : 12"_s << was << none;
        QTest::newRow("identifier with a fraction") << u"x\t 101.4\t[F]\t5"_s << 2 << u"Count: 5"_s << was << none;
        QTest::newRow("identifier half way rounds to even")
            << u"x\t100.5\t[F]\t5"_s << 1 << u"Count: 5"_s << was << none;
        QTest::newRow("two fields carry no message") << u"[F]\t101"_s << 2 << was << was << none;
        QTest::newRow("unknown message") << u"x\t101\thello\t5"_s << 2 << was << was << none;
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
        QCOMPARE(host().log, QStringList{line});
        QCOMPARE(host().pane, line + u"\r\n"_s);
        QVERIFY(host().statuses.isEmpty());
        mSettings::BuildIniPaths();
        if (key.isEmpty()) {
            QVERIFY(!QFile::exists(mSettings::IniFile));
        } else {
            QCOMPARE(
                SettingsSchema::Setting(key == u"INIT"_s ? SettingsSchema::Key::Init : SettingsSchema::Key::Home, unit)
                    .read(),
                line.section(u'\t', 2, 2).left(259));
            QVERIFY(QFileInfo(mSettings::IniFile).size() < 400);
        }
    }

    void answeringUnitsTurnGreen()
    {
        m_rig->processor.processResponse(u"x\t101\tok\r\n"_s);
        // UID 10 is a prefix of 101: both light up, as the controller's lines have always been matched.
        QList<qint32> states;
        for (int n = 1; n <= 5; ++n)
            states.append(unit(n).state);
        QCOMPARE(states, QList<qint32>({4194304, 49152, 4194304, 49152, 4194304}));
        QVERIFY(host().statusTimerStarts > 0);
    }

    void sentOkIsStampedAndNotInterpreted()
    {
        const QString line = u"x\t101\tsent ok\t[F]\t9"_s;
        m_rig->platform.virtualMs = (3 * 3600 + 7 * 60) * 1000; // 17:12
        m_rig->processor.processResponse(line);
        QCOMPARE(host().log, QStringList({u"\r\n2024-07-26-17-12"_s, line}));
        QCOMPARE(host().pane, line + u"\r\n"_s);
        QCOMPARE(unit(2).state, 4194304);
        QVERIFY(unit(2).c3.isEmpty());
    }

    void filterModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("pane");
        QTest::newRow("all messages") << u"A"_s << u"c\r\nb Not Ack\r\na\r\n\r\nold"_s;
        QTest::newRow("important only") << u"F"_s << u"ca\r\nold"_s;
    }
    void filterModes()
    {
        QFETCH(QString, mode);
        QFETCH(QString, pane);
        host().mode = mode;
        host().pane = u"old"_s;
        m_rig->sender.SendCMD(u"HOME"_s);
        m_rig->processor.processResponse(u"a\r\nb Not Ack\r\nc\r\n"_s);
        QCOMPARE(host().pane, pane);
        QCOMPARE(host().log, QStringList({u"a"_s, u"b Not Ack"_s, u"c"_s}));
    }

    void unknownIdentifierTouchesNoUnit_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("not registered") << u"999"_s;
        QTest::newRow("registered ones as its prefix") << u"1000"_s;
        QTest::newRow("too large for any unit") << u"1e400"_s;
        QTest::newRow("negative zero") << u"-0"_s;
        QTest::newRow("not a number") << u"nan"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("beyond 32 bits") << u"99999999999"_s;
    }
    void unknownIdentifierTouchesNoUnit()
    {
        QFETCH(QString, id);
        // A known unit answers first: its number must not carry over to the next line.
        const QString batch = u"x\t7\t[c](4)\r\nx\t"_s + id + u"\t[F] !!!\t5\r\ny\t"_s + id + u"\t[C]<-3\r\n"_s;
        m_rig->processor.processResponse(batch);
        QCOMPARE(unit(5).c3, u"Count : 4"_s);
        QVERIFY(unit(5).c4.isEmpty());
        for (int n : {1, 2, 3, 4})
            QCOMPARE(unit(n).state, 4194304);
        QCOMPARE(unit(0).c3, QString());
        QVERIFY(host().statuses.isEmpty());
        QCOMPARE(host().log, linesOf(batch));
        QTest::qWait(30);
        QVERIFY(m_rig->peer->received().isEmpty()); // no STOP, to nobody
    }

    void stuckStoneStopsTheUnit()
    {
        for (int n = 1; n <= 5; ++n)
            unit(n).c3 = u"Count : 1"_s;
        // The controller keeps talking while the unit stops.
        int drainSleep = 0;
        m_rig->platform.onSleep = [&](int) {
            if (++drainSleep == 1)
                m_rig->peer->send("\t[F]\t9\r\nd\tdrained\r\ne\t101\t[F] ");
            if (drainSleep == 3)
                m_rig->peer->send("!!!");
        };
        m_rig->peer->send("a\t101\t[F]!!!\t5\r\nb\t102\t[c](3)\r\nc\t10");
        tick();

        QVERIFY(m_rig->peer->waitReceived("\r\n"));
        QCOMPARE(m_rig->peer->received(), QByteArray(">S,101,0\r\n"));
        QCOMPARE(
            host().statuses,
            QStringList({u"Sending Command STOP to UNIT 2 - Pls Wait !"_s, u"STUCK STONE ERROR- REMOVE MANUALLY"_s}));
        QCOMPARE(host().statusSecs, QList<int>({5, 10}));
        QCOMPARE(m_rig->platform.sleeps, QList<int>({100, 100, 100, 100, 100}));
        QCOMPARE(unit(2).state, 255);
        QCOMPARE(unit(2).c4, u"STUCK STN"_s);
        for (int n = 1; n <= 5; ++n) {
            QVERIFY(unit(n).c3.isEmpty());
            QCOMPARE(unit(n).state, n == 2 ? 255 : 4194304);
        }
        QCOMPARE(host().pane, u"\r\na\t101\t[F]!!!\t5\r\n"_s);
        // Nothing the controller said is missing from the log, in the order it came.
        QCOMPARE(host().log,
                 QStringList({u"a\t101\t[F]!!!\t5"_s, u"b\t102\t[c](3)"_s, u"c\t10\t[F]\t9"_s, u"d\tdrained"_s}));
        // The line still arriving when the drain ended is drained text too: logged whole once it is
        // complete, never acted upon (no second STOP).
        m_rig->peer->send("\t7\r\nf\t102\t[c](3)\r\n");
        tick();
        QCOMPARE(host().log.mid(4), QStringList({u"e\t101\t[F] !!!\t7"_s, u"f\t102\t[c](3)"_s}));
        QVERIFY(!host().pane.contains(u"e\t101"_s));
        QCOMPARE(unit(3).c3, u"Count : 3"_s);
        QTest::qWait(30);
        QCOMPARE(m_rig->peer->received(), QByteArray(">S,101,0\r\n"));
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
            m_rig->peer->hangUp();
        const QString line = u"a\t"_s + uid + u"\t[F]!!!\t5"_s;
        m_rig->processor.processResponse(line + u"\r\n"_s);
        QCOMPARE(host().statuses.last(), u"STOP NOT SENT - STOP UNIT 2 BY HAND"_s);
        QCOMPARE(host().statusSecs.last(), 10);
        QCOMPARE(host().log, QStringList{line} + log);
        QCOMPARE(unit(2).state, 255);
        if (!hangUp) {
            QTest::qWait(30);
            QVERIFY(m_rig->peer->received().isEmpty());
        }
    }

    void lineInPiecesIsHandledWhole_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("count split inside the number")
            << QList<QByteArray>{"x\t101\t[F]\t2", "5\r\n"} << u"Count: 25"_s << QStringList{u"x\t101\t[F]\t25"_s};
        QTest::newRow("split between CR and LF") << QList<QByteArray>{"x\t101\t[F]\t25\r", "\nnext\r\n"}
                                                 << u"Count: 25"_s << QStringList{u"x\t101\t[F]\t25"_s, u"next"_s};
        QTest::newRow("three pieces, the last unterminated")
            << QList<QByteArray>{"x\t1", "01\t[c](1", "2)\r\nlast words"} << u"Count : 12"_s
            << QStringList{u"x\t101\t[c](12)"_s, u"last words"_s};
    }
    void lineInPiecesIsHandledWhole()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QString, count);
        QFETCH(QStringList, log);
        for (const QByteArray &piece : pieces) {
            m_rig->peer->send(piece);
            tick();
        }
        tick(); // a quiet tick: an unterminated line is at most one tick late
        QCOMPARE(unit(2).c3, count);
        QCOMPARE(host().log, log);
    }

    void vanishedPortIsReopenedOnceItIsBack()
    {
        m_rig->peer->hangUp();
        // Gone as an unplugged adapter is: its link now points nowhere (a pseudo-terminal's number may be
        // handed to another program at once).
        const QString link = m_rig->dir.filePath(u"ports/COM5"_s);
        QVERIFY(QFile::remove(link) && QFile::link(m_rig->dir.filePath(u"unplugged"_s), link));
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        tick();
        QVERIFY(!m_rig->comm.PortOpen());
        tick(); // still gone: tried again, no harm
        QVERIFY(!m_rig->comm.PortOpen());

        m_rig->peer = std::make_unique<PtyPeer>();
        QVERIFY(m_rig->peer->linkAs(m_rig->dir.path(), 5));
        tick();
        QVERIFY(m_rig->comm.PortOpen());
        m_rig->peer->send("x\t101\t[F]\t3\r\n");
        tick();
        QCOMPARE(unit(2).c3, u"Count: 3"_s);
    }

    void badInputIsLoggedWhole_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QRandomGenerator random(20240726);
        QByteArray noise(64 * 1024, '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        for (int i = 0; i < 200; ++i) // lines of random length
            noise.insert(random.bounded(noise.size()), "\r\n");
        QTest::newRow("random bytes") << noise;
        QTest::newRow("NUL characters") << QByteArray("x\t101\t[F]\t\0\x35\r\n\0\0\0\r\n\0\t101\t[c](\0", 24);
        QTest::newRow("a megabyte without a line end") << QByteArray(1024 * 1024, 'Z');
        QByteArray fields("x\t101\t[F]\t8");
        for (int i = 0; i < 10000; ++i)
            fields += "\t" + QByteArray::number(i);
        QTest::newRow("ten thousand fields") << fields + "\r\n";
        QTest::newRow("odd identifiers") << QByteArray(
            "a\t1e400\t[F]!!!\t1\r\nb\t-0\t[F]\t2\r\nc\tnan\t[c](3)\r\nd\t1e-400\tID:x\r\n"
            "e\t101\t[F]\t1e400\r\nf\t101\t[F]\t-1e400\r\n");
    }
    void badInputIsLoggedWhole()
    {
        QFETCH(QByteArray, bytes);
        // Ticks as the timer would, until three in a row take nothing more.
        std::thread writer([&] { m_rig->peer->writeAll(bytes); });
        for (int quiet = 0; quiet < 3;) {
            const qsizetype before = host().log.size() + m_rig->processor.heldTail().size();
            tick();
            QThread::msleep(5);
            quiet = host().log.size() + m_rig->processor.heldTail().size() == before ? quiet + 1 : 0;
        }
        writer.join();
        tick();
        QStringList logged = host().log;
        logged.removeIf([](const QString &entry) { return entry.startsWith(u"\r\n"_s); });
        QCOMPARE(logged.size(), linesOf(QString::fromLatin1(bytes)).size());
        QVERIFY(logged == linesOf(QString::fromLatin1(bytes)));
        QVERIFY(host().statuses.isEmpty()); // no unit number came out of the odd identifiers
    }

private:
    std::optional<LinkRig> m_rig;
};

QTEST_GUILESS_MAIN(tst_ResponseProcessor)
#include "tst_ResponseProcessor.moc"
