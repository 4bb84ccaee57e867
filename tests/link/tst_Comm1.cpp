#include "Comm1.h"
#include "LinkTestSupport.h"
#include "PortFolder.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

class tst_Comm1 : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->isValid());
        QVERIFY(m_peer->linkAs(m_dir.path(), 5));
        m_ports = std::make_unique<PortFolder>(m_dir.path(), noSerialDevices());
        m_comm = std::make_unique<Comm1>(*m_ports);
        QVERIFY(m_comm->setCommPort(5));
    }
    void cleanup()
    {
        m_comm.reset();
        m_peer.reset();
    }

    void opensTheLinkedDeviceItself()
    {
        QCOMPARE(m_ports->devicePath(5), QFileInfo(m_peer->slaveName()).canonicalFilePath());
        QVERIFY(m_comm->setPortOpen(true));
        QVERIFY(m_comm->PortOpen());
        QVERIFY(m_comm->setPortOpen(true)); // opening an open port is no error
    }

    void portNumberRefusedWhileOpen()
    {
        QVERIFY(m_comm->setPortOpen(true));
        QVERIFY(!m_comm->setCommPort(6));
        QCOMPARE(m_comm->CommPort(), 5);
        m_comm->setPortOpen(false);
        QVERIFY(!m_comm->setCommPort(0));
        QVERIFY(!m_comm->setCommPort(40000));
        QVERIFY(m_comm->setCommPort(6));
        QVERIFY(!m_comm->setPortOpen(true)); // nothing linked as port 6
        QVERIFY(!m_comm->PortOpen());
    }

    void writesTheEightBitCodePage()
    {
        QVERIFY(m_comm->setPortOpen(true));
        QVERIFY(m_comm->Output(QStringLiteral(">H\u00e9,1,0\r\n")));
        QVERIFY(m_peer->waitReceived("\r\n"));
        QCOMPARE(m_peer->received(), QByteArray(">H\xe9,1,0\r\n"));
    }

    void seesWhatArrivedDuringABlockingSleep()
    {
        QVERIFY(m_comm->setPortOpen(true));
        QCOMPARE(m_comm->InBufferCount(), 0);
        m_peer->send("x\t101\t[F]\t25\r\n");
        QThread::msleep(20); // no event loop runs
        QCOMPARE(m_comm->InBufferCount(), 14);
        bool ok = false;
        QCOMPARE(m_comm->Input(&ok), QStringLiteral("x\t101\t[F]\t25\r\n"));
        QVERIFY(ok);
        QCOMPARE(m_comm->InBufferCount(), 0);
    }

    void closedPortCannotBeRead()
    {
        QCOMPARE(m_comm->InBufferCount(), -1);
        bool ok = true;
        QVERIFY(m_comm->Input(&ok).isEmpty());
        QVERIFY(!ok);
        QVERIFY(!m_comm->Output(QStringLiteral("x")));
    }

    void vanishedDeviceIsAReadFailureAndKeepsWhatCame()
    {
        QVERIFY(m_comm->setPortOpen(true));
        m_peer->send("last words\r\n");
        // The event loop has taken the words into the port's buffer before the line went.
        QTRY_VERIFY(m_comm->InBufferCount() == 12);
        m_peer->hangUp();
        // The hangup must not keep the event loop busy, and what came before it is not lost.
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!m_comm->PortOpen()); // closed once the event loop ran
        QCOMPARE(m_comm->InBufferCount(), 12);
        bool ok = true;
        const QString text = m_comm->Input(&ok);
        QVERIFY(!ok);
        QCOMPARE(text, QStringLiteral("last words\r\n"));
        QCOMPARE(m_comm->InBufferCount(), -1);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
};

QTEST_GUILESS_MAIN(tst_Comm1)
#include "tst_Comm1.moc"
