#include "../support/Simulator.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The built simulator, driven the way the console drives it: through the ports/COMn link of a program
// folder, opened as a serial port.
class tst_SimProcess : public QObject
{
    Q_OBJECT

private slots:
    // The split, garbage and flood modes are driven by the console's own end-to-end test.
    void answersProbeAndCommandsAndTracesInput()
    {
        QTemporaryDir dir;
        // A link left behind by a simulator that was killed outright.
        QVERIFY(QDir(dir.path()).mkpath(u"ports"_s));
        const QString stale = dir.filePath(u"ports/COM7"_s);
        QVERIFY(QFile::link(u"/dev/pts/no-such-device"_s, stale));
        Simulator sim(QStringLiteral(SIM_PATH));
        QVERIFY(sim.start(dir.path(), u"--stone-ms 20 --home-ms 20 --uids 102,101"_s.split(u' ')));
        QCOMPARE(sim.ready().value(1), QFileInfo(stale).absoluteFilePath());
        QCOMPARE(QFileInfo(stale).symLinkTarget(), sim.ready().value(3));

        QSerialPort port(stale);
        QVERIFY(port.open(QIODevice::ReadWrite));
        QByteArray got;
        const auto exchange = [&](const QByteArray &sent, const QByteArray &until) {
            got.clear();
            return port.write(sent) == sent.size()
                && QTest::qWaitFor([&] { return (got += port.readAll()).contains(until); }, 10000);
        };
        QVERIFY(exchange("DP>\n", "\r\n") && got.startsWith("Tessaloran"));
        QVERIFY(exchange(">HOME,102,0\r\n>COUNT,3,101\r\n", "\t101\t[F]\t3\r\n"));
        QCOMPARE(got,
                 QByteArray("1\t102\tSent OK\r\n2\t101\tSent OK\r\n3\t102\tL1L2:L1=1224 L2=2306\r\n"
                            "4\t101\t[c](1)\r\n5\t101\t[c](2)\r\n6\t101\t[F]\t3\r\n"));
        port.close();

        QVERIFY(sim.stop(SIGINT));
        QVERIFY(QDir(dir.filePath(u"ports"_s)).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
        QCOMPARE(sim.trace(), QByteArray("DP>\n>HOME,102,0\r\n>COUNT,3,101\r\n"));
    }
};

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_SimProcess.moc"
