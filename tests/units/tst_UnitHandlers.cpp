#include "../designs/OperatorTestSupport.h"
#include "UnitHandlers.h"
#include "dUnit.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

using PanelSignal = void (dUnit::*)();
Q_DECLARE_METATYPE(PanelSignal)

class tst_UnitHandlers : public QObject
{
    Q_OBJECT

    QList<int> checked()
    {
        QList<int> on;
        for (int n = 0; n <= m_w->host.NoUnits(); ++n) {
            if (m_w->host.unit(n).checked)
                on << n;
        }
        return on;
    }

private slots:
    void init()
    {
        m_w.emplace(12); // units 11 and 12 have no count box
        QVERIFY(m_w->ready());
        writeFile(mSettings::IniFile2,
                  "[Internal Commands]\r\nId=I\r\nUPDATE=UPD\r\nHOME=H\r\n"
                  "Save Settings=SV\r\nFlush=FL\r\nSTOP=ST\r\n");
        m_handlers.emplace(m_w->host, m_w->sender);
    }
    void cleanup()
    {
        m_handlers.reset();
        m_w.reset();
    }

    void commandButtons_data()
    {
        QTest::addColumn<PanelSignal>("signal");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("Home from All Units goes to every unit") << &dUnit::Home << 0 << QByteArray(">H,0,0\r\n");
        QTest::newRow("Home on unit 2 goes to unit 2 only") << &dUnit::Home << 2 << QByteArray(">H,102,0\r\n");
        QTest::newRow("Id on unit 3") << &dUnit::Init << 3 << QByteArray(">I,103,0\r\n");
        QTest::newRow("Save on unit 1") << &dUnit::Save << 1 << QByteArray(">SV,101,0\r\n");
        QTest::newRow("Flush on unit 5") << &dUnit::Flush << 5 << QByteArray(">FL,105,0\r\n");
        QTest::newRow("Stop from All Units") << &dUnit::STOPall << 0 << QByteArray(">ST,0,0\r\n");
        QTest::newRow("Update on unit 4") << &dUnit::Update << 4 << QByteArray(">UPD,104,0\r\n");
    }
    void commandButtons()
    {
        QFETCH(PanelSignal, signal);
        QFETCH(int, index);
        QFETCH(QByteArray, line);
        // Through the panel's own signals, as the window connects them.
        dUnit panel;
        m_handlers->connectPanel(&panel, index);
        m_w->host.unit(1).c3 = u"Count: 9"_s;
        emit(panel.*signal)();
        QCOMPARE(m_w->wire(1), line);
        QCOMPARE(m_w->host.statuses.size(), 1); // "Sending Command ... - Pls Wait !"
        QCOMPARE(m_w->host.unit(1).c3, QString()); // every send clears the panels
        QCOMPARE(m_w->sender.history().value(0).toLatin1(), line.mid(1, line.size() - 3));
        QCOMPARE(m_w->platform.started.size(), signal == &dUnit::Update ? 1 : 0);
    }

    // A unit without an address of its own gets nothing: "0" and an empty UID would reach every unit.
    void unitWithoutAddressGetsNothing_data()
    {
        QTest::addColumn<PanelSignal>("signal");
        QTest::addColumn<QString>("uid");
        QTest::newRow("Home, UID 0") << &dUnit::Home << u"0"_s;
        QTest::newRow("Id, UID empty") << &dUnit::Init << QString();
        QTest::newRow("Stop, UID text") << &dUnit::STOPall << u"abc"_s;
        QTest::newRow("Update, UID negative: no script either") << &dUnit::Update << u"-4"_s;
    }
    void unitWithoutAddressGetsNothing()
    {
        QFETCH(PanelSignal, signal);
        QFETCH(QString, uid);
        dUnit panel;
        m_handlers->connectPanel(&panel, 4);
        m_w->host.unit(4).tag = uid;
        m_w->host.unit(4).checked = true;
        emit(panel.*signal)();
        m_w->sender.SendCMDtoSelected(u"X"_s); // the console skips it too
        QCOMPARE(m_w->host.statuses, QStringList(2, u"UNIT 4 has no valid UID"_s));
        QTest::qWait(30);
        QVERIFY(m_w->peer.received().isEmpty());
        QVERIFY(m_w->platform.started.isEmpty());
    }

    void updateStartsTheScriptAfterThePause()
    {
        QByteArray wireAtStart;
        QList<int> sleptAtStart;
        m_w->platform.onStart = [&] {
            wireAtStart = m_w->wire(1);
            sleptAtStart = m_w->platform.sleeps;
        };
        m_handlers->Update(2);
        QCOMPARE(wireAtStart, QByteArray(">UPD,102,0\r\n"));
        QCOMPARE(sleptAtStart, QList<int>{500});
#ifdef Q_OS_WIN
        const QString script = u"update.bat"_s;
#else
        const QString script = u"update.sh"_s;
#endif
        QCOMPARE(m_w->platform.started, QStringList{QDir::toNativeSeparators(m_w->dir.filePath(script))});
        // The script is missing: nothing is shown about it.
        QCOMPARE(m_w->host.statuses.size(), 1);
        QCOMPARE(m_w->host.pane, u"\r\n"_s);
        QVERIFY(m_w->host.log.isEmpty());
    }

    void report_data()
    {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("line"); // empty: nothing asked, shown or logged
        QTest::newRow("OK from All Units") << true << 0 << QString() << QString() << u">>LAST OK - UNIT0"_s;
        QTest::newRow("OK from unit 12, which has no count box")
            << true << 12 << QString() << QString() << u">>LAST OK - UNIT12"_s;
        QTest::newRow("not OK: asked 25, 24 entered")
            << false << 3 << u"25"_s << u"24"_s << u">>LAST NOT OK 3 - 25 - 24"_s;
        QTest::newRow("not OK: Cancel records 0") << false << 3 << u"25"_s << u""_s << u">>LAST NOT OK 3 - 25 - 0"_s;
        QTest::newRow("not OK: 12.5 rounds down to even")
            << false << 3 << u"25"_s << u"12.5"_s << u">>LAST NOT OK 3 - 25 - 12"_s;
        QTest::newRow("not OK: 13.5 rounds up to even")
            << false << 3 << u"25"_s << u"13.5"_s << u">>LAST NOT OK 3 - 25 - 14"_s;
        QTest::newRow("not OK: blanks around the number")
            << false << 3 << u"25"_s << u" 7 "_s << u">>LAST NOT OK 3 - 25 - 7"_s;
        QTest::newRow("not OK: number with trailing text")
            << false << 2 << u"25"_s << u"12abc"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("not OK: beyond 32 bits")
            << false << 2 << u"25"_s << u"3000000000"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("not OK: box text recorded as it stands")
            << false << 4 << u" 025x"_s << u"2"_s << u">>LAST NOT OK 4 -  025x - 2"_s;
        QTest::newRow("not OK from All Units offers box 0")
            << false << 0 << u"7"_s << u"6"_s << u">>LAST NOT OK 0 - 7 - 6"_s;
        QTest::newRow("not OK on unit 11, which has no count box, does nothing")
            << false << 11 << QString() << u"3"_s << QString();
    }
    void report()
    {
        QFETCH(bool, ok);
        QFETCH(int, index);
        QFETCH(QString, box);
        QFETCH(QString, answer);
        QFETCH(QString, line);
        if (!box.isNull())
            m_w->host.box(index)->setText(box);
        m_w->platform.answer = answer;
        m_w->host.pane = u"earlier\r\n"_s;
        if (ok)
            m_handlers->ReportOK(index);
        else
            m_handlers->ReportNotOK(index);
        const QStringList prompt = {u"Enter Actual Count for Error"_s, u"Logging Error"_s, box};
        QCOMPARE(m_w->platform.asked, !ok && !line.isEmpty() ? prompt : QStringList());
        QCOMPARE(m_w->host.pane, line.isEmpty() ? u"earlier\r\n"_s : line + u"\r\nearlier\r\n"_s);
        QCOMPARE(m_w->host.log, line.isEmpty() ? QStringList() : QStringList{line});
    }

    void selectionSequence()
    {
        // Double-clicks on panel names, and the panels checked after each.
        const QList<std::pair<int, QList<int>>> steps = {
            {2, {2}}, {0, {0}}, {4, {4}}, {4, {}}, {1, {1}}, {3, {1, 3}}, {3, {1}}, {0, {0}}, {0, {}},
        };
        for (const auto &[index, expected] : steps) {
            m_handlers->checkClicked(index);
            QCOMPARE(checked(), expected);
        }
    }

private:
    std::optional<OperatorWorld> m_w;
    std::optional<UnitHandlers> m_handlers;
};

QTEST_MAIN(tst_UnitHandlers)
#include "tst_UnitHandlers.moc"
