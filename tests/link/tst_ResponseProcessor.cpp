#include "Comm1.h"
#include "CommandSender.h"
#include "LinkTestSupport.h"
#include "PortFolder.h"
#include "ResponseProcessor.h"
#include "mSettings.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// Units 1 to 5 are registered under UIDs 100, 101, 102, 10 and 7; the controller is a pseudo-terminal
// linked as port 5.
class tst_ResponseProcessor : public QObject
{
    Q_OBJECT

private:
    TestUnit &unit(int n) { return m_host->unit(n); }
    // The lines of a text as the log must hold them: cut at CR LF, empty lines left out.
    static QStringList linesOf(const QString &text)
    {
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeAll(QString());
        return lines;
    }
    // Feeds bytes through the receive step as the timer would, then one quiet tick.
    void feed(const QByteArray &bytes)
    {
        std::thread writer([&] { m_peer->writeAll(bytes); });
        qint64 taken = 0;
        const int quietTicksNeeded = 3;
        int quiet = 0;
        while (quiet < quietTicksNeeded) {
            const qsizetype before = m_host->log.size() + m_processor->heldTail().size();
            m_processor->receiveStep();
            QThread::msleep(5);
            quiet = (m_host->log.size() + m_processor->heldTail().size() == before) ? quiet + 1 : 0;
            ++taken;
        }
        writer.join();
        m_processor->receiveStep();
    }

private slots:
    void init()
    {
        m_dir.emplace();
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        mSettings::WriteIni(mSettings::IniFile2, QStringLiteral("Internal Commands"), QStringLiteral("STOP"),
                            QStringLiteral("S"));
        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_host.emplace(*m_platform);
        m_host->setUids({QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("102"), QStringLiteral("10"),
                         QStringLiteral("7")});
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->linkAs(m_dir->path(), 5));
        m_ports = std::make_unique<PortFolder>(m_dir->path(), noSerialDevices());
        m_comm = std::make_unique<Comm1>(*m_ports);
        m_comm->setCommPort(5);
        QVERIFY(m_comm->setPortOpen(true));
        m_sender = std::make_unique<CommandSender>(*m_host, *m_comm);
        m_processor = std::make_unique<ResponseProcessor>(*m_host, *m_comm, *m_sender);
    }
    void cleanup()
    {
        m_processor.reset();
        m_sender.reset();
        m_comm.reset();
        m_peer.reset();
    }

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
        m_processor->processResponse(line + QStringLiteral("\r\n"));
        QCOMPARE(this->unit(unit).c3, count);
        QCOMPARE(this->unit(unit).c4, info);
        QCOMPARE(m_host->log, QStringList{line});
        QCOMPARE(m_host->pane, line + QStringLiteral("\r\n"));
        QVERIFY(m_host->statuses.isEmpty());
        mSettings::BuildIniPaths();
        QVERIFY(!QFile::exists(mSettings::IniFile)); // no INIT or HOME written
    }

    void answeringUnitsTurnGreen()
    {
        m_processor->processResponse(QStringLiteral("x\t101\tok\r\n"));
        // UID 10 is a prefix of 101: both light up, as the controller's lines have always been matched.
        QList<qint32> states;
        for (int n = 1; n <= 5; ++n)
            states.append(unit(n).state);
        QCOMPARE(states, QList<qint32>({4194304, 49152, 4194304, 49152, 4194304}));
        QVERIFY(m_host->statusTimerStarts > 0);
    }

    void sentOkIsStampedAndNotInterpreted()
    {
        const QString line = QStringLiteral("x\t101\tsent ok\t[F]\t9");
        m_platform->virtualMs = (3 * 3600 + 7 * 60) * 1000; // 17:12
        m_processor->processResponse(line);
        QCOMPARE(m_host->log, QStringList({QStringLiteral("\r\n2024-07-26-17-12"), line}));
        QCOMPARE(m_host->pane, line + QStringLiteral("\r\n"));
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
        m_host->mode = mode;
        m_host->pane = QStringLiteral("old");
        m_sender->SendCMD(QStringLiteral("HOME"));
        m_processor->processResponse(QStringLiteral("a\r\nb Not Ack\r\nc\r\n"));
        QCOMPARE(m_host->pane, pane);
        QCOMPARE(m_host->log, QStringList({QStringLiteral("a"), QStringLiteral("b Not Ack"), QStringLiteral("c")}));
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
        m_processor->processResponse(QStringLiteral("x\t102\t") + message + QStringLiteral("\tmore\r\n"));
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
        const QString batch = QStringLiteral("x\t7\t[c](4)\r\n") + QStringLiteral("x\t") + id
            + QStringLiteral("\t[F] !!!\t5\r\ny\t") + id + QStringLiteral("\t[C]<-3\r\n");
        m_processor->processResponse(batch);
        QCOMPARE(unit(5).c3, QStringLiteral("Count : 4"));
        QVERIFY(unit(5).c4.isEmpty());
        for (int n : {1, 2, 3, 4})
            QCOMPARE(unit(n).state, 4194304);
        QCOMPARE(unit(0).c3, QString());
        QVERIFY(m_host->statuses.isEmpty());
        QCOMPARE(m_host->log, linesOf(batch));
        QTest::qWait(30);
        QVERIFY(m_peer->received().isEmpty()); // no STOP, to nobody
    }

    void stuckStoneStopsTheUnit()
    {
        for (int n = 1; n <= 5; ++n)
            unit(n).c3 = QStringLiteral("Count : 1");
        // The controller keeps talking while the unit stops.
        int drainSleep = 0;
        m_platform->onSleep = [&](int) {
            ++drainSleep;
            if (drainSleep == 1)
                m_peer->send("\t[F]\t9\r\nd\tdrained\r\ne par");
            if (drainSleep == 3)
                m_peer->send("tial");
        };
        m_peer->send("a\t101\t[F]!!!\t5\r\nb\t102\t[c](3)\r\nc\t10");
        m_processor->receiveStep();

        QVERIFY(m_peer->waitReceived("\r\n"));
        QCOMPARE(m_peer->received(), QByteArray(">S,101,0\r\n"));
        QCOMPARE(m_host->statuses,
                 QStringList({QStringLiteral("Sending Command STOP to UNIT 2 - Pls Wait !"),
                              QStringLiteral("STUCK STONE ERROR- REMOVE MANUALLY")}));
        QCOMPARE(m_host->statusSecs, QList<int>({5, 10}));
        QCOMPARE(m_platform->sleeps, QList<int>({100, 100, 100, 100, 100}));
        QCOMPARE(unit(2).state, 255);
        QCOMPARE(unit(2).c4, QStringLiteral("STUCK STN"));
        for (int n = 1; n <= 5; ++n)
            QVERIFY(unit(n).c3.isEmpty());
        for (int n : {1, 3, 4, 5})
            QCOMPARE(unit(n).state, 4194304);
        QCOMPARE(m_host->pane, QStringLiteral("\r\na\t101\t[F]!!!\t5\r\n"));
        // Nothing the controller said is missing from the log, in the order it came.
        QCOMPARE(m_host->log,
                 QStringList({QStringLiteral("a\t101\t[F]!!!\t5"), QStringLiteral("b\t102\t[c](3)"),
                              QStringLiteral("c\t10\t[F]\t9"), QStringLiteral("d\tdrained")}));
        // The line that was still arriving when the drain ended is handled whole at the next tick.
        m_processor->receiveStep();
        QCOMPARE(m_host->log.last(), QStringLiteral("e partial"));
        QVERIFY(m_host->pane.startsWith(QStringLiteral("e partial\r\n")));
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
            m_peer->send(piece);
            m_processor->receiveStep();
        }
        m_processor->receiveStep(); // a quiet tick
        QCOMPARE(unit(2).c3, count);
        QCOMPARE(m_host->log, log);
    }

    void unterminatedLineIsAtMostOneTickLate()
    {
        m_peer->send("x\t101\t[F]\t7");
        m_processor->receiveStep();
        QVERIFY(m_host->log.isEmpty());
        m_processor->receiveStep();
        QCOMPARE(m_host->log, QStringList{QStringLiteral("x\t101\t[F]\t7")});
        QCOMPARE(unit(2).c3, QStringLiteral("Count: 7"));
    }

    void closedPortIsReopenedByTheNextTick()
    {
        m_comm->setPortOpen(false);
        m_processor->receiveStep();
        QVERIFY(m_comm->PortOpen());
    }

    void vanishedPortIsReopenedOnceItIsBack()
    {
        m_peer->hangUp();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        m_processor->receiveStep();
        QVERIFY(!m_comm->PortOpen());
        m_processor->receiveStep(); // still gone: tried again, no harm
        QVERIFY(!m_comm->PortOpen());

        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->linkAs(m_dir->path(), 5));
        m_processor->receiveStep();
        QVERIFY(m_comm->PortOpen());
        m_peer->send("x\t101\t[F]\t3\r\n");
        m_processor->receiveStep();
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
        feed(bytes);
        QStringList expected = linesOf(QString::fromLatin1(bytes));
        QStringList logged = m_host->log;
        logged.removeIf([](const QString &entry) { return entry.startsWith(QStringLiteral("\r\n")); });
        QCOMPARE(logged.size(), expected.size());
        QVERIFY(logged == expected);
        QVERIFY(m_host->statuses.isEmpty()); // no unit number came out of the odd identifiers
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<TestPlatform> m_platform;
    std::optional<TestHost> m_host;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<CommandSender> m_sender;
    std::unique_ptr<ResponseProcessor> m_processor;
};

QTEST_GUILESS_MAIN(tst_ResponseProcessor)
#include "tst_ResponseProcessor.moc"
