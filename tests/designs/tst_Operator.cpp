#include "DailyLog.h"
#include "MessagePane.h"
#include "OperatorTestSupport.h"
#include "SettingsSchema.h"
#include "ctxPatchButton.h"
#include "dUnit.h"
#include "frmVorn.h"

#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QProcess>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

// The operator at the console against the controller simulator, on the demo settings: the whole road
// from a click to the wire, the simulator's answers and back to the panels, the pane and the log.
namespace {

constexpr int kWaitMs = 15000; // generous: the machine may be busy; nothing here measures speed

class Simulator
{
public:
    explicit Simulator(const QString &dir)
    {
        m_process.start(
            QStringLiteral(SIM_PATH),
            {u"--dir"_s, dir, u"--stone-ms"_s, u"5"_s, u"--seed"_s, u"1"_s, u"--trace"_s, dir + u"/trace.bin"_s});
        QByteArray out;
        QDeadlineTimer deadline(kWaitMs);
        while (!out.contains('\n') && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
        }
        ready = out.startsWith("ready: ");
    }
    ~Simulator()
    {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        m_process.waitForFinished(kWaitMs);
    }
    bool ready = false;

private:
    QProcess m_process;
};

} // namespace

class tst_Operator : public QObject
{
    Q_OBJECT

    QByteArray trace() const { return readFile(m_dir->filePath(u"trace.bin"_s)); }
    QListWidgetItem *rowOf(const QString &list, const QString &text) const
    {
        auto *widget = m_window->findChild<QListWidget *>(list);
        return widget ? widget->findItems(text, Qt::MatchExactly).value(0) : nullptr;
    }

private slots:
    void init()
    {
        m_dir.emplace();
        for (const QString &name : {u"Vorn.ini"_s, u"Vorn2.ini"_s}) {
            const QString target = m_dir->filePath(name);
            QVERIFY(QFile::copy(QStringLiteral(EXAMPLES_DIR "/") + name, target));
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        }
        mSettings::resetPaths();
        mSettings::setProgramFolder(m_dir->path());
        m_sim = std::make_unique<Simulator>(m_dir->path());
        QVERIFY(m_sim->ready);
        // Real sleeps, so the controller search and the spacing of lines behave as on the operator's machine.
        m_platform.emplace();
        m_platform->realSleep = true;
        m_platform->folder = m_dir->path();
        m_window = std::make_unique<frmVorn>(*m_platform);
        m_window->load();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->statusText(), u"Tessaloran Controller found on Port 7"_s, kWaitMs);
    }
    void cleanup()
    {
        if (m_window)
            m_window->close();
        m_window.reset();
        m_sim.reset();
    }

    void designDispensedAndJudged()
    {
        frmVorn &w = *m_window;
        QListWidgetItem *ring = rowOf(u"lstDesign"_s, u"RING"_s);
        QVERIFY(ring);
        doubleClickRow(ring->listWidget(), ring);
        QCOMPARE(w.findChild<QLineEdit *>(u"txtDesign"_s)->text(), u"RING"_s);
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(w.countText(n).value(), QStringList({u"12"_s, u"0"_s, u"4"_s, u"0"_s, u"0"_s}).at(n - 1));

        emit w.findChild<ctxPatchButton *>(u"cmdDispense"_s)->Click();
        QTRY_COMPARE_WITH_TIMEOUT(w.unitPanel(1)->caption3(), u"Count: 12"_s, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(w.unitPanel(3)->caption3(), u"Count: 4"_s, kWaitMs);
        for (int n : {2, 4, 5})
            QCOMPARE(w.unitPanel(n)->caption3(), QString());
        QVERIFY(trace().endsWith(">COUNT,12,101\r\n>COUNT,4,103\r\n"));

        m_platform->answer = u"3"_s;
        emit w.unitPanel(1)->button(unitlayout::cYes)->Click();
        emit w.unitPanel(3)->button(unitlayout::cNo)->Click();
        QVERIFY(w.pane().text().startsWith(u">>LAST NOT OK 3 - 4 - 3\n>>LAST OK - UNIT1\n"_s));
        const QByteArray log = readFile(w.dailyLog().fileFor(m_platform->now()));
        QVERIFY(log.contains("\t101\t[F]\t12\r\n") && log.contains("\t103\t[F]\t4\r\n"));
        QVERIFY(log.endsWith(">>LAST OK - UNIT1\r\n>>LAST NOT OK 3 - 4 - 3\r\n"));
    }

    // A double click on Dispense is one run: every unit gets its count once, also when the second click
    // comes while the first run is still pausing between its lines.
    void doubleClickDispensesOnce()
    {
        auto *dispense = m_window->findChild<ctxPatchButton *>(u"cmdDispense"_s);
        QVERIFY(dispense);
        m_window->setCountText(1, u"12"_s);
        m_window->setCountText(3, u"4"_s);
        const QPoint at = dispense->rect().center();
        int sleeps = 0;
        m_platform->onSleep = [&](int) {
            // The second click arrives during the first pause; it waits in the queue like a real one.
            if (++sleeps == 1) {
                QVERIFY(!dispense->isEnabled());
                QCoreApplication::postEvent(dispense,
                                            new QMouseEvent(QEvent::MouseButtonPress, at, dispense->mapToGlobal(at),
                                                            Qt::LeftButton, Qt::LeftButton, {}));
                QCoreApplication::postEvent(dispense,
                                            new QMouseEvent(QEvent::MouseButtonRelease, at, dispense->mapToGlobal(at),
                                                            Qt::LeftButton, Qt::NoButton, {}));
            }
        };
        QTest::mousePress(dispense, Qt::LeftButton, {}, at);
        QTest::mouseRelease(dispense, Qt::LeftButton, {}, at);
        QTest::mouseDClick(dispense, Qt::LeftButton, {}, at);
        QTest::mouseRelease(dispense, Qt::LeftButton, {}, at);
        QVERIFY(dispense->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(m_window->unitPanel(3)->caption3(), u"Count: 4"_s, kWaitMs);
        QTest::qWait(500);
        QCOMPARE(trace().count(">COUNT,"), 2);
    }

    void consoleCommandToACheckedUnit()
    {
        QWidget *name = m_window->unitPanel(2)->child(unitlayout::lblName);
        QTest::mouseDClick(name, Qt::LeftButton, {}, name->rect().center());
        QVERIFY(m_window->unitPanel(2)->isChecked());
        QListWidgetItem *identify = rowOf(u"lstCommands"_s, u"Identify"_s);
        QVERIFY(identify);
        QTest::mouseClick(identify->listWidget()->viewport(), Qt::LeftButton, {},
                          identify->listWidget()->visualItemRect(identify).center());
        auto *entry = m_window->findChild<QLineEdit *>(u"txtCommand"_s);
        QCOMPARE(entry->text(), u"ID"_s);
        QTest::keyClick(entry, Qt::Key_Return);
        // The identification report of unit 2 lands in its settings section.
        QTRY_VERIFY_WITH_TIMEOUT(SettingsSchema::Setting(SettingsSchema::Key::Init, 2).read().startsWith(u"ID:"_s),
                                 kWaitMs);
        QVERIFY(trace().endsWith(">ID,102,0\r\n"));
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::optional<OperatorPlatform> m_platform;
    std::unique_ptr<frmVorn> m_window;
};

QTEST_MAIN(tst_Operator)
#include "tst_Operator.moc"
