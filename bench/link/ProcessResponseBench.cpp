// Throughput of the receive path against the bound the design sets: every line is one log entry, and
// every entry opens, appends to and closes the day's file. Prints lines per second for processResponse
// (filter modes A and F) and for a plain open/append/close loop over the same file, and their ratio.

#include "BenchHost.h"
#include "Comm1.h"
#include "CommandSender.h"
#include "PortFolder.h"
#include "ResponseProcessor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int Lines = 100000;

double plainLoop(const QString &path, const QStringList &lines)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    QElapsedTimer clock;
    clock.start();
    for (const QString &line : lines) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
            file.write(line.toLatin1() + "\r\n");
            file.close();
        }
    }
    return Lines / (double(clock.nsecsElapsed()) / 1e9);
}

double receivePath(BenchHost &host, ResponseProcessor &processor, const QString &batch, const QString &path)
{
    QFile::remove(path);
    host.pane.clearOut();
    QElapsedTimer clock;
    clock.start();
    processor.processResponse(batch);
    host.pane.flush();
    return Lines / (double(clock.nsecsElapsed()) / 1e9);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    BenchPlatform platform(dir.path());
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
    const QString path = host.log().fileFor(QDateTime::currentDateTime());

    // One line in six is a "Sent OK", which the log precedes with an empty line and a time stamp: the
    // receive path writes 7 entries where the plain loop writes 6.
    std::printf("processResponse on a batch of %d lines, each logged by open/append/close\n", Lines);
    const double plain = plainLoop(path, lines);
    std::printf("  plain open/append/close loop: %10.0f lines/s\n", plain);
    for (const char *mode : {"A", "F"}) {
        host.mode = QString::fromLatin1(mode);
        host.logging = true;
        const double rate = receivePath(host, processor, batch, path);
        std::printf("  processResponse, mode %s:     %10.0f lines/s   ratio %.2f (target >= 0.50)\n", mode, rate,
                    rate / plain);
        host.logging = false;
        const double unlogged = receivePath(host, processor, batch, path);
        std::printf("    the same without the log:   %10.0f lines/s   (parsing, panels and pane)\n", unlogged);
    }
    return 0;
}
