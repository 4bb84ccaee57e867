#pragma once

#include <QDir>

#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

// The controller's end of a real pseudo-terminal: a thread records what the console writes, greets probes.
class PtyPeer
{
public:
    PtyPeer()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slaveName = QString::fromLocal8Bit(::ptsname(m_master));
        // Held open so the line never hangs up while the console closes and reopens its side.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0)
            ::cfmakeraw(&t), ::tcsetattr(m_slave, TCSANOW, &t);
        m_reader = std::thread([this] { readLoop(); });
    }
    ~PtyPeer() { hangUp(); }

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    bool linkAs(const QString &programFolder, int port) const
    {
        const QString link = programFolder + QStringLiteral("/ports/COM") + QString::number(port);
        QDir().mkpath(programFolder + QStringLiteral("/ports"));
        QFile::remove(link);
        return QFile::link(m_slaveName, link);
    }

    // Writes as the controller; returns once the console's side can read all of it.
    void send(const QByteArray &bytes)
    {
        int before = 0, queued = 0;
        ::ioctl(m_slave, FIONREAD, &before);
        writeAll(bytes);
        for (int i = 0; i < 2000 && ::ioctl(m_slave, FIONREAD, &queued) == 0 && queued < before + bytes.size(); ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    void writeAll(const QByteArray &bytes)
    {
        for (qsizetype done = 0; done < bytes.size() && m_master >= 0;) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            pollfd p{m_master, POLLOUT, 0};
            if (n > 0)
                done += n;
            else
                ::poll(&p, 1, 50);
        }
    }
    // Plays a controller that greets every probe line, delayMs after it came, but the first unanswered ones.
    void greetProbes(const QByteArray &greeting, int delayMs = 0, int unanswered = 0)
    {
        std::lock_guard lock(m_mutex);
        m_greeting = greeting;
        m_greetDelay = std::chrono::milliseconds(delayMs);
        m_unanswered = unanswered;
    }

    QByteArray received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    bool waitReceived(const QByteArray &needle, int times = 1) const
    {
        for (int ms = 0; received().count(needle) < times && ms < 2000; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return received().count(needle) >= times;
    }
    QByteArray wire(int lines) const
    {
        waitReceived("\r\n", lines);
        return received();
    }

    // The controller (or its adapter) stops taking data: what the console writes finds the line full. The
    // line is filled with bytes 'Y', which arrive once reading resumes.
    void stopReading()
    {
        m_paused = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the reader's current poll ends
        while (::write(m_slave, "Y", 1) == 1) {}
    }
    void resumeReading() { m_paused = false; }

    // The controller goes away: both ends closed, the device node disappears.
    void hangUp()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        for (int fd : {m_slave, m_master})
            ::close(fd); // -1 when already closed: refused, harmless
        m_slave = m_master = -1;
    }

private:
    void readLoop()
    {
        char buf[65536];
        while (!m_stop) {
            if (m_paused) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            pollfd p{m_master, POLLIN, 0};
            const ssize_t n = ::poll(&p, 1, 10) > 0 ? ::read(m_master, buf, sizeof buf) : 0;
            const auto now = std::chrono::steady_clock::now();
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                m_received += buf[i];
                if (!m_greeting.isEmpty() && m_received.endsWith("DP>\n") && m_unanswered-- <= 0)
                    m_greetAt.push_back(now + m_greetDelay);
            }
            while (!m_greetAt.empty() && m_greetAt.front() <= now) {
                m_greetAt.erase(m_greetAt.begin());
                writeAll(m_greeting);
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
    std::thread m_reader;
    std::atomic_bool m_stop{false};
    std::atomic_bool m_paused{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
    QByteArray m_greeting;
    std::chrono::milliseconds m_greetDelay{0};
    int m_unanswered = 0;
    std::vector<std::chrono::steady_clock::time_point> m_greetAt;
};
