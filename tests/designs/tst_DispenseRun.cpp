#include "DesignTestSupport.h"
#include "Comm1.h"
#include "CommandSender.h"
#include "DispenseRun.h"
#include "PortFolder.h"
#include "mSettings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_DispenseRun : public QObject
{
    Q_OBJECT

private:
    QByteArray wire(int lines)
    {
        m_peer->waitReceived("\r\n", lines);
        return m_peer->received();
    }
    void units(int count)
    {
        QStringList uids;
        for (int n = 1; n <= count; ++n)
            uids << QString::number(100 + n);
        m_host->setUnits(uids);
    }
    void setBoxes(const QStringList &texts)
    {
        for (int n = 1; n <= 10; ++n)
            m_host->box(n)->setText(texts.value(n - 1, u"0"_s));
    }

private slots:
    void init()
    {
        m_dir.emplace();
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        mSettings::WriteIni(mSettings::IniFile2, u"Internal Commands"_s, u"Count"_s, u"C"_s);

        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_window = std::make_unique<QWidget>();
        m_host.emplace(*m_platform, m_window.get());
        units(5);
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->linkAs(m_dir->path(), 3));
        m_ports = std::make_unique<PortFolder>(m_dir->path());
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
        m_window.reset();
    }

    void workedExample()
    {
        setBoxes({u"12"_s, u"0"_s, u"4"_s, u"abc"_s, u"-3"_s});
        for (int n = 1; n <= 5; ++n) {
            m_host->unit(n).c3 = u"Count: 9"_s;
            m_host->unit(n).c4 = u"Short : 1"_s;
            m_host->unit(n).checked = n == 2; // check marks play no part
        }
        // What was on the wire each time the run paused.
        QList<QByteArray> atPause;
        m_platform->onSleep = [&](int) { atPause << wire(int(atPause.size()) + 1); };
        DispenseRun::run(*m_host, *m_sender);

        const QByteArray first = QByteArray::fromHex("3E432C31322C3130310D0A"); // >C,12,101 CR LF
        QCOMPARE(wire(2), first + ">C,4,103\r\n");
        QCOMPARE(m_platform->sleeps, (QList<int>{200, 200}));
        QCOMPARE(atPause, (QList<QByteArray>{first, first + ">C,4,103\r\n"}));
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(m_host->unit(n).c3, QString());
            QCOMPARE(m_host->unit(n).c4, QString());
        }
        QCOMPARE(m_host->pane, u"\r\n\r\n"_s); // a fresh top line per line sent
        QVERIFY(m_sender->history().isEmpty()); // count lines stay out of the command history
        QCOMPARE(m_host->box(4)->text(), u"abc"_s); // the boxes are not changed
    }

    void countsAsRead_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("leading zeros") << u"007"_s << QByteArray(">C,7,101\r\n");
        QTest::newRow("trailing text") << u"12abc"_s << QByteArray(">C,12,101\r\n");
        QTest::newRow("blanks inside") << u" 1 2"_s << QByteArray(">C,12,101\r\n");
        QTest::newRow("a fraction goes as it is") << u"2.5"_s << QByteArray(">C,2.5,101\r\n");
    }
    void countsAsRead()
    {
        QFETCH(QString, box);
        QFETCH(QByteArray, line);
        setBoxes({box});
        DispenseRun::run(*m_host, *m_sender);
        QCOMPARE(wire(1), line);
    }

    void nothingPositiveSendsNothing_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("zero") << u"0"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("negative") << u"-3"_s;
        QTest::newRow("not a number") << u"x12"_s;
        QTest::newRow("too large to hold") << u"1e999"_s;
    }
    void nothingPositiveSendsNothing()
    {
        QFETCH(QString, box);
        setBoxes({box});
        m_host->unit(1).c3 = u"Count: 5"_s;
        DispenseRun::run(*m_host, *m_sender);
        QVERIFY(m_platform->sleeps.isEmpty());
        QVERIFY(m_host->pane.isEmpty());
        QCOMPARE(m_host->unit(1).c3, u"Count: 5"_s);
    }

    void unitsBeyondTheDesign_data()
    {
        QTest::addColumn<int>("noUnits");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("seven units dispense from boxes 6 and 7")
            << 7 << QByteArray(">C,1,101\r\n>C,6,106\r\n>C,7,107\r\n");
        QTest::newRow("three units ignore boxes 4 to 10") << 3 << QByteArray(">C,1,101\r\n");
        QTest::newRow("units above 10 have no box") << 12 << QByteArray(">C,1,101\r\n>C,6,106\r\n>C,7,107\r\n>C,10,110\r\n");
    }
    void unitsBeyondTheDesign()
    {
        QFETCH(int, noUnits);
        QFETCH(QByteArray, lines);
        units(noUnits);
        setBoxes({u"1"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"6"_s, u"7"_s, u"0"_s, u"0"_s, u"10"_s});
        DispenseRun::run(*m_host, *m_sender);
        QCOMPARE(wire(int(lines.count("\r\n"))), lines);
        QCOMPARE(m_platform->sleeps.size(), lines.count("\r\n"));
    }

    void missingCountEntryStillSends()
    {
        mSettings::DeleteIni(mSettings::IniFile2, u"Internal Commands"_s, u"Count"_s);
        setBoxes({u"12"_s});
        DispenseRun::run(*m_host, *m_sender);
        QCOMPARE(wire(1), QByteArray(">,12,101\r\n"));
    }

    void linesAreSpacedOnTheWire()
    {
        m_platform->realSleep = true;
        setBoxes({u"12"_s, u"0"_s, u"4"_s});
        DispenseRun::run(*m_host, *m_sender);
        QCOMPARE(wire(2), QByteArray(">C,12,101\r\n>C,4,103\r\n"));
        const qint64 gap = m_peer->lineTime(1) - m_peer->lineTime(0);
        QVERIFY2(gap >= 180, qPrintable(QString::number(gap))); // a busy machine only makes it longer
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<TestPlatform> m_platform;
    std::unique_ptr<QWidget> m_window;
    std::optional<BoxHost> m_host;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<CommandSender> m_sender;
};

QTEST_MAIN(tst_DispenseRun)
#include "tst_DispenseRun.moc"
