#pragma once

#include <QtGlobal>
#ifndef Q_OS_WIN
#include <csignal>
#include <sys/resource.h>
#endif

// A full disk for this process while it lives: no file grows past the given size (writes past it fail with
// EFBIG, as they would with ENOSPC), whoever runs the test, root included, and without mounting anything. Windows has
// no such limit: there it does nothing, and the tests leave their full-disk cases out where Works is false.
class FullDisk
{
public:
#ifdef Q_OS_WIN
    static constexpr bool Works = false;
    explicit FullDisk(qint64 = 0)
    {}
#else
    static constexpr bool Works = true;
    explicit FullDisk(rlim_t room = 0)
    {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of the process being killed
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit full = m_old;
        full.rlim_cur = room;
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
    }
#endif
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;
#ifndef Q_OS_WIN

private:
    rlimit m_old{};
#endif
};

// What work returns, done on a full disk.
template<typename Work>
auto onFullDisk(Work work)
{
    const FullDisk full;
    return work();
}
