#include "app/SignalCloser.h"

#include <QSocketNotifier>
#include <QWidget>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalFds[2] = {-1, -1};

// Close-on-exec, so the update script and anything else started detached does not inherit the pair; and
// non-blocking, so a burst of signals that fills the socket cannot stall the handler (one byte waiting
// is enough to close the window).
bool openSignalPair()
{
#ifdef SOCK_CLOEXEC
    return ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalFds) == 0;
#else
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalFds) != 0)
        return false;
    for (const int fd : signalFds) {
        ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    return true;
#endif
}

extern "C" void onSignal(int)
{
    // The interrupted code may be about to read errno; a full socket (EAGAIN) must not change it.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalFds[0], &byte, 1);
    errno = savedErrno;
}
} // namespace
#endif

SignalCloser::SignalCloser(QWidget *window)
    : QObject(window)
    , m_window(window)
{
#ifdef Q_OS_UNIX
    if (signalFds[0] < 0 && !openSignalPair())
        return;
    m_notifier = new QSocketNotifier(signalFds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        while (::read(signalFds[1], bytes, sizeof bytes) > 0) {}
        m_window->close();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
#endif
}

SignalCloser::~SignalCloser()
{
#ifdef Q_OS_UNIX
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
#endif
}
