#include "../designs/OperatorTestSupport.h"
#include "UnitHandlers.h"
#include "dUnit.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

enum class Event { Init, Update, Home, Save, Flush, STOPall };

class tst_UnitHandlers : public QObject
{
    Q_OBJECT

private:
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
        m_w.emplace();
        QVERIFY(m_w->ready());
        for (const auto &[key, text] : {std::pair{"Id", "I"},
                                        {"UPDATE", "UPD"},
                                        {"HOME", "H"},
                                        {"Save Settings", "SV"},
                                        {"Flush", "FL"},
                                        {"STOP", "ST"}})
            mSettings::WriteIni(mSettings::IniFile2, u"Internal Commands"_s, QLatin1String(key), QLatin1String(text));
        m_handlers.emplace(m_w->host, m_w->sender);
    }
    void cleanup()
    {
        m_handlers.reset();
        m_w.reset();
    }

    void commandButtons_data()
    {
        QTest::addColumn<Event>("event");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("status");
        QTest::newRow("Home from All Units goes to every unit")
            << Event::Home << 0 << QByteArray(">H,0,0\r\n") << u"Sending Command HOME to all UNITS - Pls Wait !"_s;
        QTest::newRow("Home on unit 2 goes to unit 2 only")
            << Event::Home << 2 << QByteArray(">H,102,0\r\n") << u"Sending Command HOME to UNIT 2 - Pls Wait !"_s;
        QTest::newRow("Id on unit 3") << Event::Init << 3 << QByteArray(">I,103,0\r\n")
                                      << u"Sending Command Id to UNIT 3 - Pls Wait !"_s;
        QTest::newRow("Save on unit 1") << Event::Save << 1 << QByteArray(">SV,101,0\r\n")
                                        << u"Sending Command Save Settings to UNIT 1 - Pls Wait !"_s;
        QTest::newRow("Flush on unit 5") << Event::Flush << 5 << QByteArray(">FL,105,0\r\n")
                                         << u"Sending Command Flush to UNIT 5 - Pls Wait !"_s;
        QTest::newRow("Stop from All Units")
            << Event::STOPall << 0 << QByteArray(">ST,0,0\r\n") << u"Sending Command STOP to all UNITS - Pls Wait !"_s;
        QTest::newRow("Update on unit 4")
            << Event::Update << 4 << QByteArray(">UPD,104,0\r\n") << u"Sending Command UPDATE to UNIT 4 - Pls Wait !"_s;
    }
    void commandButtons()
    {
        QFETCH(Event, event);
        QFETCH(int, index);
        QFETCH(QByteArray, line);
        QFETCH(QString, status);
        // Through the panel's own signals, as the window connects them.
        dUnit panel;
        m_handlers->connectPanel(&panel, index);
        m_w->host.unit(1).c3 = u"Count: 9"_s;
        switch (event) {
        case Event::Init: emit panel.Init(); break;
        case Event::Update: emit panel.Update(); break;
        case Event::Home: emit panel.Home(); break;
        case Event::Save: emit panel.Save(); break;
        case Event::Flush: emit panel.Flush(); break;
        case Event::STOPall: emit panel.STOPall(); break;
        }
        QCOMPARE(m_w->wire(1), line);
        QCOMPARE(m_w->host.statuses, QStringList{status});
        QCOMPARE(m_w->host.statusSecs, QList<int>{5});
        QCOMPARE(m_w->host.unit(1).c3, QString()); // every send clears the panels
        QCOMPARE(m_w->sender.history().value(0).toLatin1(), line.mid(1, line.size() - 3));
        QCOMPARE(m_w->platform.started.size(), event == Event::Update ? 1 : 0);
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

    void reportOK_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("All Units panel") << 0;
        QTest::newRow("unit 3") << 3;
        QTest::newRow("unit 12 has no count box but reports") << 12;
    }
    void reportOK()
    {
        QFETCH(int, index);
        m_w->host.setUnits(12);
        m_w->host.pane = u"earlier\r\n"_s;
        m_handlers->ReportOK(index);
        const QString line = u">>LAST OK - UNIT"_s + QString::number(index);
        QCOMPARE(m_w->host.pane, line + u"\r\nearlier\r\n"_s);
        QCOMPARE(m_w->host.log, QStringList{line});
        QVERIFY(m_w->platform.asked.isEmpty());
    }

    void reportNotOK_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("line");
        QTest::newRow("unit 3 asked 25, 24 entered") << 3 << u"25"_s << u"24"_s << u">>LAST NOT OK 3 - 25 - 24"_s;
        QTest::newRow("Cancel records 0") << 3 << u"25"_s << u""_s << u">>LAST NOT OK 3 - 25 - 0"_s;
        QTest::newRow("12.5 rounds down to even") << 3 << u"25"_s << u"12.5"_s << u">>LAST NOT OK 3 - 25 - 12"_s;
        QTest::newRow("13.5 rounds up to even") << 3 << u"25"_s << u"13.5"_s << u">>LAST NOT OK 3 - 25 - 14"_s;
        QTest::newRow("blanks around the number") << 3 << u"25"_s << u" 7 "_s << u">>LAST NOT OK 3 - 25 - 7"_s;
        QTest::newRow("initial text accepted") << 2 << u"25"_s << u"25"_s << u">>LAST NOT OK 2 - 25 - 25"_s;
        QTest::newRow("number with trailing text") << 2 << u"25"_s << u"12abc"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("beyond 32 bits") << 2 << u"25"_s << u"3000000000"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("box text recorded as it stands")
            << 4 << u" 025x"_s << u"2"_s << u">>LAST NOT OK 4 -  025x - 2"_s;
        QTest::newRow("All Units panel offers box 0") << 0 << u"7"_s << u"6"_s << u">>LAST NOT OK 0 - 7 - 6"_s;
    }
    void reportNotOK()
    {
        QFETCH(int, index);
        QFETCH(QString, box);
        QFETCH(QString, answer);
        QFETCH(QString, line);
        m_w->host.box(index)->setText(box);
        m_w->platform.answer = answer;
        m_w->host.pane = u"earlier\r\n"_s;
        m_handlers->ReportNotOK(index);
        QCOMPARE(m_w->platform.asked, (QStringList{u"Enter Actual Count for Error"_s, u"Logging Error"_s, box}));
        QCOMPARE(m_w->host.pane, line + u"\r\nearlier\r\n"_s);
        QCOMPARE(m_w->host.log, QStringList{line});
    }

    void reportNotOKOnUnitWithoutCountBox()
    {
        m_w->host.setUnits(12);
        m_w->platform.answer = u"3"_s;
        m_handlers->ReportNotOK(11);
        QVERIFY(m_w->platform.asked.isEmpty());
        QVERIFY(m_w->host.pane.isEmpty());
        QVERIFY(m_w->host.log.isEmpty());
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
