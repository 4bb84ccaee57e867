#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

// The built simulator, driven the way the console drives it: through the ports/COMn link of a program
// folder, opened like a serial port.
namespace {

constexpr int kWaitMs = 10000; // generous: the machine may be busy; nothing here measures speed

struct Sim
{
    QProcess process;
    QString link, device;
    int fd = -1;
    QByteArray got;

    // Starts the simulator, waits for its "ready: <link> -> <device>" line and opens the link raw.
    Sim(const QString &dir, const QStringList &extra)
    {
        process.start(QStringLiteral(SIM_PATH), QStringList{QStringLiteral("--dir"), dir} + extra);
        QByteArray out;
        QDeadlineTimer deadline(kWaitMs);
        while (!out.contains('\n') && process.waitForReadyRead(int(deadline.remainingTime())))
            out += process.readAllStandardOutput();
        const QList<QByteArray> f = out.left(out.indexOf('\n')).split(' ');
        if (f.size() == 4 && f.at(0) == "ready:" && f.at(2) == "->") {
            link = QFile::decodeName(f.at(1));
            device = QFile::decodeName(f.at(3));
        }
        fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ~Sim()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool write(const QByteArray &b) { return ::write(fd, b.constData(), size_t(b.size())) == b.size(); }
    // Everything received so far once it holds `text` (or `lines` line ends), or when the time is up.
    QByteArray waitFor(const QByteArray &text, qsizetype lines = 0)
    {
        QDeadlineTimer deadline(kWaitMs);
        while (!(lines ? got.count("\r\n") >= lines : got.contains(text)) && !deadline.hasExpired()) {
            pollfd p{fd, POLLIN, 0};
            char buf[65536];
            if (::poll(&p, 1, 100) > 0)
                got.append(buf, qMax<ssize_t>(::read(fd, buf, sizeof buf), 0));
        }
        return got;
    }
    bool stop(int signal = SIGTERM)
    {
        ::kill(pid_t(process.processId()), signal);
        return process.waitForFinished(kWaitMs) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
};

} // namespace

class tst_SimProcess : public QObject
{
    Q_OBJECT

private slots:
    // The split, garbage and flood modes are driven by the console's own end-to-end test.
    void answersProbeAndCommandsAndTracesInput()
    {
        QTemporaryDir dir;
        // A link left behind by a simulator that was killed outright.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("ports")));
        const QString stale = dir.filePath(QStringLiteral("ports/COM7"));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-device"), stale));
        const QString trace = dir.filePath(QStringLiteral("trace.bin"));
        Sim sim(dir.path(),
                QStringLiteral("--seed 1 --stone-ms 20 --home-ms 20 --uids 102,101 --trace").split(u' ') << trace);
        QCOMPARE(sim.link, QFileInfo(stale).absoluteFilePath());
        QCOMPARE(QFileInfo(sim.link).symLinkTarget(), sim.device);

        const QByteArray sent = "DP>\n>HOME,102,0\r\n>COUNT,3,101\r\n";
        QVERIFY(sim.write(sent.left(4)));
        QVERIFY(sim.waitFor({}, 1).startsWith("Tessaloran"));
        sim.got.clear();
        QVERIFY(sim.write(sent.mid(4)));
        QCOMPARE(sim.waitFor("\t101\t[F]\t3\r\n"),
                 QByteArray("1\t102\tSent OK\r\n2\t101\tSent OK\r\n3\t102\tL1L2:L1=1224 L2=2306\r\n"
                            "4\t101\t[c](1)\r\n5\t101\t[c](2)\r\n6\t101\t[F]\t3\r\n"));

        QVERIFY(sim.stop(SIGINT));
        QVERIFY(QDir(dir.filePath(QStringLiteral("ports")))
                    .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
        QFile t(trace);
        QVERIFY(t.open(QIODevice::ReadOnly));
        QCOMPARE(t.readAll(), sent);
    }
};

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_SimProcess.moc"
