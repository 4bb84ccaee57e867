#include "Csv.h"
#include "MarkedTranslator.h"
#include "TestFolder.h"
#include "records/RunJournal.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::StringLiterals;

// What goes out on the wire, and what comes in through the serial link underneath.
class tst_CommandSender : public QObject
{
    Q_OBJECT

    QByteArray wire(int lines) { return m_rig->peer.wire(lines); }

private slots:
    void init() { QVERIFY(m_rig.emplace().ok); }
    void cleanup() { m_rig.reset(); }

    // Lines to several units are spaced on the wire so the controller can take each one; checked units that
    // share a UID are one unit to the controller: one line. Stones counted from the console are a run of the
    // journal, one row per unit the line reaches.
    void operatorTextToCheckedUnits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QString>("uid3"); // unit 3's UID
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("rows"); // the journal's: unit,uid,asked,result
        const auto row = [](const char *name, const QString &text, const QList<int> &checked, const QString &uid3,
                            const QByteArray &bytes, const QStringList &rows = {}) {
            QTest::newRow(name) << text << checked << uid3 << bytes << rows;
        };
        const QString home = u"HOME"_s;
        row("no unit checked", home, {}, u"103"_s, ">HOME,0,0\r\n");
        row("units 5, 3 and 1 checked", home, {5, 3, 1}, u"103"_s, ">HOME,101,0\r\n>HOME,103,0\r\n>HOME,105,0\r\n");
        row("all units panel too", home, {1, 0, 3}, u"103"_s, ">HOME,0,0\r\n");
        row("units 1 and 3 share a UID", home, {5, 3, 1}, u"0101"_s, ">HOME,101,0\r\n>HOME,105,0\r\n");
        row("a count to every unit", u"c,10"_s, {}, u"0103"_s, ">c,10,0\r\n",
            {u"UNIT 1,101,10,no report"_s, u"UNIT 2,102,10,short"_s, u"UNIT 3,0103,10,no report"_s,
             u"UNIT 4,104,10,no report"_s, u"UNIT 5,105,10,no report"_s});
        row("a count to the checked units", u"C,7"_s, {4, 2}, u"0103"_s, ">C,7,102\r\n>C,7,104\r\n",
            {u"UNIT 2,102,7,complete"_s, u"UNIT 4,104,7,no report"_s});
        row("a count to a unit typed", u"C,3,0103"_s, {}, u"0103"_s, ">C,3,0103\r\n", {u"UNIT 3,0103,3,no report"_s});
        row("not a count", u"H,3"_s, {}, u"0103"_s, ">H,3,0\r\n");
    }
    void operatorTextToCheckedUnits()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, checked);
        QFETCH(QString, uid3);
        QFETCH(QByteArray, bytes);
        QByteArray written;
        RunJournal journal([&](const QByteArray &row, QDate) { return written += row, true; });
        m_rig->host.runs = &journal;
        m_rig->host.model(3).setUid(uid3);
        for (int n : checked)
            m_rig->host.model(n).setChecked(true);
        m_rig->sender.sendToChecked(text);
        const int lines = int(bytes.count("\r\n"));
        // One line at once, the next 200 ms later, and a pause after each before anything else goes out.
        for (qsizetype line = 1, end = 0; line <= lines; ++line) {
            end = bytes.indexOf("\r\n", end) + 2;
            QCOMPARE(wire(int(line)), bytes.first(end)); // nothing more before the clock moves on
            QCOMPARE(m_rig->sender.pacing(), lines > 1);
            m_rig->platform.advance(200);
        }
        QVERIFY(!m_rig->sender.pacing());
        m_rig->platform.settle();
        m_rig->processor.processResponse(u"0\t102\t[F]\t7\r\n"_s);
        journal.finish();
        QStringList rows;
        for (const QStringList &row : parseCsv(QString::fromUtf8(written)))
            rows << QStringList{row.at(2), row.at(3), row.at(4), row.at(7)}.join(u',')
                    + (row.at(1) == u"(console)"_s ? QString() : u" (booked elsewhere)"_s);
        QTEST(rows, "rows");
    }

    // The controller stops taking data: the line is reported not sent (in English to the log, in the
    // operator's language on the status line), and no byte of it arrives when the controller reads again;
    // the next line goes out exactly as framed: a line end sent on its own could complete a fragment that
    // left into a shorter command.
    void peerStopsReading()
    {
        const MarkedTranslator shopLanguage;
        m_rig->peer.stopReading();
        QVERIFY(!m_rig->sender.send(u"HOME,102"_s));
        QCOMPARE(m_rig->host.logged, QStringList{u"Not sent: >HOME,102,0"_s});
        QCOMPARE(m_rig->host.statuses.value(0), u"«Not sent: >HOME,102,0»"_s);
        m_rig->peer.resumeReading();
        QTest::qWait(20); // the receive tick would reopen the link now
        QVERIFY(m_rig->sender.send(u"ID,103"_s));
        QVERIFY(m_rig->peer.waitReceived(">ID,103,0\r\n"));
        QTest::qWait(30);
        QByteArray after = m_rig->peer.received();
        while (after.startsWith('Y'))
            after.remove(0, 1);
        QCOMPARE(after, ">ID,103,0\r\n");
        m_rig->host.model(2).setUid(u"x"_s);
        m_rig->sender.sendInternal(u"HOME"_s, 2);
        QCOMPARE(m_rig->host.statuses.last(), u"«%1 has no valid UID»"_s.arg(u"«UNIT 2»"_s));
    }

    // A UID is a whole number the controller can hold: a signed 32-bit one, from 1 up.
    void unitAddress_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<bool>("valid");
        for (const char *uid : {"1", "2147483647", "0002147483647"})
            QTest::addRow("'%s'", uid) << QString::fromLatin1(uid) << true;
        for (const char *uid : {"2147483648", "99999999999999999999", "0", "", "-5", "1e3"})
            QTest::addRow("'%s'", uid) << QString::fromLatin1(uid) << false;
    }
    void unitAddress()
    {
        QFETCH(QString, uid);
        QTEST(CommandSender::isUnitAddress(uid), "valid");
    }

    // A name missing from the catalogue goes out empty and is not written into the catalogue.
    void missingInternalCommand()
    {
        m_rig->sender.send(m_rig->sender.lineBody(u"Nope"_s, 2));
        QCOMPARE(m_rig->host.statuses, QStringList{u"Sending Command Nope to UNIT 2 - Pls Wait !"_s});
        QCOMPARE(wire(1), QByteArray(">,102,0\r\n"));
        QVERIFY(!m_rig->read(u"Vorn2.ini"_s).contains("Nope"));
    }

    // A line is framed to three fields, in the 8-bit code page. A closed port is opened first; a missing one
    // is said on the status line and in the log. Either way the panels are reset and the pane opens a line.
    void everySendResetsThePanelsAndOpensAPaneLine_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("line"); // empty: not sent
        QTest::newRow("port closed, one comma gets one filler") << 3 << u"HOME,104"_s << QByteArray(">HOME,104,0\r\n");
        QTest::newRow("empty text") << 3 << QString() << QByteArray(">,0,0\r\n");
        QTest::newRow("8-bit code page") << 3 << u"H\u00e9"_s << QByteArray(">H\xe9,0,0\r\n");
        QTest::newRow("port missing") << 9 << u"HOME,104"_s << QByteArray();
    }
    void everySendResetsThePanelsAndOpensAPaneLine()
    {
        QFETCH(int, port);
        QFETCH(QString, text);
        QFETCH(QByteArray, line);
        m_rig->comm.setPortOpen(false);
        QVERIFY(m_rig->comm.setCommPort(port));
        UnitModel &unit = m_rig->host.model(3);
        unit.setState(UnitState::Answering);
        unit.setCount(u"Count: 25"_s, 25);
        unit.setInfo(u"Short : 2"_s, 2);
        m_rig->host.pane = u"older answers"_s;
        QCOMPARE(m_rig->sender.send(text), !line.isEmpty());
        QVERIFY(unit.state() == UnitState::Idle && unit.countLine().isEmpty() && unit.infoLine().isEmpty());
        QVERIFY(!unit.count() && !unit.shortfall());
        QCOMPARE(m_rig->host.pane, u"\r\nolder answers"_s);
        const QStringList report = line.isEmpty() ? QStringList{u"Not sent: >HOME,104,0"_s} : QStringList();
        QCOMPARE(m_rig->host.logged, report);
        QCOMPARE(m_rig->host.statuses, report);
        QTest::qWait(30);
        QCOMPARE(m_rig->peer.received(), line);
    }

    // An unplugged adapter: what came before is still taken, the failure is seen, the loop stays free.
    void vanishedDeviceIsAReadFailureAndKeepsWhatCame()
    {
        Comm1 &comm = m_rig->comm;
        QVERIFY(!comm.setCommPort(6)); // not while open
        m_rig->peer.send("last words\r\n");
        QTRY_VERIFY(comm.InBufferCount() == 12);
        m_rig->peer.hangUp();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(!comm.PortOpen());
        bool ok = true;
        QCOMPARE(comm.Input(&ok), u"last words\r\n"_s);
        QVERIFY(!ok);
        QCOMPARE(comm.InBufferCount(), -1);
    }

private:
    std::optional<Rig> m_rig;
};

QTEST_GUILESS_MAIN(tst_CommandSender)
#include "tst_CommandSender.moc"
