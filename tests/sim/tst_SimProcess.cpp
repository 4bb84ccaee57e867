#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <memory>

// The built simulator, driven the way the console drives it: through the ports/COMn link of a program
// folder, opened like a serial port.
namespace {

constexpr int kWaitMs = 10000; // generous: the machine may be busy; nothing here measures speed

class Port
{
public:
    explicit Port(const QString &path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio{};
        if (m_fd >= 0 && ::tcgetattr(m_fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~Port()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool write(const QByteArray &b) { return ::write(m_fd, b.constData(), size_t(b.size())) == b.size(); }

    // Everything received so far once it holds `text` (or `lines` line ends), or when the time is up.
    QByteArray waitFor(const QByteArray &text, int timeoutMs = kWaitMs, qsizetype lines = 0)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!(lines ? m_got.count("\r\n") >= lines : m_got.contains(text)) && !deadline.hasExpired()) {
            pollfd p{m_fd, POLLIN, 0};
            char buf[65536];
            if (::poll(&p, 1, int(qMin<qint64>(deadline.remainingTime(), 100))) > 0) {
                const ssize_t n = ::read(m_fd, buf, sizeof buf);
                m_got.append(buf, qMax<ssize_t>(n, 0));
            }
        }
        return m_got;
    }
    void clear() { m_got.clear(); }

private:
    int m_fd;
    QByteArray m_got;
};

struct Sim
{
    std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
    QString link;
    QString device;

    // Starts the simulator and waits for its "ready: <link> -> <device>" line.
    Sim(const QString &dir, const QStringList &extra)
    {
        process->start(QStringLiteral(SIM_PATH), QStringList{QStringLiteral("--dir"), dir} + extra);
        QByteArray out;
        QDeadlineTimer deadline(kWaitMs);
        while (!out.contains('\n') && !deadline.hasExpired()) {
            if (!process->waitForReadyRead(100) && process->state() == QProcess::NotRunning)
                break;
            out += process->readAllStandardOutput();
        }
        const QList<QByteArray> f = out.left(out.indexOf('\n')).split(u' ');
        if (f.size() == 4 && f.at(0) == "ready:" && f.at(2) == "->") {
            link = QFile::decodeName(f.at(1));
            device = QFile::decodeName(f.at(3));
        }
    }
    bool stop(int signal = SIGTERM)
    {
        ::kill(pid_t(process->processId()), signal);
        return process->waitForFinished(kWaitMs) && process->exitStatus() == QProcess::NormalExit
            && process->exitCode() == 0;
    }
};

} // namespace

class tst_SimProcess : public QObject
{
    Q_OBJECT

private slots:
    void answersProbeAndCommandsAndTracesInput();
    void signalReplacesNothingAndRemovesTheLink_data();
    void signalReplacesNothingAndRemovesTheLink();
    void splitLinesArriveInTwoPieces();
    void faultsLeaveRepliesIntact();
    void badOptionIsRefused();
};

void tst_SimProcess::answersProbeAndCommandsAndTracesInput()
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.bin"));
    Sim sim(dir.path(),
            QStringLiteral("--seed 1 --stone-ms 20 --home-ms 20 --uids 102,101 --trace").split(u' ') << trace);
    QCOMPARE(sim.link, QDir(dir.path()).absoluteFilePath(QStringLiteral("ports/COM7")));
    QCOMPARE(QFileInfo(sim.link).symLinkTarget(), sim.device);

    Port port(sim.link);
    const QByteArray sent = "DP>\n>HOME,102,0\r\n>COUNT,3,101\r\n";
    QVERIFY(port.write(sent.left(4)));
    QVERIFY(port.waitFor(QByteArray(), kWaitMs, 1).startsWith("Tessaloran"));
    port.clear();
    QVERIFY(port.write(sent.mid(4)));
    const QByteArray got = port.waitFor("\t101\t[F]\t3\r\n");
    QCOMPARE(got,
             QByteArray("1\t102\tSent OK\r\n2\t101\tSent OK\r\n3\t102\tL1L2:L1=1224 L2=2306\r\n"
                        "4\t101\t[c](1)\r\n5\t101\t[c](2)\r\n6\t101\t[F]\t3\r\n"));

    QVERIFY(sim.stop());
    QVERIFY(!QFileInfo(sim.link).isSymLink());
    QFile t(trace);
    QVERIFY(t.open(QIODevice::ReadOnly));
    QCOMPARE(t.readAll(), sent);
}

void tst_SimProcess::signalReplacesNothingAndRemovesTheLink_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("terminated") << int(SIGTERM);
    QTest::newRow("interrupted from the terminal") << int(SIGINT);
}

void tst_SimProcess::signalReplacesNothingAndRemovesTheLink()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    // A link left behind by a simulator that was killed outright.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("ports")));
    const QString stale = dir.filePath(QStringLiteral("ports/COM3"));
    QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-device"), stale));
    Sim sim(dir.path(), {QStringLiteral("--port"), QStringLiteral("3")});
    QCOMPARE(QFileInfo(stale).symLinkTarget(), sim.device);
    Port port(stale);
    QVERIFY(port.write("DP>\n"));
    QVERIFY(port.waitFor("Tessaloran").contains("Tessaloran"));
    QVERIFY(sim.stop(signal));
    QVERIFY(
        QDir(dir.filePath(QStringLiteral("ports"))).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
}

void tst_SimProcess::splitLinesArriveInTwoPieces()
{
    QTemporaryDir dir;
    Sim sim(dir.path(), QStringLiteral("--split --split-ms 700").split(u' '));
    Port port(sim.link);
    QVERIFY(port.write("DP>\n>SAVE,103,0\r\n"));
    const QByteArray first = port.waitFor("T");
    QVERIFY2(!first.isEmpty() && !first.contains('\n'), first.constData());
    QElapsedTimer pause;
    pause.start();
    port.waitFor("\n");
    QVERIFY(pause.elapsed() >= 350); // the pause is the point; a busy machine only makes it longer
    const QByteArrayList lines = port.waitFor("SETTINGS SAVED\r\n").split('\n');
    QCOMPARE(lines.size(), 4);
    QVERIFY(lines.at(0).startsWith("Tessaloran") && lines.at(1).endsWith("\t103\tSent OK\r"));
    QVERIFY(sim.stop());
}

void tst_SimProcess::faultsLeaveRepliesIntact()
{
    QTemporaryDir dir;
    Sim sim(dir.path(), QStringLiteral("--garbage --flood 200 --seed 5").split(u' '));
    Port port(sim.link);
    QVERIFY(port.write("DP>\n>ID,104,0\r\n"));
    const QByteArray got = port.waitFor("\t104\tID:TSL-DU UID=104 ");
    QVERIFY(got.contains("Tessaloran Dispenser Controller"));
    QVERIFY(got.contains("\t104\tSent OK\r\n"));
    port.clear();
    const QByteArray more = port.waitFor(QByteArray(), kWaitMs, 200);
    QVERIFY(more.count("\r\n") >= 200);
    QVERIFY(more.contains('\0'));
    QVERIFY(sim.stop());
}

void tst_SimProcess::badOptionIsRefused()
{
    QTemporaryDir dir;
    QProcess bad;
    bad.start(QStringLiteral(SIM_PATH),
              {QStringLiteral("--dir"), dir.path(), QStringLiteral("--uids"), QStringLiteral("101,0")});
    QVERIFY(bad.waitForFinished(kWaitMs));
    QCOMPARE(bad.exitCode(), 2);
    QVERIFY(bad.readAllStandardError().contains("--uids"));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("ports"))));
}

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_SimProcess.moc"
