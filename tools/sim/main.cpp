#include "SimOptions.h"
#include "SimRunner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

// SIGTERM and SIGINT end the event loop normally, so the port link is removed on the way out.
bool installSignalHandlers()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGHUP, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dispenser-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORN_VERSION));

    SimOptions options;
    QString error;
    if (!parseSimOptions(QCoreApplication::arguments().mid(1), &options, &error)) {
        std::fprintf(stderr, "dispenser-sim: %s\nTry 'dispenser-sim --help'.\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        std::fputs(qPrintable(simUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("dispenser-sim %s\n", VORN_VERSION);
        return 0;
    }
    if (!options.seedGiven)
        options.seed = quint32(QDateTime::currentMSecsSinceEpoch()) ^ quint32(::getpid());
    std::fprintf(stderr, "dispenser-sim: seed %u\n", options.seed);

    if (!installSignalHandlers()) {
        std::perror("dispenser-sim: pipe");
        return 1;
    }
    QSocketNotifier signalNotifier(qintptr(g_signalPipe[0]), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] {
        char drain[16];
        while (::read(g_signalPipe[0], drain, sizeof drain) > 0) {}
        QCoreApplication::quit();
    });

    SimRunner runner(options);
    if (!runner.start(&error)) {
        std::fprintf(stderr, "dispenser-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("ready: %s -> %s\n", qPrintable(runner.linkPath()), qPrintable(runner.slavePath()));
    std::fflush(stdout);

    const int rc = QCoreApplication::exec();
    runner.shutdown();
    return rc;
}
