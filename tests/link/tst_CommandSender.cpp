#include "Comm1.h"
#include "CommandSender.h"
#include "LinkTestSupport.h"
#include "PortFolder.h"
#include "mSettings.h"

#include <QTemporaryDir>
#include <QTest>

class tst_CommandSender : public QObject
{
    Q_OBJECT

private:
    // Checks panels (0 = "All Units") and sends HOME as the console's command entry does.
    void check(const QList<int> &panels)
    {
        for (int n : panels)
            m_host->unit(n).checked = true;
    }
    QByteArray wire(int lines)
    {
        m_peer->waitReceived("\r\n", lines);
        return m_peer->received();
    }

private slots:
    void init()
    {
        m_dir.emplace();
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        const QString section = QStringLiteral("Internal Commands");
        mSettings::WriteIni(mSettings::IniFile2, section, QStringLiteral("HOME"), QStringLiteral("H"));
        mSettings::WriteIni(mSettings::IniFile2, section, QStringLiteral("Id"), QStringLiteral("-"));
        mSettings::WriteIni(mSettings::IniFile2, section, QStringLiteral("Save Settings"), QStringLiteral("SV,9"));
        mSettings::resetPaths(); // the sender must find the catalogue by itself

        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_host.emplace(*m_platform);
        m_host->setUids({QStringLiteral("101"), QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("104"),
                         QStringLiteral("105")});
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->linkAs(m_dir->path(), 3));
        m_ports = std::make_unique<PortFolder>(m_dir->path(), noSerialDevices());
        m_comm = std::make_unique<Comm1>(*m_ports);
        m_comm->setCommPort(3);
        QVERIFY(m_comm->setPortOpen(true));
        m_sender = std::make_unique<CommandSender>(*m_host, *m_comm);
    }
    void cleanup()
    {
        m_sender.reset();
        m_comm.reset();
        m_peer.reset();
    }

    void framing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("no comma gets two fillers") << QStringLiteral("HOME") << QStringLiteral(">HOME,0,0");
        QTest::newRow("one comma gets one filler") << QStringLiteral("HOME,101") << QStringLiteral(">HOME,101,0");
        QTest::newRow("framed already") << QStringLiteral(">C,12,101") << QStringLiteral(">C,12,101");
        QTest::newRow("lead only") << QStringLiteral(">HOME") << QStringLiteral(">HOME,0,0");
        QTest::newRow("empty text") << QString() << QStringLiteral(">,0,0");
        QTest::newRow("empty fields") << QStringLiteral(",,") << QStringLiteral(">,,");
    }
    void framing()
    {
        QFETCH(QString, text);
        QFETCH(QString, line);
        m_sender->SendCMD(text);
        QCOMPARE(wire(1), line.toLatin1() + "\r\n");
    }

    void operatorTextToCheckedUnits_data()
    {
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<int>>("pauses");
        QTest::newRow("no unit checked") << QList<int>{} << QByteArray::fromHex("3E484F4D452C302C300D0A")
                                         << QList<int>{};
        QTest::newRow("units 3 and 1 checked")
            << QList<int>{3, 1} << QByteArray(">HOME,101,0\r\n>HOME,103,0\r\n") << QList<int>{200, 200};
        QTest::newRow("all units panel too") << QList<int>{1, 0, 3} << QByteArray(">HOME,0,0\r\n") << QList<int>{};
    }
    void operatorTextToCheckedUnits()
    {
        QFETCH(QList<int>, checked);
        QFETCH(QByteArray, bytes);
        QFETCH(QList<int>, pauses);
        check(checked);
        m_sender->SendCMDtoSelected(QStringLiteral("HOME"));
        QCOMPARE(wire(int(bytes.count("\r\n"))), bytes);
        QCOMPARE(m_platform->sleeps, pauses);
    }

    void linesToSeveralUnitsAreSpacedOnTheWire()
    {
        m_platform->realSleep = true;
        check({1, 3, 5});
        m_sender->SendCMDtoSelected(QStringLiteral("HOME"));
        QCOMPARE(wire(3), QByteArray(">HOME,101,0\r\n>HOME,103,0\r\n>HOME,105,0\r\n"));
        for (int i = 1; i < 3; ++i) {
            const qint64 gap = m_peer->lineTime(i) - m_peer->lineTime(i - 1);
            QVERIFY2(gap >= 180 && gap < 1000, qPrintable(QString::number(gap)));
        }
    }

    void internalCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("home button of unit 2")
            << QStringLiteral("HOME") << 2 << QStringLiteral("Sending Command HOME to UNIT 2 - Pls Wait !")
            << QByteArray::fromHex("3E482C3130322C300D0A");
        QTest::newRow("home button of all units")
            << QStringLiteral("HOME") << 0 << QStringLiteral("Sending Command HOME to all UNITS - Pls Wait !")
            << QByteArray(">H,0,0\r\n");
        QTest::newRow("missing from the catalogue")
            << QStringLiteral("Flush") << 2 << QStringLiteral("Sending Command Flush to UNIT 2 - Pls Wait !")
            << QByteArray(">,102,0\r\n");
        QTest::newRow("stored as a dash")
            << QStringLiteral("Id") << 5 << QStringLiteral("Sending Command Id to UNIT 5 - Pls Wait !")
            << QByteArray(">,105,0\r\n");
        QTest::newRow("catalogue text with a comma")
            << QStringLiteral("Save Settings") << 1
            << QStringLiteral("Sending Command Save Settings to UNIT 1 - Pls Wait !") << QByteArray(">SV,9,101\r\n");
    }
    void internalCommands()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QFETCH(QString, status);
        QFETCH(QByteArray, bytes);
        m_sender->SendCMD(m_sender->CreateCMD(name, index));
        QCOMPARE(m_host->statuses, QStringList{status});
        QCOMPARE(m_host->statusSecs, QList<int>{5});
        QCOMPARE(wire(1), bytes);
        // A missing name is not written back into the catalogue.
        mSettings::BuildIniPaths();
        QFile catalogue(mSettings::IniFile2);
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        QVERIFY(!catalogue.readAll().contains("Flush"));
    }

    void everySendResetsThePanelsAndOpensAPaneLine()
    {
        for (int n = 1; n <= 5; ++n) {
            m_host->unit(n).state = 49152;
            m_host->unit(n).c3 = QStringLiteral("Count: 25");
            m_host->unit(n).c4 = QStringLiteral("STUCK STN");
        }
        m_host->unit(0).c3 = QStringLiteral("untouched");
        m_host->pane = QStringLiteral("older answers");
        m_sender->SendCMD(QStringLiteral("HOME,104"));
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(m_host->unit(n).state, 4194304);
            QVERIFY(m_host->unit(n).c3.isEmpty());
            QVERIFY(m_host->unit(n).c4.isEmpty());
        }
        QCOMPARE(m_host->unit(0).c3, QStringLiteral("untouched"));
        QCOMPARE(m_host->pane, QStringLiteral("\r\nolder answers"));
        QVERIFY(m_host->log.isEmpty());
    }

    void closedPortIsOpenedFirst()
    {
        m_comm->setPortOpen(false);
        m_sender->SendCMD(QStringLiteral("HOME"));
        QVERIFY(m_comm->PortOpen());
        QCOMPARE(m_platform->doEventsCalls, 1);
        QCOMPARE(wire(1), QByteArray(">HOME,0,0\r\n"));
    }

    void missingPortStillResetsThePanels()
    {
        m_comm->setPortOpen(false);
        m_comm->setCommPort(9);
        m_host->unit(2).state = 255;
        m_sender->SendCMD(QStringLiteral("HOME"));
        QVERIFY(!m_comm->PortOpen());
        QCOMPARE(m_host->unit(2).state, 4194304);
        QCOMPARE(m_host->pane, QStringLiteral("\r\n"));
        QTest::qWait(50);
        QVERIFY(m_peer->received().isEmpty());
    }

    void historyNewestFirstWithoutTheLead()
    {
        m_sender->SendCMD(QStringLiteral("HOME"));
        m_sender->SendCMD(QStringLiteral(">C,12,101"), true); // a dispense line stays out
        m_sender->SendCMD(QStringLiteral(">X,1"));
        QCOMPARE(m_sender->history(), QStringList({QStringLiteral("X,1,0"), QStringLiteral("HOME,0,0")}));
        for (int i = 0; i < CommandSender::MaxHistory + 10; ++i)
            m_sender->SendCMD(QString::number(i));
        QCOMPARE(m_sender->history().size(), CommandSender::MaxHistory);
        QCOMPARE(m_sender->history().first(), QString::number(CommandSender::MaxHistory + 9) + QStringLiteral(",0,0"));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<TestPlatform> m_platform;
    std::optional<TestHost> m_host;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<CommandSender> m_sender;
};

QTEST_GUILESS_MAIN(tst_CommandSender)
#include "tst_CommandSender.moc"
