#include "LinkTestSupport.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_CommandSender : public QObject
{
    Q_OBJECT

private:
    QByteArray wire(int lines)
    {
        m_rig->peer->waitReceived("\r\n", lines);
        return m_rig->peer->received();
    }

private slots:
    void init()
    {
        m_rig.emplace(3, QStringList{u"101"_s, u"102"_s, u"103"_s, u"104"_s, u"105"_s});
        QVERIFY(m_rig->ok);
    }
    void cleanup() { m_rig.reset(); }

    void framing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("no comma gets two fillers") << u"HOME"_s << QByteArray(">HOME,0,0\r\n");
        QTest::newRow("one comma gets one filler") << u"HOME,101"_s << QByteArray(">HOME,101,0\r\n");
        QTest::newRow("framed already") << u">C,12,101"_s << QByteArray(">C,12,101\r\n");
        QTest::newRow("lead only") << u">HOME"_s << QByteArray(">HOME,0,0\r\n");
        QTest::newRow("empty text") << QString() << QByteArray(">,0,0\r\n");
        QTest::newRow("empty fields") << u",,"_s << QByteArray(">,,\r\n");
    }
    void framing()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        m_rig->sender.SendCMD(text);
        QCOMPARE(wire(1), line);
    }

    // Lines to several units are spaced on the wire so the controller can take each one.
    void operatorTextToCheckedUnits_data()
    {
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no unit checked") << QList<int>{} << QByteArray::fromHex("3E484F4D452C302C300D0A");
        QTest::newRow("units 5, 3 and 1 checked")
            << QList<int>{5, 3, 1} << QByteArray(">HOME,101,0\r\n>HOME,103,0\r\n>HOME,105,0\r\n");
        QTest::newRow("all units panel too") << QList<int>{1, 0, 3} << QByteArray(">HOME,0,0\r\n");
    }
    void operatorTextToCheckedUnits()
    {
        QFETCH(QList<int>, checked);
        QFETCH(QByteArray, bytes);
        m_rig->platform.realSleep = true;
        for (int n : checked)
            m_rig->unit(n).checked = true;
        m_rig->sender.SendCMDtoSelected(u"HOME"_s);
        const int lines = int(bytes.count("\r\n"));
        QCOMPARE(wire(lines), bytes);
        QCOMPARE(m_rig->platform.sleeps, lines > 1 ? QList<int>(lines, 200) : QList<int>{});
        for (int i = 1; i < lines; ++i) {
            const qint64 gap = m_rig->peer->lineTime(i) - m_rig->peer->lineTime(i - 1);
            QVERIFY2(gap >= 180 && gap < 1000, qPrintable(QString::number(gap)));
        }
    }

    void internalCommands_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("home button of unit 2") << u"HOME"_s << 2 << u"Sending Command HOME to UNIT 2 - Pls Wait !"_s
                                               << QByteArray::fromHex("3E482C3130322C300D0A");
        QTest::newRow("home button of all units")
            << u"HOME"_s << 0 << u"Sending Command HOME to all UNITS - Pls Wait !"_s << QByteArray(">H,0,0\r\n");
        QTest::newRow("missing from the catalogue")
            << u"Flush"_s << 2 << u"Sending Command Flush to UNIT 2 - Pls Wait !"_s << QByteArray(">,102,0\r\n");
        QTest::newRow("stored as a dash")
            << u"Id"_s << 5 << u"Sending Command Id to UNIT 5 - Pls Wait !"_s << QByteArray(">,105,0\r\n");
        QTest::newRow("catalogue text with a comma")
            << u"Save Settings"_s << 1 << u"Sending Command Save Settings to UNIT 1 - Pls Wait !"_s
            << QByteArray(">SV,9,101\r\n");
    }
    void internalCommands()
    {
        QFETCH(QString, name);
        QFETCH(int, index);
        QFETCH(QString, status);
        QFETCH(QByteArray, bytes);
        m_rig->sender.SendCMD(m_rig->sender.CreateCMD(name, index));
        QCOMPARE(m_rig->host.statuses, QStringList{status});
        QCOMPARE(m_rig->host.statusSecs, QList<int>{5});
        QCOMPARE(wire(1), bytes);
        mSettings::BuildIniPaths();
        QFile catalogue(mSettings::IniFile2);
        QVERIFY(catalogue.open(QIODevice::ReadOnly));
        QVERIFY(!catalogue.readAll().contains("Flush")); // a missing name is not written back
    }

    void everySendResetsThePanelsAndOpensAPaneLine_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("report");
        QTest::newRow("port open") << 0 << QByteArray(">HOME,104,0\r\n") << QStringList();
        QTest::newRow("port closed is opened first") << 3 << QByteArray(">HOME,104,0\r\n") << QStringList();
        QTest::newRow("port missing: said on the status line and in the log")
            << 9 << QByteArray() << QStringList{u"Not sent: >HOME,104,0"_s};
    }
    void everySendResetsThePanelsAndOpensAPaneLine()
    {
        QFETCH(int, port);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, report);
        if (port) {
            m_rig->comm.setPortOpen(false);
            m_rig->comm.setCommPort(port);
        }
        for (int n = 1; n <= 5; ++n) {
            m_rig->unit(n).state = 49152;
            m_rig->unit(n).c3 = u"Count: 25"_s;
            m_rig->unit(n).c4 = u"STUCK STN"_s;
        }
        m_rig->unit(0).c3 = u"untouched"_s;
        m_rig->host.pane = u"older answers"_s;
        QCOMPARE(m_rig->sender.SendCMD(u"HOME,104"_s), report.isEmpty());
        for (int n = 1; n <= 5; ++n) {
            QCOMPARE(m_rig->unit(n).state, 4194304);
            QVERIFY(m_rig->unit(n).c3.isEmpty() && m_rig->unit(n).c4.isEmpty());
        }
        QCOMPARE(m_rig->unit(0).c3, u"untouched"_s);
        QCOMPARE(m_rig->host.pane, u"\r\nolder answers"_s);
        QCOMPARE(m_rig->host.log, report);
        QCOMPARE(m_rig->host.statuses, report);
        QCOMPARE(m_rig->comm.PortOpen(), !bytes.isEmpty());
        if (bytes.isEmpty())
            QTest::qWait(50);
        QCOMPARE(bytes.isEmpty() ? m_rig->peer->received() : wire(1), bytes);
    }

    void historyNewestFirstWithoutTheLead()
    {
        CommandSender &sender = m_rig->sender;
        sender.SendCMD(u"HOME"_s);
        sender.SendCMD(u">C,12,101"_s, true); // a dispense line stays out
        sender.SendCMD(u">X,1"_s);
        QCOMPARE(sender.history(), QStringList({u"X,1,0"_s, u"HOME,0,0"_s}));
        for (int i = 0; i < CommandSender::MaxHistory + 10; ++i)
            sender.SendCMD(QString::number(i));
        QCOMPARE(sender.history().size(), CommandSender::MaxHistory);
        QCOMPARE(sender.history().first(), QString::number(CommandSender::MaxHistory + 9) + u",0,0"_s);
    }

private:
    std::optional<LinkRig> m_rig;
};

QTEST_GUILESS_MAIN(tst_CommandSender)
#include "tst_CommandSender.moc"
