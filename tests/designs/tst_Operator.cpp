#include "../app/TestPlatform.h"
#include "DailyLog.h"
#include "MessagePane.h"
#include "ctxPatchButton.h"
#include "dUnit.h"
#include "frmVorn.h"
#include "mSettings.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

using namespace Qt::Literals::StringLiterals;

// The operator at the console against the controller simulator, on the demo settings: the whole road
// from a click to the wire, the simulator's answers and back to the panels, the pane and the log.
namespace {

constexpr int kWaitMs = 15000; // generous: the machine may be busy; nothing here measures speed

// Real sleeps, so the controller search and the spacing of lines behave as on the operator's machine.
class RealTimePlatform : public TestPlatform
{
public:
    using TestPlatform::TestPlatform;
    void Sleep(int ms) override
    {
        slept += ms;
        QThread::msleep(ulong(ms));
    }
};

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
        m_ready = out.startsWith("ready: ");
    }
    ~Simulator()
    {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        m_process.waitForFinished(kWaitMs);
    }
    bool isReady() const { return m_ready; }

private:
    QProcess m_process;
    bool m_ready = false;
};

void doubleClickRow(QListWidget *list, QListWidgetItem *item)
{
    QWidget *view = list->viewport();
    const QPoint at = list->visualItemRect(item).center();
    QTest::mousePress(view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
    QTest::mouseDClick(view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_Operator : public QObject
{
    Q_OBJECT

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
        QVERIFY(m_sim->isReady());
        m_platform = std::make_unique<RealTimePlatform>(m_dir->path());
        m_window = std::make_unique<frmVorn>(*m_platform);
        m_window->load();
        QCOMPARE(m_window->statusText(), u"Tessaloran Controller found on Port 7"_s);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
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
        auto *designs = w.findChild<QListWidget *>(u"lstDesign"_s);
        QVERIFY(designs);
        const QList<QListWidgetItem *> ring = designs->findItems(u"RING"_s, Qt::MatchExactly);
        QCOMPARE(ring.size(), 1);
        doubleClickRow(designs, ring.constFirst());
        QCOMPARE(w.findChild<QLineEdit *>(u"txtDesign"_s)->text(), u"RING"_s);
        for (int n = 1; n <= 5; ++n)
            QCOMPARE(w.countText(n).value(), QStringList({u"12"_s, u"0"_s, u"4"_s, u"0"_s, u"0"_s}).at(n - 1));

        emit w.findChild<ctxPatchButton *>(u"cmdDispense"_s)->Click();
        QTRY_COMPARE_WITH_TIMEOUT(w.unitPanel(1)->caption3(), u"Count: 12"_s, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(w.unitPanel(3)->caption3(), u"Count: 4"_s, kWaitMs);
        for (int n : {2, 4, 5})
            QCOMPARE(w.unitPanel(n)->caption3(), QString());
        QVERIFY(readFile(m_dir->filePath(u"trace.bin"_s)).endsWith(">COUNT,12,101\r\n>COUNT,4,103\r\n"));

        m_platform->answer = u"3"_s;
        emit w.unitPanel(1)->button(unitlayout::cYes)->Click();
        emit w.unitPanel(3)->button(unitlayout::cNo)->Click();
        QVERIFY(w.pane().text().startsWith(u">>LAST NOT OK 3 - 4 - 3\n>>LAST OK - UNIT1\n"_s));
        const QByteArray log = readFile(w.dailyLog().fileFor(m_platform->now()));
        QVERIFY(log.contains("\t101\t[F]\t12\r\n"));
        QVERIFY(log.contains("\t103\t[F]\t4\r\n"));
        QVERIFY(log.endsWith(">>LAST OK - UNIT1\r\n>>LAST NOT OK 3 - 4 - 3\r\n"));
    }

    void consoleCommandToACheckedUnit()
    {
        frmVorn &w = *m_window;
        QWidget *name = w.unitPanel(2)->child(unitlayout::lblName);
        QTest::mouseDClick(name, Qt::LeftButton, {}, name->rect().center());
        QVERIFY(w.unitPanel(2)->isChecked());

        auto *entry = w.findChild<QLineEdit *>(u"txtCommand"_s);
        QVERIFY(entry);
        auto *commands = w.findChild<QListWidget *>(u"lstCommands"_s);
        const QList<QListWidgetItem *> identify = commands->findItems(u"Identify"_s, Qt::MatchExactly);
        QCOMPARE(identify.size(), 1);
        QTest::mouseClick(commands->viewport(), Qt::LeftButton, {},
                          commands->visualItemRect(identify.constFirst()).center());
        QCOMPARE(entry->text(), u"ID"_s);
        QTest::keyClick(entry, Qt::Key_Return);
        // The identification report of unit 2 lands in its settings section.
        QTRY_VERIFY_WITH_TIMEOUT(
            mSettings::ReadIni(QString(), u"UNIT2"_s, u"INIT"_s, QString(), false).startsWith(u"ID:"_s), kWaitMs);
        QVERIFY(readFile(m_dir->filePath(u"trace.bin"_s)).endsWith(">ID,102,0\r\n"));
        QCOMPARE(entry->text(), u"ID"_s);
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::unique_ptr<Simulator> m_sim;
    std::unique_ptr<RealTimePlatform> m_platform;
    std::unique_ptr<frmVorn> m_window;
};

QTEST_MAIN(tst_Operator)
#include "tst_Operator.moc"
