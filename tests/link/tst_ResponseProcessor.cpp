#include "LinkTestSupport.h"

#include <QRandomGenerator>
#include <QTest>

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
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }

private slots:
    void init()
    {
        m_rig.emplace(5,
                      QStringList{QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("102"),
                                  QStringLiteral("10"), QStringLiteral("7")});
        QVERIFY(m_rig->ok);
    }
    void cleanup() { m_rig.reset(); }

    void messageMarkers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("info");
        const QString before = QStringLiteral("before");
        QTest::newRow("count report") << QStringLiteral("x\t101\t[F]\t25") << 2 << QStringLiteral("Count: 25")
                                      << before;
        QTest::newRow("count in lower case, padded")
            << QStringLiteral("x\t101\t[f]\t 0025 pcs") << 2 << QStringLiteral("Count: 25") << before;
        QTest::newRow("fractional count")
            << QStringLiteral("x\t101\t[F]\t2.50") << 2 << QStringLiteral("Count: 2.5") << before;
        QTest::newRow("count report without a value") << QStringLiteral("x\t101\t[F]") << 2 << before << before;
        QTest::newRow("count and identification")
            << QStringLiteral("x\t101\t[F] ID:\t3") << 2 << QStringLiteral("Count: 3") << before;
        QTest::newRow("shortfall") << QStringLiteral("x\t101\t[C]<-7") << 2 << before << QStringLiteral("Short : 7");
        QTest::newRow("shortfall marker not in front")
            << QStringLiteral("x\t101\tok [c]<-9") << 2 << before << QStringLiteral("Short : 0");
        QTest::newRow("bracket count") << QStringLiteral("x\t101\t[c](12)") << 2 << QStringLiteral("Count : 12")
                                       << before;
        QTest::newRow("identifier with a fraction")
            << QStringLiteral("x\t 101.4\t[F]\t5") << 2 << QStringLiteral("Count: 5") << before;
        QTest::newRow("identifier half way rounds to even")
            << QStringLiteral("x\t100.5\t[F]\t5") << 1 << QStringLiteral("Count: 5") << before;
        QTest::newRow("two fields carry no message") << QStringLiteral("[F]\t101") << 2 << before << before;
        QTest::newRow("unknown message") << QStringLiteral("x\t101\thello\t5") << 2 << before << before;
    }
    void messageMarkers()
    {
        QFETCH(QString, line);
        QFETCH(int, unit);
        QFETCH(QString, count);
        QFETCH(QString, info);
        for (int n = 1; n <= 5; ++n)
            this->unit(n).c3 = this->unit(n).c4 = QStringLiteral("before");
        m_rig->processor.processResponse(line + QStringLiteral("\r\n"));
        QCOMPARE(this->unit(unit).c3, count);
        QCOMPARE(this->unit(unit).c4, info);
        QCOMPARE(host().log, QStringList{line});
        QCOMPARE(host().pane, line + QStringLiteral("\r\n"));
        QVERIFY(host().statuses.isEmpty());
        mSettings::BuildIniPaths();
        QVERIFY(!QFile::exists(mSettings::IniFile)); // no INIT or HOME written
    }

    void answeringUnitsTurnGreen()
    {
        m_rig->processor.processResponse(QStringLiteral("x\t101\tok\r\n"));
        // UID 10 is a prefix of 101: both light up, as the controller's lines have always been matched.
        QList<qint32> states;
        for (int n = 1; n <= 5; ++n)
            states.append(unit(n).state);
        QCOMPARE(states, QList<qint32>({4194304, 49152, 4194304, 49152, 4194304}));
        QVERIFY(host().statusTimerStarts > 0);
    }

    void sentOkIsStampedAndNotInterpreted()
    {
        const QString line = QStringLiteral("x\t101\tsent ok\t[F]\t9");
        m_rig->platform.virtualMs = (3 * 3600 + 7 * 60) * 1000; // 17:12
        m_rig->processor.processResponse(line);
        QCOMPARE(host().log, QStringList({QStringLiteral("\r\n2024-07-26-17-12"), line}));
        QCOMPARE(host().pane, line + QStringLiteral("\r\n"));
        QCOMPARE(unit(2).state, 4194304);
        QVERIFY(unit(2).c3.isEmpty());
    }

    void filterModes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("pane");
        QTest::newRow("all messages") << QStringLiteral("A") << QStringLiteral("c\r\nb Not Ack\r\na\r\n\r\nold");
        QTest::newRow("important only") << QStringLiteral("F") << QStringLiteral("ca\r\nold");
    }
    void filterModes()
    {
        QFETCH(QString, mode);
        QFETCH(QString, pane);
        host().mode = mode;
        host().pane = QStringLiteral("old");
        m_rig->sender.SendCMD(QStringLiteral("HOME"));
        m_rig->processor.processResponse(QStringLiteral("a\r\nb Not Ack\r\nc\r\n"));
        QCOMPARE(host().pane, pane);
        QCOMPARE(host().log, QStringList({QStringLiteral("a"), QStringLiteral("b Not Ack"), QStringLiteral("c")}));
    }

    void reportsStoredInTheUnitSection_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("key");
        QTest::newRow("identification") << QStringLiteral("ID:V2.1 SN 0077") << QStringLiteral("INIT");
        QTest::newRow("homing") << QStringLiteral("l1l2: 340 / 512") << QStringLiteral("HOME");
    }
    void reportsStoredInTheUnitSection()
    {
        QFETCH(QString, message);
        QFETCH(QString, key);
        m_rig->processor.processResponse(QStringLiteral("x\t102\t") + message + QStringLiteral("\tmore\r\n"));
        mSettings::BuildIniPaths();
        QCOMPARE(mSettings::ReadIni(mSettings::IniFile, QStringLiteral("UNIT3"), key, QStringLiteral("none"), false),
                 message);
        QCOMPARE(unit(3).state, 49152);
    }

    void unknownIdentifierTouchesNoUnit_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("not registered") << QStringLiteral("999");
        QTest::newRow("registered ones as its prefix") << QStringLiteral("1000");
        QTest::newRow("too large for any unit") << QStringLiteral("1e400");
        QTest::newRow("negative zero") << QStringLiteral("-0");
        QTest::newRow("not a number") << QStringLiteral("nan");
        QTest::newRow("empty") << QString();
        QTest::newRow("beyond 32 bits") << QStringLiteral("99999999999");
    }
    void unknownIdentifierTouchesNoUnit()
    {
        QFETCH(QString, id);
        // A known unit answers first: its number must not carry over to the next line.
        const QString batch = QStringLiteral("x\t7\t[c](4)\r\nx\t") + id + QStringLiteral("\t[F] !!!\t5\r\ny\t") + id
            + QStringLiteral("\t[C]<-3\r\n");
        m_rig->processor.processResponse(batch);
        QCOMPARE(unit(5).c3, QStringLiteral("Count : 4"));
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
            unit(n).c3 = QStringLiteral("Count : 1");
        // The controller keeps talking while the unit stops.
        int drainSleep = 0;
        m_rig->platform.onSleep = [&](int) {
            if (++drainSleep == 1)
                m_rig->peer->send("\t[F]\t9\r\nd\tdrained\r\ne par");
            if (drainSleep == 3)
                m_rig->peer->send("tial");
        };
        m_rig->peer->send("a\t101\t[F]!!!\t5\r\nb\t102\t[c](3)\r\nc\t10");
        tick();

        QVERIFY(m_rig->peer->waitReceived("\r\n"));
        QCOMPARE(m_rig->peer->received(), QByteArray(">S,101,0\r\n"));
        QCOMPARE(host().statuses,
                 QStringList({QStringLiteral("Sending Command STOP to UNIT 2 - Pls Wait !"),
                              QStringLiteral("STUCK STONE ERROR- REMOVE MANUALLY")}));
        QCOMPARE(host().statusSecs, QList<int>({5, 10}));
        QCOMPARE(m_rig->platform.sleeps, QList<int>({100, 100, 100, 100, 100}));
        QCOMPARE(unit(2).state, 255);
        QCOMPARE(unit(2).c4, QStringLiteral("STUCK STN"));
        for (int n = 1; n <= 5; ++n) {
            QVERIFY(unit(n).c3.isEmpty());
            QCOMPARE(unit(n).state, n == 2 ? 255 : 4194304);
        }
        QCOMPARE(host().pane, QStringLiteral("\r\na\t101\t[F]!!!\t5\r\n"));
        // Nothing the controller said is missing from the log, in the order it came.
        QCOMPARE(host().log,
                 QStringList({QStringLiteral("a\t101\t[F]!!!\t5"), QStringLiteral("b\t102\t[c](3)"),
                              QStringLiteral("c\t10\t[F]\t9"), QStringLiteral("d\tdrained")}));
        // The line still arriving when the drain ended is handled whole at the next tick.
        tick();
        QCOMPARE(host().log.last(), QStringLiteral("e partial"));
        QVERIFY(host().pane.startsWith(QStringLiteral("e partial\r\n")));
    }

    void lineInPiecesIsHandledWhole_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("count split inside the number")
            << QList<QByteArray>{"x\t101\t[F]\t2", "5\r\n"} << QStringLiteral("Count: 25")
            << QStringList{QStringLiteral("x\t101\t[F]\t25")};
        QTest::newRow("split between CR and LF")
            << QList<QByteArray>{"x\t101\t[F]\t25\r", "\nnext\r\n"} << QStringLiteral("Count: 25")
            << QStringList{QStringLiteral("x\t101\t[F]\t25"), QStringLiteral("next")};
        QTest::newRow("three pieces, the last unterminated")
            << QList<QByteArray>{"x\t1", "01\t[c](1", "2)\r\nlast words"} << QStringLiteral("Count : 12")
            << QStringList{QStringLiteral("x\t101\t[c](12)"), QStringLiteral("last words")};
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
        QCOMPARE(unit(2).c3, QStringLiteral("Count: 3"));
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
        logged.removeIf([](const QString &entry) { return entry.startsWith(QStringLiteral("\r\n")); });
        QCOMPARE(logged.size(), linesOf(QString::fromLatin1(bytes)).size());
        QVERIFY(logged == linesOf(QString::fromLatin1(bytes)));
        QVERIFY(host().statuses.isEmpty()); // no unit number came out of the odd identifiers
    }

private:
    std::optional<LinkRig> m_rig;
};

QTEST_GUILESS_MAIN(tst_ResponseProcessor)
#include "tst_ResponseProcessor.moc"
