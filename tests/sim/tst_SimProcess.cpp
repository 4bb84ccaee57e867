#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
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
    void answersProbeAndCommandsAndTracesInput()
    {
        QTemporaryDir dir;
        const QString trace = dir.filePath(QStringLiteral("trace.bin"));
        Sim sim(dir.path(),
                QStringLiteral("--seed 1 --stone-ms 20 --home-ms 20 --uids 102,101 --trace").split(u' ') << trace);
        QCOMPARE(sim.link, QDir(dir.path()).absoluteFilePath(QStringLiteral("ports/COM7")));
        QCOMPARE(QFileInfo(sim.link).symLinkTarget(), sim.device);

        const QByteArray sent = "DP>\n>HOME,102,0\r\n>COUNT,3,101\r\n";
        QVERIFY(sim.write(sent.left(4)));
        QVERIFY(sim.waitFor({}, 1).startsWith("Tessaloran"));
        sim.got.clear();
        QVERIFY(sim.write(sent.mid(4)));
        QCOMPARE(sim.waitFor("\t101\t[F]\t3\r\n"),
                 QByteArray("1\t102\tSent OK\r\n2\t101\tSent OK\r\n3\t102\tL1L2:L1=1224 L2=2306\r\n"
                            "4\t101\t[c](1)\r\n5\t101\t[c](2)\r\n6\t101\t[F]\t3\r\n"));

        QVERIFY(sim.stop());
        QVERIFY(!QFileInfo(sim.link).isSymLink());
        QFile t(trace);
        QVERIFY(t.open(QIODevice::ReadOnly));
        QCOMPARE(t.readAll(), sent);
    }

    void interruptReplacesStaleLinkAndRemovesIt()
    {
        QTemporaryDir dir;
        // A link left behind by a simulator that was killed outright.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("ports")));
        const QString stale = dir.filePath(QStringLiteral("ports/COM3"));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-device"), stale));
        Sim sim(dir.path(), {QStringLiteral("--port"), QStringLiteral("3")});
        QCOMPARE(sim.link, stale);
        QCOMPARE(QFileInfo(stale).symLinkTarget(), sim.device);
        QVERIFY(sim.write("DP>\n"));
        QVERIFY(sim.waitFor("Tessaloran").contains("Tessaloran"));
        QVERIFY(sim.stop(SIGINT));
        QVERIFY(QDir(dir.filePath(QStringLiteral("ports")))
                    .isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
    }

    void splitLinesArriveInTwoPieces()
    {
        QTemporaryDir dir;
        Sim sim(dir.path(), QStringLiteral("--split --split-ms 700").split(u' '));
        QVERIFY(sim.write("DP>\n>SAVE,103,0\r\n"));
        const QByteArray first = sim.waitFor("T");
        QVERIFY2(!first.isEmpty() && !first.contains('\n'), first.constData());
        QElapsedTimer pause;
        pause.start();
        sim.waitFor("\n");
        QVERIFY(pause.elapsed() >= 350); // the pause is the point; a busy machine only makes it longer
        const QByteArrayList lines = sim.waitFor("SETTINGS SAVED\r\n").split('\n');
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(0).startsWith("Tessaloran") && lines.at(1).endsWith("\t103\tSent OK\r"));
        QVERIFY(sim.stop());
    }

    void faultsLeaveRepliesIntact()
    {
        QTemporaryDir dir;
        Sim sim(dir.path(), QStringLiteral("--garbage --flood 200 --seed 5").split(u' '));
        QVERIFY(sim.write("DP>\n>ID,104,0\r\n"));
        const QByteArray got = sim.waitFor("\t104\tID:TSL-DU UID=104 ");
        QVERIFY(got.contains("Tessaloran Dispenser Controller") && got.contains("\t104\tSent OK\r\n"));
        sim.got.clear();
        const QByteArray more = sim.waitFor({}, 200);
        QVERIFY(more.count("\r\n") >= 200 && more.contains('\0'));
        QVERIFY(sim.stop());
    }
};

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_SimProcess.moc"
