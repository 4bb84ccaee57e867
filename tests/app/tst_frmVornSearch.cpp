#include "../link/LinkTestSupport.h"
#include "Comm1.h"
#include "SettingsSchema.h"
#include "UnitLayout.h"
#include "ctxPatchButton.h"
#include "dUnit.h"
#include "frmVorn.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The controller search as the operator sees it: after the window is on screen, with the status line and
// the pointer saying what it does, again on F5, and never in the way of a close.
class tst_frmVornSearch : public QObject
{
    Q_OBJECT

    static constexpr int WaitMs = 8000;

    void startWindow(const QByteArray &ini)
    {
        QFile f(m_dir->filePath(u"Vorn.ini"_s));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        mSettings::resetPaths();
        mSettings::setProgramFolder(m_dir->path());
        m_platform.folder = m_dir->path();
        m_ports.emplace(m_dir->path(), [] { return QList<PortFolder::SerialDevice>{}; }); // none of the machine's
        m_window = std::make_unique<frmVorn>(m_platform, &*m_ports);
        m_window->load();
        m_window->show();
    }
    static QString stored(SettingsSchema::Key key)
    {
        const SettingsSchema::Setting s(key);
        return mSettings::ReadIni(s.path(), s.section(), s.key(), QString(), false);
    }
    PtyPeer &peer(int port, bool greets)
    {
        m_peers.push_back(std::make_unique<PtyPeer>());
        m_peers.back()->linkAs(m_dir->path(), port);
        if (greets)
            m_peers.back()->greetProbes("Tessaloran Dispenser V2\r\n", 0);
        return *m_peers.back();
    }

private slots:
    void init() { m_dir.emplace(); }
    void cleanup()
    {
        m_window.reset();
        m_ports.reset();
        m_peers.clear();
        m_platform.devices.clear();
        m_dir.reset();
    }

    void nothingFoundThenF5FindsALaterController()
    {
        startWindow("[Settings]\r\nComm Port=7\r\n");
        QVERIFY(!m_window->isSearching()); // the window comes first
        QCoreApplication::processEvents();
        QVERIFY(m_window->isSearching());
        QCOMPARE(m_window->cursor().shape(), Qt::BusyCursor);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"No controller found - press F5 to search again"_s, WaitMs);
        QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(m_window->comm().CommPort(), 7);
        QCOMPARE(stored(SettingsSchema::Key::CommPort), u"7"_s);

        // The adapter is plugged in; the operator asks for another search.
        peer(4, true);
        m_platform.devices = {u"USB Serial Device (COM4)"_s};
        QTest::keyClick(m_window.get(), Qt::Key_F5);
        QVERIFY(m_window->isSearching());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"Tessaloran Controller found on Port 4"_s, WaitMs);
        QCOMPARE(stored(SettingsSchema::Key::CommPort), u"4"_s);
        QVERIFY(m_window->comm().PortOpen());
        QCOMPARE(m_window->comm().CommPort(), 4);
    }

    void commandsWaitAndCloseIsPromptDuringTheSearch()
    {
        PtyPeer &silent = peer(7, false);
        startWindow("[Settings]\r\nComm Port=7\r\nLeft=300\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"Looking for the controller on Port 7"_s, WaitMs);
        QTRY_VERIFY(silent.received().contains("DP>\n"));

        emit m_window->unitPanel(1)->button(unitlayout::cHome)->Click();
        QCOMPARE(m_window->statusText(), u"Still looking for the controller"_s);
        QTest::qWait(100);
        QCOMPARE(silent.received(), QByteArray("DP>\n"));

        QElapsedTimer clock;
        clock.start();
        m_window->close();
        QVERIFY(!m_window->isSearching());
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(stored(SettingsSchema::Key::Left), u"300"_s);
    }

private:
    std::optional<QTemporaryDir> m_dir;
    TestPlatform m_platform;
    std::optional<PortFolder> m_ports;
    std::vector<std::unique_ptr<PtyPeer>> m_peers;
    std::unique_ptr<frmVorn> m_window;
};

QTEST_MAIN(tst_frmVornSearch)
#include "tst_frmVornSearch.moc"
