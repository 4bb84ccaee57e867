#include "Comm1.h"
#include "CommandSender.h"
#include "LinkTestSupport.h"
#include "PortFolder.h"
#include "ResponseProcessor.h"
#include "modMain.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using Script = QMap<int, QByteArray>;

// Plays a controller on one pseudo-terminal: once a probe line has come in on a fresh open of its port, it
// writes the scripted pieces just before the probe's read number r (1 to 51) takes them.
class Controller
{
public:
    Controller(Comm1 &comm, int port, Script script)
        : m_comm(comm)
        , m_port(port)
        , m_script(std::move(script))
    {}
    PtyPeer peer;

    void onSleep()
    {
        if (!m_comm.PortOpen() || m_comm.CommPort() != m_port)
            return;
        if (m_comm.openCount() != m_open) {
            m_open = m_comm.openCount();
            m_sleep = 0;
        }
        ++m_sleep;
        if (m_sleep == 2) { // the pause after the probe line
            ++m_probes;
            m_heard = m_heard && peer.waitReceived("DP>\n", m_probes);
        }
        const int read = m_sleep - 2;
        if (m_script.contains(read))
            peer.send(m_script.value(read));
    }
    int probes() const { return m_probes; }
    // Every probe line came in before its pause was over.
    bool heard() const { return m_heard; }

private:
    Comm1 &m_comm;
    int m_port;
    QMap<int, QByteArray> m_script;
    quint64 m_open = 0;
    int m_sleep = 0;
    int m_probes = 0;
    bool m_heard = true;
};

class tst_modMain : public QObject
{
    Q_OBJECT

private:
    Controller &controller(int port, Script script = {})
    {
        m_controllers.push_back(std::make_unique<Controller>(*m_comm, port, std::move(script)));
        Controller &c = *m_controllers.back();
        c.peer.linkAs(m_dir->path(), port);
        return c;
    }
    static Script greeting() { return {{1, "Tessaloran Dispenser V2\r\n"}}; }

private slots:
    void init()
    {
        m_dir.emplace();
        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_ports = std::make_unique<PortFolder>(m_dir->path(), noSerialDevices());
        m_comm = std::make_unique<Comm1>(*m_ports);
        m_controllers.clear();
        m_platform->onSleep = [this](int) {
            for (auto &c : m_controllers)
                c->onSleep();
        };
        modMain::FoundPort = -1;
    }
    void cleanup()
    {
        m_comm.reset();
        m_controllers.clear();
    }

    void portNumberOfADeviceName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("port");
        QTest::newRow("usb adapter") << QStringLiteral("USB Serial Device (COM4)") << 4;
        QTest::newRow("two digits") << QStringLiteral("Prolific USB-to-Serial Comm Port (COM12)") << 12;
        QTest::newRow("a word in other capitals") << QStringLiteral("Communications Port (COM1)") << 1;
        QTest::newRow("COM followed by a space") << QStringLiteral("Modem on COM 3") << 0;
        QTest::newRow("COM later followed by a space") << QStringLiteral("COM5 bridge COM 3") << 0;
        QTest::newRow("no number after COM") << QStringLiteral("COMPORT (COM9)") << 0;
        QTest::newRow("lower case com") << QStringLiteral("USB Serial Device (com4)") << 0;
        QTest::newRow("printer") << QStringLiteral("Printer Port (LPT1)") << 0;
        QTest::newRow("zero") << QStringLiteral("Odd (COM0)") << 0;
        QTest::newRow("huge") << QStringLiteral("Odd (COM99999999999)") << 0;
    }
    void portNumberOfADeviceName()
    {
        QFETCH(QString, name);
        QFETCH(int, port);
        QCOMPARE(modMain::portNumberOf(name), port);
    }

    void configuredPortAnswers()
    {
        Controller &c = controller(7, greeting());
        QCOMPARE(modMain::FindPort(*m_comm, *m_platform, QStringLiteral("7")), 7);
        QCOMPARE(modMain::FoundPort, 7);
        QCOMPARE(m_platform->deviceListCalls, 0);
        QCOMPARE(c.peer.received(), QByteArray("DP>\n"));
        QVERIFY(m_comm->PortOpen());
        QCOMPARE(m_comm->CommPort(), 7);
        QCOMPARE(m_platform->virtualMs, 150); // open, probe line, first read
    }

    void deviceListAfterASilentConfiguredPort()
    {
        Controller &silent = controller(7);
        Controller &answering = controller(4, greeting());
        m_platform->devices = {QStringLiteral("Printer Port (LPT1)"), QStringLiteral("Modem on COM 3"),
                               QStringLiteral("USB Serial Device (COM4)")};
        QCOMPARE(modMain::FindPort(*m_comm, *m_platform, QStringLiteral("7")), 4);
        QCOMPARE(modMain::FoundPort, 4);
        QCOMPARE(silent.probes(), 1);
        QCOMPARE(answering.probes(), 1);
        QVERIFY(silent.heard() && answering.heard());
        // A silent port: 50 ms after opening, 50 after the probe line, 51 reads 50 ms apart.
        QCOMPARE(m_platform->virtualMs, 2650 + 150);
    }

    void configuredPortInTheListIsProbedAgain()
    {
        Controller &silent = controller(7);
        m_platform->devices = {QStringLiteral("USB Serial Device (COM7)")};
        QCOMPARE(modMain::FindPort(*m_comm, *m_platform, QStringLiteral("7")), 0);
        QCOMPARE(modMain::FoundPort, 0);
        QCOMPARE(silent.probes(), 2);
        QCOMPARE(silent.peer.received(), QByteArray("DP>\nDP>\n"));
    }

    void skippedNamesAreNeverProbed()
    {
        Controller &c = controller(3, greeting());
        m_platform->devices = {QStringLiteral("Modem on COM 3 (COM3)"), QStringLiteral("USB Serial Device (com3)")};
        QCOMPARE(modMain::FindPort(*m_comm, *m_platform, QString()), 0);
        QCOMPARE(c.peer.received(), QByteArray());
        QCOMPARE(m_platform->virtualMs, 0);
    }

    void configuredPortTextWithoutANumber_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::newRow("zero") << QStringLiteral("0");
        QTest::newRow("empty") << QString();
        QTest::newRow("not a number") << QStringLiteral("COM7");
        QTest::newRow("negative") << QStringLiteral("-7");
    }
    void configuredPortTextWithoutANumber()
    {
        QFETCH(QString, configured);
        Controller &c7 = controller(7, greeting());
        Controller &c2 = controller(2, greeting());
        m_platform->devices = {QStringLiteral("USB Serial Device (COM2)")};
        QCOMPARE(modMain::FindPort(*m_comm, *m_platform, configured), 2);
        QCOMPARE(c7.probes(), 0);
        QCOMPARE(c2.probes(), 1);
    }

    void greetingOnAProbe_data()
    {
        QTest::addColumn<Script>("script");
        QTest::addColumn<bool>("found");
        QTest::newRow("split inside the product word") << Script{{2, "Tessa"}, {5, "lor"}, {9, "an V2\r\n"}} << true;
        QTest::newRow("after other talk") << Script{{1, "noise\r\n"}, {3, "x Tessaloran"}} << true;
        QTest::newRow("all lower case") << Script{{1, "tessaloran V2\r\n"}} << false;
        QTest::newRow("all capitals") << Script{{1, "TESSALORAN V2\r\n"}} << false;
        QTest::newRow("at the last read") << Script{{51, "Tessaloran"}} << true;
        QTest::newRow("only after the last read") << Script{{52, "Tessaloran"}} << false;
    }
    void greetingOnAProbe()
    {
        QFETCH(Script, script);
        QFETCH(bool, found);
        controller(6, script);
        QCOMPARE(modMain::ProbePort(*m_comm, *m_platform, 6), found);
        if (!found)
            QCOMPARE(m_platform->virtualMs, 2650);
    }

    void missingPortCostsOnePause()
    {
        QVERIFY(!modMain::ProbePort(*m_comm, *m_platform, 9));
        QCOMPARE(m_platform->sleeps, QList<int>({50}));
    }

    void receivePollDuringAProbeLeavesTheGreeting()
    {
        Controller &c = controller(7);
        TestHost host(*m_platform);
        CommandSender sender(host, *m_comm);
        ResponseProcessor processor(host, *m_comm, sender);
        // The greeting lands just before the probe lets the window's events, and so the poll, run.
        m_platform->onDoEvents = [&] {
            if (c.probes() == 1 && !c.peer.received().isEmpty() && host.statusTimerStarts == 0) {
                c.peer.send("x\t100\tTessaloran V2\r\n");
                host.statusTimerStarts = -1;
            }
            processor.receiveStep();
        };
        QCOMPARE(modMain::FindPort(*m_comm, *m_platform, QStringLiteral("7")), 7);
        QCOMPARE(host.statusTimerStarts, -1);
        QVERIFY(host.log.isEmpty());
    }

    void silentPortTakesAboutTwoAndAHalfSeconds()
    {
        controller(8);
        m_platform->realSleep = true;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!modMain::ProbePort(*m_comm, *m_platform, 8));
        const qint64 took = clock.elapsed();
        QVERIFY2(took >= 2600 && took < 5000, qPrintable(QString::number(took)));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<TestPlatform> m_platform;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::vector<std::unique_ptr<Controller>> m_controllers;
};

QTEST_GUILESS_MAIN(tst_modMain)
#include "tst_modMain.moc"
