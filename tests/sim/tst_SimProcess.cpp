#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <memory>

// The built simulator, driven the way the console drives it: through the ports/COMn link of a program
// folder, opened like a serial port.
namespace {

constexpr int kWaitMs = 10000; // generous: the machine may be busy; nothing here measures speed

struct Sim
{
    std::unique_ptr<QProcess> process;
    QString link;
    QString device;
};

class Port
{
public:
    explicit Port(const QString &path)
    {
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd >= 0) {
            termios tio{};
            ::tcgetattr(m_fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Port()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }

    bool write(const QByteArray &bytes)
    {
        return ::write(m_fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }

    // Reads until `done` holds for everything received so far, or the time is up.
    QByteArray readUntil(const std::function<bool(const QByteArray &)> &done, int timeoutMs = kWaitMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done(m_received) && !deadline.hasExpired()) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 100))) > 0) {
                char buf[65536];
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                if (n > 0)
                    m_received.append(buf, n);
            }
        }
        return m_received;
    }
    QByteArray readFor(int ms)
    {
        return readUntil([](const QByteArray &) { return false; }, ms);
    }
    QByteArray waitFor(const QByteArray &text, int timeoutMs = kWaitMs)
    {
        return readUntil([&](const QByteArray &r) { return r.contains(text); }, timeoutMs);
    }
    void clear() { m_received.clear(); }

private:
    int m_fd = -1;
    QByteArray m_received;
};

Sim startSim(const QString &dir, const QStringList &extra)
{
    Sim sim;
    sim.process = std::make_unique<QProcess>();
    sim.process->start(QStringLiteral(SIM_PATH), QStringList{QStringLiteral("--dir"), dir} + extra);
    if (!sim.process->waitForStarted(kWaitMs))
        return sim;
    QByteArray out;
    QDeadlineTimer deadline(kWaitMs);
    while (!out.contains('\n') && !deadline.hasExpired() && sim.process->state() == QProcess::Running) {
        sim.process->waitForReadyRead(100);
        out += sim.process->readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n'));
    if (line.startsWith("ready: ")) {
        const QList<QByteArray> parts = line.mid(7).split(' ');
        if (parts.size() == 3 && parts.at(1) == "->") {
            sim.link = QFile::decodeName(parts.at(0));
            sim.device = QFile::decodeName(parts.at(2));
        }
    }
    return sim;
}

bool stopSim(Sim &sim, int signal = SIGTERM)
{
    ::kill(pid_t(sim.process->processId()), signal);
    return sim.process->waitForFinished(kWaitMs) && sim.process->exitStatus() == QProcess::NormalExit
        && sim.process->exitCode() == 0;
}

} // namespace

class tst_SimProcess : public QObject
{
    Q_OBJECT

private slots:
    void answersProbeAndCommandsAndTracesInput();
    void signalRemovesTheLink_data();
    void signalRemovesTheLink();
    void replacesAStaleLink();
    void otherPortAndUnits();
    void splitLinesStillArriveWhole();
    void silentNeverAnswers();
    void garbageLeavesRepliesIntact();
    void floodSendsUnsolicitedLines();
    void helpAndBadOptions();
};

void tst_SimProcess::answersProbeAndCommandsAndTracesInput()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString trace = dir.filePath(QStringLiteral("trace.bin"));
    Sim sim = startSim(dir.path(), {QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--stone-ms"),
                                    QStringLiteral("20"), QStringLiteral("--home-ms"), QStringLiteral("20"),
                                    QStringLiteral("--trace"), trace});
    QVERIFY2(!sim.link.isEmpty(), "no ready line");
    QCOMPARE(QFileInfo(sim.link).absoluteFilePath(),
             QFileInfo(dir.filePath(QStringLiteral("ports/COM7"))).absoluteFilePath());
    QVERIFY(QFileInfo(sim.link).isSymLink());
    QCOMPARE(QFileInfo(sim.link).symLinkTarget(), sim.device);

    Port port(sim.link);
    QVERIFY(port.isOpen());
    QByteArray sent;
    auto send = [&](const QByteArray &b) {
        sent += b;
        return port.write(b);
    };

    QVERIFY(send("DP>\n"));
    QVERIFY(port.waitFor("Tessaloran").contains("Tessaloran"));
    QVERIFY(port.waitFor("\r\n").endsWith("\r\n"));
    port.clear();

    QVERIFY(send(">HOME,102,0\r\n"));
    QByteArray got = port.waitFor("L1L2:");
    got = port.waitFor("\r\n", 0).left(got.lastIndexOf("\r\n") + 2);
    QByteArrayList lines = got.split('\n');
    QVERIFY(lines.size() >= 2);
    QVERIFY2(lines.at(0).endsWith("\t102\tSent OK\r"), lines.at(0).constData());
    QVERIFY(lines.at(1).contains("\t102\tL1L2:"));
    port.clear();

    QVERIFY(send(">COUNT,3,101\r\n"));
    got = port.waitFor("\t101\t[F]\t3\r\n");
    QVERIFY2(got.contains("\t101\t[F]\t3\r\n"), got.constData());
    QVERIFY(got.contains("\t101\t[c](2)\r\n"));

    QVERIFY(stopSim(sim));
    QVERIFY(!QFileInfo(sim.link).isSymLink());
    QFile t(trace);
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll(), sent);
}

void tst_SimProcess::signalRemovesTheLink_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("terminated") << int(SIGTERM);
    QTest::newRow("interrupted from the terminal") << int(SIGINT);
}

void tst_SimProcess::signalRemovesTheLink()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    Sim sim = startSim(dir.path(), {});
    QVERIFY(!sim.link.isEmpty());
    QVERIFY(QFileInfo(sim.link).isSymLink());
    QVERIFY(stopSim(sim, signal));
    QVERIFY(!QFileInfo(sim.link).isSymLink());
    QVERIFY(QDir(dir.filePath(QStringLiteral("ports"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                .isEmpty());
}

void tst_SimProcess::replacesAStaleLink()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("ports")));
    const QString stale = dir.filePath(QStringLiteral("ports/COM7"));
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-device"), stale));
    Sim sim = startSim(dir.path(), {});
    QVERIFY(!sim.link.isEmpty());
    QCOMPARE(QFileInfo(stale).symLinkTarget(), sim.device);
    Port port(stale);
    QVERIFY(port.isOpen());
    QVERIFY(port.write("DP>\n"));
    QVERIFY(port.waitFor("Tessaloran").contains("Tessaloran"));
    QVERIFY(stopSim(sim));
}

void tst_SimProcess::otherPortAndUnits()
{
    QTemporaryDir dir;
    Sim sim = startSim(dir.path(), {QStringLiteral("--port"), QStringLiteral("3"), QStringLiteral("--uids"),
                                    QStringLiteral("9,7")});
    QVERIFY(sim.link.endsWith(QStringLiteral("/ports/COM3")));
    Port port(sim.link);
    QVERIFY(port.write(">ID,0,0\r\n"));
    const QByteArray got = port.waitFor("\t9\tID:");
    QCOMPARE(got.count("Sent OK"), 2);
    QVERIFY(got.indexOf("\t7\tSent OK") < got.indexOf("\t9\tSent OK"));
    QVERIFY(stopSim(sim));
}

void tst_SimProcess::splitLinesStillArriveWhole()
{
    QTemporaryDir dir;
    Sim sim = startSim(dir.path(), {QStringLiteral("--split"), QStringLiteral("--split-ms"), QStringLiteral("700")});
    Port port(sim.link);
    QVERIFY(port.write("DP>\n>SAVE,103,0\r\n"));
    // What comes first is half of the greeting: the rest follows after the pause.
    const QByteArray first = port.readUntil([](const QByteArray &r) { return !r.isEmpty(); });
    QVERIFY(!first.isEmpty());
    QVERIFY2(!first.contains('\n'), first.constData());
    QElapsedTimer pause;
    pause.start();
    port.waitFor("\n");
    // The pause is the point of the option; a busy machine can only make it longer.
    QVERIFY(pause.elapsed() >= 350);
    const QByteArray got = port.waitFor("SETTINGS SAVED\r\n");
    const QByteArrayList lines = got.split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(0).startsWith("Tessaloran"));
    QVERIFY(lines.at(1).endsWith("\t103\tSent OK\r"));
    QVERIFY(lines.at(2).endsWith("\t103\tSETTINGS SAVED\r"));
    QVERIFY(stopSim(sim));
}

void tst_SimProcess::silentNeverAnswers()
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.bin"));
    Sim sim = startSim(dir.path(), {QStringLiteral("--silent"), QStringLiteral("--trace"), trace});
    Port port(sim.link);
    QVERIFY(port.write("DP>\n>ID,0,0\r\n"));
    // Once the simulator has recorded the lines, an answer would already be on its way.
    QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(trace).size(), 13, kWaitMs);
    QVERIFY(port.readFor(300).isEmpty());
    QVERIFY(stopSim(sim));
}

void tst_SimProcess::garbageLeavesRepliesIntact()
{
    QTemporaryDir dir;
    Sim sim = startSim(dir.path(), {QStringLiteral("--garbage"), QStringLiteral("--seed"), QStringLiteral("5")});
    Port port(sim.link);
    QVERIFY(port.write("DP>\n"));
    QVERIFY(port.waitFor("Tessaloran").contains("Tessaloran"));
    QVERIFY(port.write(">ID,104,0\r\n"));
    const QByteArray got = port.waitFor("\t104\tID:TSL-DU UID=104");
    QVERIFY(got.contains("\t104\tSent OK\r\n"));
    // Garbage keeps coming on its own; within a few seconds some of it is NULs.
    QVERIFY(port.waitFor(QByteArray(1, '\0')).contains('\0'));
    QVERIFY(stopSim(sim));
}

void tst_SimProcess::floodSendsUnsolicitedLines()
{
    QTemporaryDir dir;
    Sim sim = startSim(dir.path(), {QStringLiteral("--flood"), QStringLiteral("200")});
    Port port(sim.link);
    const QByteArray got = port.readUntil([](const QByteArray &r) { return r.count("\r\n") >= 50; });
    const QByteArrayList lines = got.split('\n');
    QVERIFY(lines.size() > 50);
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        QVERIFY2(lines.at(i).count('\t') >= 2, lines.at(i).constData());
        QVERIFY(!lines.at(i).contains("!!!"));
    }
    QVERIFY(stopSim(sim));
}

void tst_SimProcess::helpAndBadOptions()
{
    QProcess help;
    help.start(QStringLiteral(SIM_PATH), {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(kWaitMs));
    QCOMPARE(help.exitCode(), 0);
    const QByteArray text = help.readAllStandardOutput();
    for (const char *option : {"--dir", "--port", "--uids", "--stone-ms", "--short-rate", "--stuck-rate", "--silent",
                               "--greeting-delay-ms", "--split", "--flood", "--garbage", "--seed", "--trace"})
        QVERIFY2(text.contains(option), option);

    QTemporaryDir dir;
    QProcess bad;
    bad.start(QStringLiteral(SIM_PATH), {QStringLiteral("--dir"), dir.path(), QStringLiteral("--uids"),
                                         QStringLiteral("101,0")});
    QVERIFY(bad.waitForFinished(kWaitMs));
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY(bad.readAllStandardError().contains("--uids"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("ports"))));
}

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_SimProcess.moc"
