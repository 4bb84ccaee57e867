#include "LinkTestSupport.h"
#include "modMain.h"

#include <QTest>

using namespace Qt::StringLiterals;

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
        QTest::newRow("usb adapter") << u"USB Serial Device (COM4)"_s << 4;
        QTest::newRow("two digits") << u"Prolific USB-to-Serial Comm Port (COM12)"_s << 12;
        QTest::newRow("a word in other capitals") << u"Communications Port (COM1)"_s << 1;
        QTest::newRow("COM followed by a space") << u"Modem on COM 3"_s << 0;
        QTest::newRow("COM later followed by a space") << u"COM5 bridge COM 3"_s << 0;
        QTest::newRow("no number after COM") << u"COMPORT (COM9)"_s << 0;
        QTest::newRow("lower case com") << u"USB Serial Device (com4)"_s << 0;
        QTest::newRow("printer") << u"Printer Port (LPT1)"_s << 0;
        QTest::newRow("zero") << u"Odd (COM0)"_s << 0;
        QTest::newRow("huge") << u"Odd (COM99999999999)"_s << 0;
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
        QCOMPARE(findPort(u"7"_s), 7);
        QCOMPARE(modMain::FoundPort, 7);
        QCOMPARE(m_rig->platform.deviceListCalls, 0);
        QCOMPARE(c.peer.received(), QByteArray("DP>\n"));
        QVERIFY(m_rig->comm.PortOpen());
        QCOMPARE(m_rig->comm.CommPort(), 7);
        QCOMPARE(m_rig->platform.virtualMs, 150); // open, probe line, first read
    }

    void deviceListAfterTheConfiguredPort_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<int>("silentProbes");
        QTest::newRow("configured port silent") << u"7"_s << 1;
        QTest::newRow("configured as zero") << u"0"_s << 0;
        QTest::newRow("nothing configured") << QString() << 0;
        QTest::newRow("configured text not a number") << u"COM7"_s << 0;
        QTest::newRow("negative") << u"-7"_s << 0;
    }
    void deviceListAfterTheConfiguredPort()
    {
        QFETCH(QString, configured);
        QFETCH(int, silentProbes);
        Controller &silent = controller(7);
        Controller &answering = controller(4, greeting());
        m_rig->platform.devices = {u"Printer Port (LPT1)"_s, u"Modem on COM 3"_s, u"USB Serial Device (COM4)"_s};
        QCOMPARE(findPort(configured), 4);
        QCOMPARE(modMain::FoundPort, 4);
        QCOMPARE(silent.probes, silentProbes);
        QCOMPARE(answering.probes, 1);
        QVERIFY(silent.heard && answering.heard);
        // A silent port: 50 ms after opening, 50 after the probe line, 51 reads 50 ms apart.
        QCOMPARE(m_rig->platform.virtualMs, 2650 * silentProbes + 150);
    }

    void nothingAnswers()
    {
        Controller &silent = controller(7);
        Controller &skipped = controller(3, greeting());
        m_rig->platform.devices = {u"Modem on COM 3 (COM3)"_s, u"USB Serial Device (com3)"_s,
                                   u"USB Serial Device (COM7)"_s};
        QCOMPARE(findPort(u"7"_s), 0);
        QCOMPARE(modMain::FoundPort, 0);
        QCOMPARE(silent.peer.received(), QByteArray("DP>\nDP>\n")); // the configured port is in the list too
        QCOMPARE(skipped.peer.received(), QByteArray());
        QCOMPARE(m_rig->platform.virtualMs, 2 * 2650);
    }

    void searchNoLongerWantedEnds()
    {
        Controller &silent = controller(7);
        Controller &answering = controller(4, greeting());
        m_rig->platform.devices = {u"USB Serial Device (COM7)"_s, u"USB Serial Device (COM4)"_s};
        int asked = 0;
        // The window is closed while the first listed port is probed: the rest of the list is not walked.
        const auto stop = [&asked] { return ++asked > 1; };
        QCOMPARE(modMain::FindPort(m_rig->comm, m_rig->platform, u"0"_s, stop), 0);
        QCOMPARE(silent.probes, 1);
        QCOMPARE(answering.probes, 0);
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
        QCOMPARE(findPort(u"7"_s), 7);
        QVERIFY(sent);
        QVERIFY(m_rig->host.log.isEmpty());
    }

private:
    std::optional<LinkRig> m_rig;
    std::vector<std::unique_ptr<Controller>> m_controllers;
};

QTEST_GUILESS_MAIN(tst_modMain)
#include "tst_modMain.moc"
