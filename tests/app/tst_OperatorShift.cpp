#include "Csv.h"
#include "Simulator.h"
#include "TestFolder.h"
#include "app/frmVorn.h"
#include "ninepatch/ctxPatchButton.h"
#include "report/ShiftReportWindow.h"
#include "units/dUnit.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTableWidget>

using namespace Qt::Literals::StringLiterals;
using SettingsSchema::Key;
using SettingsSchema::Setting;

// An operator's shift at the real window against the controller simulator, on the demo settings: from a
// click to the wire, the simulator's answers back to the panels, the pane and the day's log.
class tst_OperatorShift : public QObject
{
    Q_OBJECT

    static constexpr int WaitMs = 15000; // generous: the machine may be busy; nothing here measures speed

    QByteArray log() const { return m_folder->read(u"Log/24-07-26-Log.txt"_s); }
    ctxPatchButton *button(const QString &name) const { return m_window->findChild<ctxPatchButton *>(name); }
    // Sends by a click and waits until every unit addressed has answered with the marker.
    void expectAnswers(const std::function<void()> &click, const QByteArray &marker, int units)
    {
        const qsizetype before = log().count(marker);
        click();
        QTRY_COMPARE_WITH_TIMEOUT(log().count(marker), before + units, WaitMs);
    }
    // Kills the simulator as an unplugged adapter goes, and starts it again with other faults.
    void restartSimulator(const QStringList &options)
    {
        m_sim->stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->comm().PortOpen(), WaitMs);
        QVERIFY(m_sim->start(m_folder->dir.path(), options));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->comm().PortOpen(), WaitMs); // reopened by the receive tick
    }
    void dispense(const QStringList &counts)
    {
        for (int n = 1; n <= 5; ++n)
            m_window->setCountText(n, counts.value(n - 1, u"0"_s));
        QTest::mouseClick(button(u"cmdDispense"_s), Qt::LeftButton);
    }

private slots:
    // The window comes up before the controller is there; F5 finds it once it is.
    void init()
    {
        m_window.reset(); // the previous test's window and simulator, before the folder they use
        m_sim.reset();
        m_folder.emplace();
        for (const QString &name : {u"Vorn.ini"_s, u"Vorn2.ini"_s}) {
            QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/") + name, m_folder->path(name)));
            QFile::setPermissions(m_folder->path(name), QFile::ReadOwner | QFile::WriteOwner);
        }
        m_folder->write(u"update.sh"_s, "#!/bin/sh\ntouch \"$(dirname \"$0\")/updated\"\n");
        QFile::setPermissions(m_folder->path(u"update.sh"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_platform.emplace();
        m_platform->folder = m_folder->dir.path();
        m_platform->realTimers = m_platform->realStart = true;
        m_window = std::make_unique<frmVorn>(*m_platform);
        m_window->load();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"No controller found - press F5 to search again"_s, WaitMs);
        m_sim.emplace(QStringLiteral(VORN_SIM));
        QVERIFY(m_sim->start(m_folder->dir.path()));
        QTest::keyClick(m_window.get(), Qt::Key_F5);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"Tessaloran Controller found on Port 7"_s, WaitMs);
    }

    void everyButtonAndCatalogueEntry()
    {
        const QList<std::pair<const char *, QByteArray>> buttons{
            {"cInit", "\tID:"},      {"cHome", "\tL1L2:"},   {"cSave", "\tSETTINGS SAVED"},
            {"cFlush", "\tFLUSHED"}, {"cStop", "\tSTOPPED"}, {"cUpd", "\tUPDATE READY"}};
        const QMap<QByteArray, QByteArray> catalogue{
            {"Identify", "\tID:"},  {"Home", "\tL1L2:"},   {"Save Settings", "\tSETTINGS SAVED"},
            {"Flush", "\tFLUSHED"}, {"Stop", "\tSTOPPED"}, {"Prepare Update", "\tUPDATE READY"}};
        for (int n = 0; n <= 5; ++n)
            for (const auto &[name, marker] : buttons) {
                auto *b = m_window->unitPanel(n)->findChild<ctxPatchButton *>(QLatin1String(name));
                expectAnswers([b] { QTest::mouseClick(b, Qt::LeftButton); }, marker, n ? 1 : 5);
            }
        QTRY_VERIFY(QFile::exists(m_folder->path(u"updated"_s))); // U started the real update script
        QVERIFY(Setting(Key::Init, 2).read().startsWith(u"ID:TSL-DU UID=102"_s));

        auto *list = m_window->findChild<QListWidget *>(u"lstCommands"_s);
        QCOMPARE(list->count(), 9);
        for (int row = 0; row < list->count(); ++row) {
            const QString name = list->item(row)->text();
            const QByteArray marker =
                catalogue.value(name.toLatin1(), "\t[F]\t" + name.mid(6).toLatin1()); // or "Count n"
            expectAnswers([&] { doubleClick(list->viewport(), list->visualItemRect(list->item(row)).center()); },
                          marker, 5);
        }
        QVERIFY(!log().contains("Not Ack"));

        // The filter and the window's place are kept for the next start.
        QTest::mouseClick(button(u"cShow"_s), Qt::LeftButton);
        QVERIFY(m_window->filterMode() == MessageFilter::Important);
        m_window->move(30, 45);
        m_window->close();
        QCOMPARE(TestFolder::stored(Setting(Key::ShowMessages)), u"F"_s);
        QCOMPARE(TestFolder::stored(Setting(Key::Left)), u"450"_s);
    }

    // A design with a shortfall and a stuck stone, one verdict, the close: the stuck unit is stopped, and the
    // day's runs file says it all.
    void dispenseJournal()
    {
        // With this seed the three units of the run fall out as complete, short and stuck; the stuck stone
        // comes last, so no other unit's final count is among the chatter drained after it.
        restartSimulator({u"--seed"_s, u"12"_s, u"--short-rate"_s, u"0.4"_s, u"--stuck-rate"_s, u"0.3"_s});
        m_window->findChild<QLineEdit *>(u"txtDesign"_s)->setText(u"TRIO"_s); // typed, not loaded: not credited
        const QString run = m_platform->now().toString(u"yyyy-MM-ddTHH:mm:ss"_s) + u",,"_s;
        dispense({u"6"_s, u"6"_s, u"6"_s});
        QTRY_COMPARE_WITH_TIMEOUT(m_window->unitPanel(3)->caption4(), u"STUCK STN"_s, WaitMs);
        QCOMPARE(m_window->unitPanel(3)->State(), dUnit::Stuck);
        QVERIFY(m_sim->trace().contains(">COUNT,6,103\r\n>STOP,103,0\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(log().contains("\t103\tSTOPPED"), WaitMs);
        m_platform->answer = u"3"_s;
        emit m_window->unitPanel(2)->findChild<ctxPatchButton *>(u"cNo"_s)->Click();
        m_window->close();

        const QList<QStringList> csv = parseCsv(QString::fromUtf8(m_folder->read(u"Log/24-07-26-Runs.csv"_s)));
        QStringList results;
        for (const QStringList &row : csv.mid(1))
            results << (row.mid(0, 3) + row.mid(7, 3)).join(u',');
        // The judged unit's row was written at the verdict, the others at the close.
        QCOMPARE(
            results,
            (QStringList{run + u"UNIT 2,short,NOT OK,3"_s, run + u"UNIT 1,complete,,"_s, run + u"UNIT 3,stuck,,"_s}));
    }

    // F2 opens the shift report beside the console, which keeps working; the report follows today's journal
    // as the operator judges the units. A double click on Dispense is one run: every unit gets its count once,
    // also when the second click comes while the first run is still pausing between its lines.
    void shiftReportFollowsADoubleClickedRun()
    {
        QStringList menu; // the status line's context menu offers it too
        for (const QAction *a : m_window->findChild<QLabel *>(u"lblStatus"_s)->actions())
            menu << a->text();
        QVERIFY(menu.contains(u"Shift report"_s));
        QTest::keyClick(m_window.get(), Qt::Key_F2);
        ShiftReportWindow *report = m_window->shiftReport();
        QVERIFY(report && report->isVisible() && !report->isModal());
        QCOMPARE(report->windowTitle(), u"Shift report"_s);
        QTRY_VERIFY_WITH_TIMEOUT(!report->isLoading(), WaitMs);
        QCOMPARE(report->summary().total.runs, 0);

        auto *list = m_window->findChild<QListWidget *>(u"lstDesign"_s);
        doubleClick(list->viewport(), list->visualItemRect(list->item(0)).center()); // RING=12,0,4,0,0
        ctxPatchButton *dispense = button(u"cmdDispense"_s);
        const QPoint at = dispense->rect().center();
        // A third click in the run's first pause: the button takes no click until the run is over.
        QTimer::singleShot(100, dispense, [&] { QTest::mouseClick(dispense, Qt::LeftButton, {}, at); });
        doubleClick(dispense, at);
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"RING: 2 of 2 units complete"_s, WaitMs);
        QCOMPARE(m_window->unitPanel(3)->caption3(), u"Count: 4"_s);
        QCOMPARE(m_window->unitPanel(1)->caption3(), u"Count: 12"_s);
        QTest::qWait(500);
        QCOMPARE(m_sim->trace().count(">COUNT,"), 2);
        for (int n : {1, 3})
            emit m_window->unitPanel(n)->findChild<ctxPatchButton *>(u"cYes"_s)->Click();
        auto *table = report->findChild<QTableWidget *>(u"unitTable"_s);
        const auto row = [table](int r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
            return cells.join(u',');
        };
        QTRY_COMPARE_WITH_TIMEOUT(row(2), u"total,,2,2,0,0,0,0,0,16,16,0,0,0,100.0,2,0"_s, WaitMs);
        QCOMPARE(row(0), u"UNIT 1,101,1,1,0,0,0,0,0,12,12,0,0,0,100.0,1,0"_s);
        QCOMPARE(row(1), u"UNIT 3,103,1,1,0,0,0,0,0,4,4,0,0,0,100.0,1,0"_s);

        // A double click whose second release lands off the button: one run, and Space still dispenses.
        QTest::mouseClick(dispense, Qt::LeftButton, {}, at);
        QTRY_VERIFY_WITH_TIMEOUT(dispense->isEnabled(), WaitMs); // the run is over
        QTest::mouseDClick(dispense, Qt::LeftButton, {}, at);
        QTest::mouseRelease(dispense, Qt::LeftButton, {}, at + QPoint(0, 3 * dispense->height()));
        QTest::keyClick(dispense, Qt::Key_Space);
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->trace().count(">COUNT,"), 6, WaitMs);
    }

    // Random bytes, NULs, overlong lines and fifty unasked reports a second: the answers still get through.
    void garbageAndFlood()
    {
        restartSimulator({u"--garbage"_s, u"--flood"_s, u"50"_s});
        QTest::qWait(1500);
        auto *id = m_window->unitPanel(2)->findChild<ctxPatchButton *>(u"cInit"_s);
        expectAnswers([id] { QTest::mouseClick(id, Qt::LeftButton); }, "\t102\tID:TSL-DU UID=102 FW=2.31 SN=", 1);
        dispense({u"3"_s, u"0"_s, u"2"_s});
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->trace().contains(">COUNT,3,101\r\n>COUNT,2,103\r\n"), WaitMs);
    }

    // SIGTERM to the real console while it probes a port that never answers: it ends at once, as a close.
    void sigtermDuringThePortSearch()
    {
        m_window.reset();
        TestFolder folder("[Settings]\r\nComm Port=7\r\nLeft=300\r\n");
        PtyPeer silent;
        QVERIFY(silent.linkAs(folder.dir.path(), 7));
        QProcess vorn;
        vorn.setEnvironment(QProcess::systemEnvironment() << u"QT_QPA_PLATFORM=offscreen"_s);
        vorn.start(QStringLiteral(VORN_EXECUTABLE), {u"--dir"_s, folder.dir.path()});
        QVERIFY(QTest::qWaitFor([&] { return silent.received().contains("DP>\n"); }, WaitMs));
        const QDeadlineTimer soon(1500); // a probe lasts 2.65 s
        vorn.terminate();
        QVERIFY(vorn.waitForFinished(WaitMs));
        QVERIFY(!soon.hasExpired());
        QCOMPARE(vorn.exitStatus(), QProcess::NormalExit);
        QCOMPARE(TestFolder::stored(Setting(Key::Left)), u"300"_s); // the close wrote the real position
    }

private:
    std::optional<TestFolder> m_folder;
    std::optional<FakePlatform> m_platform;
    std::optional<Simulator> m_sim;
    std::unique_ptr<frmVorn> m_window;
};

QTEST_MAIN(tst_OperatorShift)
#include "tst_OperatorShift.moc"
