#include "LinkTestSupport.h"
#include "modMain.h"

#include <QTest>

using Script = QMap<int, QByteArray>;

// A controller on its own pseudo-terminal: once a probe line has come in on a fresh open of its port, it
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
    int probes = 0;
    bool heard = true; // every probe line came in before its pause was over

    void onSleep()
    {
        if (!m_comm.PortOpen() || m_comm.CommPort() != m_port)
            return;
        if (m_comm.openCount() != m_open) {
            m_open = m_comm.openCount();
            m_sleep = 0;
        }
        if (++m_sleep == 2) // the pause after the probe line
            heard = peer.waitReceived("DP>\n", ++probes) && heard;
        if (m_script.contains(m_sleep - 2))
            peer.send(m_script.value(m_sleep - 2));
    }

private:
    Comm1 &m_comm;
    int m_port;
    Script m_script;
    quint64 m_open = 0;
    int m_sleep = 0;
};

class tst_modMain : public QObject
{
    Q_OBJECT

private:
    Controller &controller(int port, Script script = {})
    {
        m_controllers.push_back(std::make_unique<Controller>(m_rig->comm, port, std::move(script)));
        m_controllers.back()->peer.linkAs(m_rig->dir.path(), port);
        return *m_controllers.back();
    }
    static Script greeting() { return {{1, "Tessaloran Dispenser V2\r\n"}}; }
    int findPort(const QString &configured) { return modMain::FindPort(m_rig->comm, m_rig->platform, configured); }

private slots:
    void init()
    {
        m_rig.emplace(0);
        m_rig->platform.onSleep = [this](int) {
            for (auto &c : m_controllers)
                c->onSleep();
        };
        modMain::FoundPort = -1;
    }
    void cleanup()
    {
        m_rig.reset();
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
        QCOMPARE(findPort(QStringLiteral("7")), 7);
        QCOMPARE(modMain::FoundPort, 7);
        QCOMPARE(m_rig->platform.deviceListCalls, 0);
        QCOMPARE(c.peer.received(), QByteArray("DP>\n"));
        QVERIFY(m_rig->comm.PortOpen());
        QCOMPARE(m_rig->comm.CommPort(), 7);
        QCOMPARE(m_rig->platform.virtualMs, 150); // open, probe line, first read
    }

    void deviceListAfterASilentConfiguredPort()
    {
        Controller &silent = controller(7);
        Controller &answering = controller(4, greeting());
        m_rig->platform.devices = {QStringLiteral("Printer Port (LPT1)"), QStringLiteral("Modem on COM 3"),
                                   QStringLiteral("USB Serial Device (COM4)")};
        QCOMPARE(findPort(QStringLiteral("7")), 4);
        QCOMPARE(modMain::FoundPort, 4);
        QCOMPARE(silent.probes, 1);
        QCOMPARE(answering.probes, 1);
        QVERIFY(silent.heard && answering.heard);
        // A silent port: 50 ms after opening, 50 after the probe line, 51 reads 50 ms apart.
        QCOMPARE(m_rig->platform.virtualMs, 2650 + 150);
    }

    void nothingAnswers()
    {
        Controller &silent = controller(7);
        Controller &skipped = controller(3, greeting());
        m_rig->platform.devices = {QStringLiteral("Modem on COM 3 (COM3)"), QStringLiteral("USB Serial Device (com3)"),
                                   QStringLiteral("USB Serial Device (COM7)")};
        QCOMPARE(findPort(QStringLiteral("7")), 0);
        QCOMPARE(modMain::FoundPort, 0);
        QCOMPARE(silent.peer.received(), QByteArray("DP>\nDP>\n")); // the configured port is in the list too
        QCOMPARE(skipped.peer.received(), QByteArray());
        QCOMPARE(m_rig->platform.virtualMs, 2 * 2650);
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
        m_rig->platform.devices = {QStringLiteral("USB Serial Device (COM2)")};
        QCOMPARE(findPort(configured), 2);
        QCOMPARE(c7.probes, 0);
        QCOMPARE(c2.probes, 1);
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
        QCOMPARE(modMain::ProbePort(m_rig->comm, m_rig->platform, 6), found);
        if (!found)
            QCOMPARE(m_rig->platform.virtualMs, 2650);
    }

    void missingPortCostsOnePause()
    {
        QVERIFY(!modMain::ProbePort(m_rig->comm, m_rig->platform, 9));
        QCOMPARE(m_rig->platform.sleeps, QList<int>({50}));
    }

    void receivePollDuringAProbeLeavesTheGreeting()
    {
        Controller &c = controller(7);
        // The greeting lands just before the probe lets the window's events, and so the poll, run.
        bool sent = false;
        m_rig->platform.onDoEvents = [&] {
            if (c.probes == 1 && !c.peer.received().isEmpty() && !sent) {
                c.peer.send("x\t100\tTessaloran V2\r\n");
                sent = true;
            }
            m_rig->processor.receiveStep();
        };
        QCOMPARE(findPort(QStringLiteral("7")), 7);
        QVERIFY(sent);
        QVERIFY(m_rig->host.log.isEmpty());
    }

private:
    std::optional<LinkRig> m_rig;
    std::vector<std::unique_ptr<Controller>> m_controllers;
};

QTEST_GUILESS_MAIN(tst_modMain)
#include "tst_modMain.moc"
