#include "TestFolder.h"
#include "link/modMain.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using Script = QMap<int, QByteArray>;
const QByteArray Greeting = "Tessaloran Dispenser V2\r\n";
// port -> milliseconds after its probe line at which it greets; -1: silent; -2: greets from its second probe on
using Ports = QMap<int, int>;

class tst_modMain : public QObject
{
    Q_OBJECT

    PtyPeer &peer(int port, int greetAfterMs, bool linked = true)
    {
        auto &p = m_peers[port] = std::make_unique<PtyPeer>();
        if (linked)
            p->linkAs(m_rig->dir.path(), port);
        if (greetAfterMs >= 0 || greetAfterMs == -2)
            p->greetProbes(Greeting, qMax(0, greetAfterMs), greetAfterMs == -2 ? 1 : 0);
        return *p;
    }

private slots:
    void init() { m_rig.emplace(uidsFor(5), 0); }
    void cleanup() { m_rig.reset(), m_peers.clear(); }

    // One probe, its steps driven by the test: the scripted pieces arrive just before read number r.
    void greetingOnAProbe_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<Script>("script");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("kept"); // what the probe read, for the receive path
        QTest::newRow("split inside the product word")
            << true << Script{{2, "Tessa"}, {5, "lor"}, {9, "an V2\r\n"}} << true << 11 << u"Tessaloran V2\r\n"_s;
        QTest::newRow("lines before and after the greeting, in one read")
            << true << Script{{1, "1\t101\t[F]\t3\r\nTessaloran V2\r\n2\t102\t[F]!!!\t4\r\n"}} << true << 3
            << u"1\t101\t[F]\t3\r\nTessaloran V2\r\n2\t102\t[F]!!!\t4\r\n"_s;
        QTest::newRow("at the last read") << true << Script{{51, "Tessaloran"}} << true << 53 << u"Tessaloran"_s;
        QTest::newRow("only after the last read") << true << Script{{52, "Tessaloran"}} << false << 53 << QString();
        QTest::newRow("a port that does not open") << false << Script{} << false << 1 << QString();
    }
    void greetingOnAProbe()
    {
        QFETCH(bool, linked);
        QFETCH(Script, script);
        PtyPeer &peer = this->peer(6, -1, linked);
        modMain::ProbePort probe(m_rig->comm, 6);
        QSignalSpy done(&probe, &modMain::ProbePort::finished);
        probe.start(false);
        int step = 0;
        while (!probe.isDone() && ++step <= 60) {
            if (step == 2) // the pause after the probe line: it has reached the controller
                QVERIFY(peer.waitReceived("DP>\n"));
            if (script.contains(step - 2))
                peer.send(script.value(step - 2));
            probe.step();
        }
        QTEST(step, "steps");
        QCOMPARE(done.size(), 1);
        QTEST(probe.answered(), "found");
        QTEST(probe.received(), "kept");
        // The probe is its four bytes, nothing before them: a line end could complete a fragment the
        // controller holds into a command.
        QCOMPARE(peer.received(), linked ? QByteArray("DP>\n") : QByteArray());
    }

    // The whole search on timers. The ports are probed side by side, and the result is what a walk of the
    // list would give: the first port in list order that answered, whichever answered first. Everything
    // the port the search ends on said, during any of its probes, goes to the receive path once, in order.
    void search_data()
    {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<Ports>("ports");
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<int>("found");
        QTest::addColumn<int>("listProbes");
        QTest::addColumn<QByteArray>("said"); // by port 7 during its first probe
        const QStringList list{u"Printer Port (LPT1)"_s, u"Modem on COM 3 (COM9)"_s, u"USB Serial Device (COM3)"_s,
                               u"USB Serial Device (COM4)"_s, u"USB Serial Device (COM5)"_s};
        QTest::newRow("configured port answers: the list is not asked")
            << u"7"_s << Ports{{7, 0}, {3, 0}} << list << 7 << -1 << QByteArray();
        QTest::newRow("a later port answers sooner: the first in the list wins")
            << u"0"_s << Ports{{3, 1500}, {4, -1}, {5, 0}} << list << 3 << 3 << QByteArray();
        QTest::newRow("the first ports silent, the last two answer")
            << u"not a number"_s << Ports{{3, -1}, {4, 2000}, {5, 0}} << list << 4 << 3 << QByteArray();
        QTest::newRow("names that are no port skipped, a port listed twice probed once")
            << QString() << Ports{{4, 0}}
            << QStringList{u"COMPORT (COM4)"_s, u"X (com4)"_s, u"Odd (COM99999999999)"_s, u"A (COM4)"_s, u"B (COM4)"_s}
            << 4 << 1 << QByteArray();
        QTest::newRow("nothing answers: back on the configured port, what it said kept")
            << u"7"_s << Ports{{7, -1}, {3, -1}} << QStringList{u"X (COM3)"_s, u"Y (COM7)"_s} << 0 << 2
            << QByteArray("1\t101\t[F]\t5\r\n");
        QTest::newRow("the configured port greets only its second probe: a stuck stone said meanwhile kept")
            << u"7"_s << Ports{{7, -2}, {3, -1}} << QStringList{u"X (COM3)"_s, u"Y (COM7)"_s} << 7 << 2
            << QByteArray("1\t101\t[F] !!!\t5\r\n2\t102\t[F]");
    }
    void search()
    {
        QFETCH(QString, configured);
        QFETCH(Ports, ports);
        QFETCH(QStringList, devices);
        QFETCH(int, found);
        QFETCH(QByteArray, said);
        for (auto [port, ms] : ports.asKeyValueRange())
            peer(port, ms);
        m_rig->platform.devices = devices;
        m_rig->comm.setCommPort(7);

        modMain::FindPort search(m_rig->comm, m_rig->platform);
        QSignalSpy listed(&search, &modMain::FindPort::probingDeviceList);
        QSignalSpy finished(&search, &modMain::FindPort::finished);
        QTimer poll; // the receive poll ticks meanwhile, and must leave every greeting to the search
        connect(&poll, &QTimer::timeout, this, [this] { m_rig->processor.receiveStep(); });
        poll.start(20);
        QVERIFY(search.start(configured));
        QVERIFY(!search.start(configured));
        if (!said.isEmpty()) {
            QTRY_VERIFY(m_peers[7]->received().contains("DP>\n"));
            m_peers[7]->send(said);
        }
        QVERIFY(finished.wait(8000));
        QCOMPARE(finished.at(0).at(0).toInt(), found);
        QTEST(listed.isEmpty() ? -1 : listed.at(0).at(0).toInt(), "listProbes");
        QVERIFY(m_rig->host.logged.isEmpty());
        const modMain::FindPort::Received received = search.takeReceived();
        QCOMPARE(received.ended.join(QString()) + received.open,
                 QString::fromLatin1(said + (found ? Greeting : QByteArray())));
        m_rig->processor.hand(received.ended, received.open);
        if (said.contains("!!!")) // the stuck stone is acted upon: the unit is stopped
            QVERIFY(m_peers[7]->waitReceived(">S,101,0\r\n"));

        QCOMPARE(m_rig->comm.CommPort(), found ? found : 7); // a probed stranger hears nothing more
        QCOMPARE(m_rig->comm.PortOpen(), ports.contains(m_rig->comm.CommPort()));
        m_rig->sender.send(u"HOME"_s);
        if (m_rig->comm.PortOpen())
            QVERIFY(m_peers[m_rig->comm.CommPort()]->waitReceived(">HOME"));
        for (auto &[port, p] : m_peers)
            QCOMPARE(p->received().contains(">HOME"), port == m_rig->comm.CommPort());
    }

    void cancelClosesEveryProbe()
    {
        for (int port : {3, 4})
            peer(port, -1);
        m_rig->platform.devices = {u"A (COM3)"_s, u"B (COM4)"_s};
        modMain::FindPort search(m_rig->comm, m_rig->platform);
        QSignalSpy finished(&search, &modMain::FindPort::finished);
        QSignalSpy listed(&search, &modMain::FindPort::probingDeviceList);
        search.start(u"0"_s);
        QVERIFY(listed.wait(1000));
        search.cancel();
        QVERIFY(!search.isRunning());
        QTest::qWait(300);
        QVERIFY(finished.isEmpty());
        for (int port : {3, 4}) // both ports are free again: the link can open either
            QVERIFY((m_rig->comm.setPortOpen(false), m_rig->comm.setCommPort(port) && m_rig->comm.setPortOpen(true)));
    }

private:
    std::optional<Rig> m_rig;
    std::map<int, std::unique_ptr<PtyPeer>> m_peers;
};

QTEST_GUILESS_MAIN(tst_modMain)
#include "tst_modMain.moc"
