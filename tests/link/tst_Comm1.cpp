#include "LinkTestSupport.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_Comm1 : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_rig.emplace(5);
        QVERIFY(m_rig->ok);
    }
    void cleanup() { m_rig.reset(); }

    void openAndPortNumber()
    {
        Comm1 &comm = m_rig->comm;
        QCOMPARE(m_rig->ports.devicePath(5), QFileInfo(m_rig->peer->slaveName()).canonicalFilePath());
        QVERIFY(comm.setPortOpen(true)); // opening an open port is no error
        QVERIFY(!comm.setCommPort(6));
        QCOMPARE(comm.CommPort(), 5);
        comm.setPortOpen(false);
        QCOMPARE(comm.InBufferCount(), -1);
        bool ok = true;
        QVERIFY(comm.Input(&ok).isEmpty());
        QVERIFY(!ok);
        QVERIFY(!comm.Output(u"x"_s));
        QVERIFY(!comm.setCommPort(0));
        QVERIFY(!comm.setCommPort(40000));
        QVERIFY(comm.setCommPort(6));
        QVERIFY(!comm.setPortOpen(true)); // nothing linked as port 6
        QVERIFY(!comm.PortOpen());
    }

    // Both ways in the eight-bit code page; what arrives is seen during a blocking sleep (no event loop runs).
    void bytesBothWays()
    {
        Comm1 &comm = m_rig->comm;
        QVERIFY(comm.Output(u">H\u00e9,1,0\r\n"_s));
        QVERIFY(m_rig->peer->waitReceived("\r\n"));
        QCOMPARE(m_rig->peer->received(), QByteArray(">H\xe9,1,0\r\n"));
        QCOMPARE(comm.InBufferCount(), 0);
        m_rig->peer->send("x\t101\t\xe9\r\n");
        QThread::msleep(20);
        QCOMPARE(comm.InBufferCount(), 9);
        bool ok = false;
        QCOMPARE(comm.Input(&ok), u"x\t101\t\u00e9\r\n"_s);
        QVERIFY(ok);
        QCOMPARE(comm.InBufferCount(), 0);
    }

    void vanishedDeviceIsAReadFailureAndKeepsWhatCame()
    {
        Comm1 &comm = m_rig->comm;
        m_rig->peer->send("last words\r\n");
        QTRY_VERIFY(comm.InBufferCount() == 12); // taken into the port's buffer before the line went
        m_rig->peer->hangUp();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QVERIFY(clock.elapsed() < 2000); // the hangup must not keep the event loop busy
        QVERIFY(!comm.PortOpen());
        QCOMPARE(comm.InBufferCount(), 12);
        bool ok = true;
        QCOMPARE(comm.Input(&ok), u"last words\r\n"_s);
        QVERIFY(!ok);
        QCOMPARE(comm.InBufferCount(), -1);
    }

private:
    std::optional<LinkRig> m_rig;
};

QTEST_GUILESS_MAIN(tst_Comm1)
#include "tst_Comm1.moc"
