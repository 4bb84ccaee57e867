// Throughput of the receive path against the bound the design sets: every line is one log entry, and
// every entry opens, appends to and closes the day's file. Prints lines per second for processResponse
// (filter modes A and F) and for a plain open/append/close loop over the same file, and their ratio; then,
// with real unit panels, the same path with the MQTT publisher off and on (a real broker started here, one
// that never answers), whose ratio is held to 0.95.

#include "BenchHost.h"
#include "link/Comm1.h"
#include "link/CommandSender.h"
#include "link/PortFolder.h"
#include "link/ResponseProcessor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#ifdef VORN_HAVE_FLEET
#include "Broker.h"
#include "fleet/FleetPublisher.h"
#include "units/dUnit.h"
#endif

#ifdef Q_OS_UNIX
#include <time.h>
#endif

namespace {

constexpr int Lines = 100000;

// The processor time this thread has spent, in and out of the kernel: on a shared machine the wall clock
// also counts the time other processes had the core, which says nothing about this code.
class CpuClock
{
public:
    CpuClock() { m_wall.start(); }
    double seconds() const
    {
#ifdef Q_OS_UNIX
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return double(now.tv_sec - m_start.tv_sec) + double(now.tv_nsec - m_start.tv_nsec) / 1e9;
#else
        return double(m_wall.nsecsElapsed()) / 1e9;
#endif
    }

private:
    QElapsedTimer m_wall;
#ifdef Q_OS_UNIX
    timespec m_start = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t;
    }();
#endif
};

double plainLoop(const QString &path, const QStringList &lines)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    const CpuClock clock;
    for (const QString &line : lines) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            file.write(line.toLatin1() + "\r\n");
            file.close();
        }
    }
    return Lines / clock.seconds();
}

double receivePath(BenchHost &host, ResponseProcessor &processor, const QString &batch, const QString &path)
{
    QFile::remove(path);
    host.messages.clearOut();
    const CpuClock clock;
    processor.processResponse(batch);
    host.messages.flush();
    return Lines / clock.seconds();
}

#ifdef VORN_HAVE_FLEET
// The receive path's host with the window's real unit panels, which tell whoever listens of each change.
class PanelHost : public BenchHost
{
public:
    explicit PanelHost(FakePlatform &platform)
        : BenchHost(platform)
    {
        for (int n = 0; n <= unitCount(); ++n) {
            auto &panel = panels.emplace_back(std::make_unique<dUnit>());
            panel->setCaption1(FakeHost::unit(n)->name());
            panel->setTag(FakeHost::unit(n)->uid());
        }
    }
    UnitModel *unit(int n) override { return n >= 0 && n <= unitCount() ? &panels[size_t(n)]->model() : nullptr; }
    std::vector<std::unique_ptr<dUnit>> panels;
};

// The receive path and what it leaves queued for the event loop (the publisher's deferred work).
double receiveAndDrain(BenchHost &host, ResponseProcessor &processor, const QString &batch, const QString &path)
{
    QFile::remove(path);
    host.messages.clearOut();
    const CpuClock clock;
    processor.processResponse(batch);
    QCoreApplication::processEvents();
    host.messages.flush();
    return Lines / clock.seconds();
}

void publishingFigures(FakePlatform &platform, const QString &batch)
{
    Broker broker;
    if (!broker.start()) {
        std::printf("no Mosquitto to publish to: the publishing figures are left out\n");
        return;
    }
    // Nobody answers on this one: the kernel takes the connection, nothing reads it.
    const quint16 silentPort = freeLoopbackPort();
    const int silent = loopbackSocket(silentPort, true, true);

    PanelHost host(platform);
    host.mode = MessageFilter::All;
    PortFolder ports(platform.folder);
    Comm1 comm(ports);
    CommandSender sender(host, comm);
    ResponseProcessor processor(host, comm, sender);
    const QString path = host.dailyLog().fileFor(QDateTime::currentDateTime());

    struct Variant
    {
        const char *name;
        quint16 port; // 0: publishing off
        bool log;
        double best = 0;
    };
    Variant variants[] = {{"publishing off", 0, false},
                          {"publishing on (status, units, runs)", broker.port, false},
                          {"publishing on with Publish Log=1", broker.port, true},
                          {"broker that never answers", silentPort, false}};
    constexpr int Rounds = 5;
    for (int round = 0; round < Rounds; ++round) {
        for (Variant &v : variants) {
            std::unique_ptr<FleetPublisher> publisher;
            if (v.port) {
                FleetConfig config;
                config.host = QStringLiteral("127.0.0.1");
                config.port = v.port;
                config.station = QStringLiteral("bench");
                config.publishLog = v.log;
                publisher = std::make_unique<FleetPublisher>(host, config);
                for (int n = 1; n <= host.unitCount(); ++n)
                    QObject::connect(&host.panels[size_t(n)]->model(), &UnitModel::changed, publisher.get(),
                                     [p = publisher.get(), n] { p->unitChanged(n); });
                processor.setLineObserver([p = publisher.get()](const QString &line) { p->controllerLine(line); });
                publisher->start();
                const bool answers = v.port == broker.port;
                if (!QTest::qWaitFor([&] { return !answers || publisher->link() == FleetPublisher::Link::Up; }, 10000))
                    std::printf("  (%s: not connected)\n", v.name);
                QTest::qWait(100); // the silent broker: the connection is taken and waits for its answer
            } else {
                processor.setLineObserver({});
            }
            v.best = std::max(v.best, receiveAndDrain(host, processor, batch, path));
            processor.setLineObserver({});
        }
    }
    ::close(silent);
    std::printf("The receive path with real unit panels, mode A, publishing off and on (processor time, best of %d)\n",
                Rounds);
    for (const Variant &v : variants)
        std::printf("  %-38s %10.0f lines/s   ratio %.3f%s\n", v.name, v.best, v.best / variants[0].best,
                    &v == &variants[1] ? " (target >= 0.95)" : "");
}
#endif

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    FakePlatform platform;
    platform.folder = dir.path();
    platform.realTimers = true;
    BenchHost host(platform);
    PortFolder ports(dir.path());
    Comm1 comm(ports);
    CommandSender sender(host, comm);
    ResponseProcessor processor(host, comm, sender);

    QStringList lines;
    lines.reserve(Lines);
    for (int i = 0; i < Lines; ++i)
        lines.append(controllerLine(i));
    const QString batch = lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
    const QString path = host.dailyLog().fileFor(QDateTime::currentDateTime());

    // One line in six is a "Sent OK", which the log precedes with an empty line and a time stamp: the
    // receive path writes 7 entries where the plain loop writes 6.
    // The machine is shared, so each figure is the best of several interleaved rounds: a round that another
    // process slowed down says nothing about this code.
    constexpr int Rounds = 5;
    double plain = 0;
    double logged[2] = {0, 0};
    double unlogged[2] = {0, 0};
    const char *const modes[2] = {"A", "F"};
    for (int round = 0; round < Rounds; ++round) {
        plain = std::max(plain, plainLoop(path, lines));
        for (int m = 0; m < 2; ++m) {
            host.mode = m ? MessageFilter::Important : MessageFilter::All;
            host.logging = true;
            logged[m] = std::max(logged[m], receivePath(host, processor, batch, path));
            host.logging = false;
            unlogged[m] = std::max(unlogged[m], receivePath(host, processor, batch, path));
        }
    }
    std::printf(
        "processResponse on a batch of %d lines, each logged by open/append/close (processor time, best of %d)\n",
        Lines, Rounds);
    std::printf("  plain open/append/close loop: %10.0f lines/s\n", plain);
    for (int m = 0; m < 2; ++m) {
        std::printf("  processResponse, mode %s:     %10.0f lines/s   ratio %.2f (target >= 0.65)\n", modes[m],
                    logged[m], logged[m] / plain);
        std::printf("    the same without the log:   %10.0f lines/s   (parsing, panels and pane)\n", unlogged[m]);
    }
#ifdef VORN_HAVE_FLEET
    publishingFigures(platform, batch);
#endif
    return 0;
}
