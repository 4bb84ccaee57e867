// Memory of the receive path under a long run: one million controller lines through the receive step,
// over a pseudo-terminal, into the real daily log and the real (bounded) message pane. Prints the peak
// resident memory before and after; the pane keeps its newest lines only, so the peak must not follow the
// amount of traffic.

#include "BenchHost.h"
#include "PtyPeer.h"
#include "link/Comm1.h"
#include "link/CommandSender.h"
#include "link/PortFolder.h"
#include "link/ResponseProcessor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>

namespace {

constexpr int Lines = 1000000;

// Peak resident set size in KiB, as the kernel counts it.
long peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    FakePlatform platform;
    platform.folder = dir.path();
    platform.realTimers = true;
    BenchHost host(platform);
    host.messages.show();
    PtyPeer controller;
    controller.linkAs(dir.path(), 1);
    PortFolder ports(dir.path());
    Comm1 comm(ports);
    comm.setCommPort(1);
    if (!comm.setPortOpen(true)) {
        std::printf("could not open the pseudo-terminal\n");
        return 1;
    }
    CommandSender sender(host, comm);
    ResponseProcessor processor(host, comm, sender);

    // Settle the pane and the log once, so the start figure includes what any run has.
    processor.processResponse(controllerLine(0) + QStringLiteral("\r\n"));
    QCoreApplication::processEvents();
    const long before = peakKiB();

    std::atomic_bool done{false};
    std::thread writer([&] {
        QByteArray chunk;
        for (int i = 0; i < Lines; ++i) {
            chunk += controllerLine(i).toLatin1() + "\r\n";
            if (chunk.size() >= 16384 || i == Lines - 1) {
                controller.writeAll(chunk);
                chunk.clear();
            }
        }
        done = true;
    });

    QElapsedTimer clock;
    clock.start();
    long afterFirstTenth = -1;
    int quiet = 0;
    while (!done || quiet < 5) {
        const qsizetype logged = host.messages.document()->characterCount();
        processor.receiveStep();
        QCoreApplication::processEvents();
        quiet = host.messages.document()->characterCount() == logged ? quiet + 1 : 0;
        if (afterFirstTenth < 0 && clock.elapsed() > 5000)
            afterFirstTenth = peakKiB();
        if (done && quiet)
            QThread::msleep(10);
    }
    writer.join();
    processor.receiveStep();
    QCoreApplication::processEvents();
    const long after = peakKiB();

    QFile log(host.dailyLog().fileFor(QDateTime::currentDateTime()));
    qint64 entries = 0;
    if (log.open(QIODevice::ReadOnly)) {
        while (!log.atEnd())
            entries += log.readLine().endsWith('\n') ? 1 : 0;
    }
    std::printf("%d controller lines through the receive step in %.1f s\n", Lines, double(clock.elapsed()) / 1000);
    std::printf("  log lines written: %lld (every line, plus an empty line and a stamp per Sent OK)\n",
                static_cast<long long>(entries));
    std::printf("  pane lines kept:   %d\n", host.messages.lineCount());
    std::printf("  peak memory before %.1f MB, after %.1f MB: grew %.1f MB (target < 20 MB)\n", before / 1024.0,
                after / 1024.0, (after - before) / 1024.0);
    if (afterFirstTenth > 0)
        std::printf("  peak after the first 5 s %.1f MB: grew %.1f MB from there to the end\n",
                    afterFirstTenth / 1024.0, (after - afterFirstTenth) / 1024.0);
    return 0;
}
