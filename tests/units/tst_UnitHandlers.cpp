#include "../link/LinkTestSupport.h"
#include "Comm1.h"
#include "CommandSender.h"
#include "PortFolder.h"
#include "UnitHandlers.h"
#include "dUnit.h"
#include "mSettings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Answers the not-OK box and records what was asked and started.
class HandlerPlatform : public TestPlatform
{
public:
    QString answer;
    QStringList asked; // prompt, title, initial text of each box
    QStringList started;
    std::function<void()> onStart;

    QString inputBox(const QString &prompt, const QString &title, const QString &initial) override
    {
        asked << prompt << title << initial;
        return answer;
    }
    bool startDetached(const QString &program, const QStringList &) override
    {
        started << program;
        if (onStart)
            onStart();
        return false; // as for a script that is not there
    }
};

// Count boxes 0 to 10, as the window has them.
class BoxHost : public TestHost
{
public:
    using TestHost::TestHost;
    QMap<int, QString> boxes;
    std::optional<QString> countText(int n) const override
    {
        return n >= 0 && n <= 10 ? std::optional<QString>(boxes.value(n)) : std::nullopt;
    }
};

enum class Event { Init, Update, Home, Save, Flush, STOPall };

} // namespace

class tst_UnitHandlers : public QObject
{
    Q_OBJECT

private:
    QByteArray wire(int lines)
    {
        m_peer->waitReceived("\r\n", lines);
        return m_peer->received();
    }
    QList<int> checked()
    {
        QList<int> on;
        for (int n = 0; n <= m_host->NoUnits(); ++n) {
            if (m_host->unit(n).checked)
                on << n;
        }
        return on;
    }

private slots:
    void init()
    {
        m_dir.emplace();
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        const QString section = QStringLiteral("Internal Commands");
        for (const auto &[key, text] : {std::pair{"Id", "I"}, {"UPDATE", "UPD"}, {"HOME", "H"},
                                        {"Save Settings", "SV"}, {"Flush", "FL"}, {"STOP", "ST"}})
            mSettings::WriteIni(mSettings::IniFile2, section, QLatin1String(key), QLatin1String(text));

        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_host.emplace(*m_platform);
        m_host->setUids({QStringLiteral("101"), QStringLiteral("102"), QStringLiteral("103"),
                         QStringLiteral("104"), QStringLiteral("105")});
        for (int n = 0; n <= 10; ++n)
            m_host->boxes[n] = QString::number(n * 5);
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->linkAs(m_dir->path(), 3));
        m_ports = std::make_unique<PortFolder>(m_dir->path());
        m_comm = std::make_unique<Comm1>(*m_ports);
        m_comm->setCommPort(3);
        QVERIFY(m_comm->setPortOpen(true));
        m_sender = std::make_unique<CommandSender>(*m_host, *m_comm);
        m_handlers = std::make_unique<UnitHandlers>(*m_host, *m_sender);
    }
    void cleanup()
    {
        m_handlers.reset();
        m_sender.reset();
        m_comm.reset();
        m_peer.reset();
    }

    void commandButtons_data()
    {
        QTest::addColumn<Event>("event");
        QTest::addColumn<int>("index");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("status");
        QTest::newRow("Home from All Units goes to every unit")
            << Event::Home << 0 << QByteArray(">H,0,0\r\n") << QStringLiteral("Sending Command HOME to all UNITS - Pls Wait !");
        QTest::newRow("Home on unit 2 goes to unit 2 only")
            << Event::Home << 2 << QByteArray(">H,102,0\r\n") << QStringLiteral("Sending Command HOME to UNIT 2 - Pls Wait !");
        QTest::newRow("Id on unit 3") << Event::Init << 3 << QByteArray(">I,103,0\r\n")
                                      << QStringLiteral("Sending Command Id to UNIT 3 - Pls Wait !");
        QTest::newRow("Save on unit 1") << Event::Save << 1 << QByteArray(">SV,101,0\r\n")
                                        << QStringLiteral("Sending Command Save Settings to UNIT 1 - Pls Wait !");
        QTest::newRow("Flush on unit 5") << Event::Flush << 5 << QByteArray(">FL,105,0\r\n")
                                         << QStringLiteral("Sending Command Flush to UNIT 5 - Pls Wait !");
        QTest::newRow("Stop from All Units") << Event::STOPall << 0 << QByteArray(">ST,0,0\r\n")
                                             << QStringLiteral("Sending Command STOP to all UNITS - Pls Wait !");
        QTest::newRow("Update on unit 4") << Event::Update << 4 << QByteArray(">UPD,104,0\r\n")
                                          << QStringLiteral("Sending Command UPDATE to UNIT 4 - Pls Wait !");
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
        m_host->unit(1).c3 = QStringLiteral("Count: 9");
        switch (event) {
        case Event::Init: emit panel.Init(); break;
        case Event::Update: emit panel.Update(); break;
        case Event::Home: emit panel.Home(); break;
        case Event::Save: emit panel.Save(); break;
        case Event::Flush: emit panel.Flush(); break;
        case Event::STOPall: emit panel.STOPall(); break;
        }
        QCOMPARE(wire(1), line);
        QCOMPARE(m_host->statuses, QStringList{status});
        QCOMPARE(m_host->statusSecs, QList<int>{5});
        QCOMPARE(m_host->unit(1).c3, QString()); // every send clears the panels
        QCOMPARE(m_sender->history().value(0).toLatin1(), line.mid(1, line.size() - 3));
        QCOMPARE(m_platform->started.size(), event == Event::Update ? 1 : 0);
    }

    void updateStartsTheScriptAfterThePause()
    {
        QByteArray wireAtStart;
        QList<int> sleptAtStart;
        m_platform->onStart = [&] {
            wireAtStart = wire(1);
            sleptAtStart = m_platform->sleeps;
        };
        m_handlers->Update(2);
        QCOMPARE(wireAtStart, QByteArray(">UPD,102,0\r\n"));
        QCOMPARE(sleptAtStart, QList<int>{500});
        QCOMPARE(m_platform->started, QStringList{QDir::toNativeSeparators(m_dir->filePath(
#ifdef Q_OS_WIN
                                                     QStringLiteral("update.bat")
#else
                                                     QStringLiteral("update.sh")
#endif
                                                         ))});
        // The script is missing: nothing is shown about it.
        QCOMPARE(m_host->statuses.size(), 1);
        QCOMPARE(m_host->pane, QStringLiteral("\r\n"));
        QVERIFY(m_host->log.isEmpty());
    }

    void reportOK_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("line");
        QTest::newRow("All Units panel") << 0 << QStringLiteral(">>LAST OK - UNIT0");
        QTest::newRow("unit 3") << 3 << QStringLiteral(">>LAST OK - UNIT3");
        QTest::newRow("unit 12 has no count box but reports") << 12 << QStringLiteral(">>LAST OK - UNIT12");
    }
    void reportOK()
    {
        QFETCH(int, index);
        QFETCH(QString, line);
        m_host->pane = QStringLiteral("earlier\r\n");
        m_handlers->ReportOK(index);
        QCOMPARE(m_host->pane, line + QStringLiteral("\r\nearlier\r\n"));
        QCOMPARE(m_host->log, QStringList{line});
        QVERIFY(m_platform->asked.isEmpty());
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
        QTest::newRow("not a number") << 2 << u"25"_s << u"abc"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("number with trailing text") << 2 << u"25"_s << u"12abc"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("beyond 32 bits") << 2 << u"25"_s << u"3000000000"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("box text recorded as it stands") << 4 << u" 025x"_s << u"2"_s << u">>LAST NOT OK 4 -  025x - 2"_s;
        QTest::newRow("All Units panel offers box 0") << 0 << u"7"_s << u"6"_s << u">>LAST NOT OK 0 - 7 - 6"_s;
    }
    void reportNotOK()
    {
        QFETCH(int, index);
        QFETCH(QString, box);
        QFETCH(QString, answer);
        QFETCH(QString, line);
        m_host->boxes[index] = box;
        m_platform->answer = answer;
        m_host->pane = QStringLiteral("earlier\r\n");
        m_handlers->ReportNotOK(index);
        QCOMPARE(m_platform->asked,
                 (QStringList{QStringLiteral("Enter Actual Count for Error"), QStringLiteral("Logging Error"), box}));
        QCOMPARE(m_host->pane, line + QStringLiteral("\r\nearlier\r\n"));
        QCOMPARE(m_host->log, QStringList{line});
    }

    void reportNotOKOnUnitWithoutCountBox()
    {
        QStringList uids;
        for (int n = 1; n <= 12; ++n)
            uids << QString::number(100 + n);
        m_host->setUids(uids);
        m_platform->answer = QStringLiteral("3");
        m_handlers->ReportNotOK(11);
        QVERIFY(m_platform->asked.isEmpty());
        QVERIFY(m_host->pane.isEmpty());
        QVERIFY(m_host->log.isEmpty());
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
    std::optional<QTemporaryDir> m_dir;
    std::optional<HandlerPlatform> m_platform;
    std::optional<BoxHost> m_host;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<CommandSender> m_sender;
    std::unique_ptr<UnitHandlers> m_handlers;
};

QTEST_MAIN(tst_UnitHandlers)
#include "tst_UnitHandlers.moc"
