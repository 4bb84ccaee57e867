#pragma once

#include <csignal>
#include <sys/resource.h>

// A full disk for this process while it lives: no file grows past the given size (writes past it fail with
// EFBIG, as they would with ENOSPC), whoever runs the test, root included, and without mounting anything.
class FullDisk
{
public:
    explicit FullDisk(rlim_t room = 0)
    {
        std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of the process being killed
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit full = m_old;
        full.rlim_cur = room;
        setrlimit(RLIMIT_FSIZE, &full);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &m_old); }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit m_old{};
};

// What work returns, done on a full disk.
template<typename Work>
auto onFullDisk(Work work)
{
    const FullDisk full;
    return work();
}
