#include "sim/SimOptions.h"
#include "sim/SimRunner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

// The byte the handler writes: 1 ends the simulator, 2 (SIGUSR1) jams a stone.
void onSignal(int signal)
{
    const char byte = signal == SIGUSR1 ? 2 : 1;
    const ssize_t ignored = ::write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

// SIGTERM and SIGINT end the event loop normally, so the port link is removed on the way out. SIGUSR1 jams
// a stone in the first unit, for a test or a demo that needs a stuck stone at a moment of its choosing.
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
    ::sigaction(SIGUSR1, &sa, nullptr);
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
    SimRunner runner(options);
    QSocketNotifier signalNotifier(qintptr(g_signalPipe[0]), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&runner] {
        char drain[16];
        bool quit = false;
        for (ssize_t n; (n = ::read(g_signalPipe[0], drain, sizeof drain)) > 0;) {
            for (ssize_t i = 0; i < n; ++i) {
                if (drain[i] == 2)
                    runner.jam();
                else
                    quit = true;
            }
        }
        if (quit)
            QCoreApplication::quit();
    });

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
