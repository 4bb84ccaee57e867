#pragma once

// What the controller-link tests share: a pseudo-terminal that plays the controller's end of the line,
// a platform whose sleeps are virtual (or real, where the wire spacing is the subject), and a host with
// plain unit panels, a pane, a status line and a log that the tests read back.

#include "ConsoleHost.h"
#include "Platform.h"
#include "PortFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QThread>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The controller's end of a pseudo-terminal. The console opens the slave through the link ports/COMn; a
// thread reads what the console writes, with the time each piece arrived.
class PtyPeer
{
public:
    struct Chunk
    {
        qint64 atMs; // since the peer was made
        QByteArray bytes;
    };

    PtyPeer()
    {
        m_start = std::chrono::steady_clock::now();
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slaveName = QString::fromLocal8Bit(::ptsname(m_master));
        // Held open so the line never hangs up while the console closes and reopens its side.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_reader = std::thread([this] { readLoop(); });
    }
    ~PtyPeer() { hangUp(); }
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString slaveName() const { return m_slaveName; }

    // Links this line as port n of the program folder.
    bool linkAs(const QString &programFolder, int n) const
    {
        const QString dir = programFolder + QStringLiteral("/ports");
        QDir().mkpath(dir);
        const QString link = dir + QStringLiteral("/COM") + QString::number(n);
        QFile::remove(link);
        return QFile::link(m_slaveName, link);
    }

    // Writes as the controller; returns once the console's side can read all of it.
    void send(const QByteArray &bytes)
    {
        int before = 0;
        ::ioctl(m_slave, FIONREAD, &before);
        writeAll(bytes);
        waitQueued(before + int(bytes.size()));
    }
    // Writes without waiting for the other side (large amounts, from another thread).
    void writeAll(const QByteArray &bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size() && m_master >= 0) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else {
                pollfd p{m_master, POLLOUT, 0};
                ::poll(&p, 1, 50);
            }
        }
    }

    // Everything the console wrote so far.
    QByteArray received() const
    {
        std::lock_guard lock(m_mutex);
        QByteArray all;
        for (const Chunk &c : m_chunks)
            all += c.bytes;
        return all;
    }
    QList<Chunk> chunks() const
    {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }
    // Waits until what the console wrote holds `needle` at least `times` times.
    bool waitReceived(const QByteArray &needle, int times = 1, int timeoutMs = 2000) const
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (received().count(needle) < times) {
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // The moment the console's nth line (ending in CR LF, counted from 0) was complete.
    qint64 lineTime(int n) const
    {
        std::lock_guard lock(m_mutex);
        int seen = 0;
        for (const Chunk &c : m_chunks) {
            seen += int(c.bytes.count("\r\n"));
            if (seen > n)
                return c.atMs;
        }
        return -1;
    }

    // The controller goes away: both ends closed, the device node disappears.
    void hangUp()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
        m_slave = m_master = -1;
    }

private:
    void waitQueued(int bytes) const
    {
        for (int i = 0; i < 2000; ++i) {
            int queued = 0;
            if (::ioctl(m_slave, FIONREAD, &queued) != 0 || queued >= bytes)
                return;
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    void readLoop()
    {
        char buf[65536];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                continue;
            const qint64 at =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start)
                    .count();
            std::lock_guard lock(m_mutex);
            m_chunks.append({at, QByteArray(buf, qsizetype(n))});
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
    std::chrono::steady_clock::time_point m_start;
    std::thread m_reader;
    std::atomic_bool m_stop{false};
    mutable std::mutex m_mutex;
    QList<Chunk> m_chunks;
};

// The machine's own serial devices stay out of the tests' port folders.
inline PortFolder::Lister noSerialDevices()
{
    return [] { return QList<PortFolder::SerialDevice>{}; };
}

// Sleeps advance a virtual clock (and really sleep when realSleep is set); hooks let a test act as the
// controller at chosen moments of a blocking wait.
class TestPlatform : public Platform
{
public:
    bool realSleep = false;
    qint64 virtualMs = 0;
    QList<int> sleeps;
    int doEventsCalls = 0;
    int deviceListCalls = 0;
    QStringList devices;
    QString folder;
    QDateTime base = QDateTime(QDate(2024, 7, 26), QTime(14, 5, 0));
    std::function<void(int)> onSleep;
    std::function<void()> onDoEvents;

    void Sleep(int ms) override
    {
        sleeps.append(ms);
        virtualMs += ms;
        if (realSleep && ms > 0)
            QThread::msleep(ulong(ms));
        if (onSleep)
            onSleep(ms);
    }
    void DoEvents() override
    {
        ++doEventsCalls;
        if (onDoEvents)
            onDoEvents();
        QCoreApplication::processEvents();
    }
    QDateTime now() const override { return base.addMSecs(virtualMs); }
    double monotonicSeconds() const override { return double(virtualMs) / 1000.0; }
    bool askYesNo(const QString &, const QString &) override { return false; }
    QString inputBox(const QString &, const QString &, const QString &) override { return {}; }
    bool startDetached(const QString &, const QStringList &) override { return false; }
    QStringList deviceList() override
    {
        ++deviceListCalls;
        return devices;
    }
    QString programFolder() const override { return folder; }
};

class TestUnit : public UnitView
{
public:
    QString c3, c4, tag;
    qint32 state = 4194304;
    bool checked = false;

    QString caption3() const override { return c3; }
    void setCaption3(const QString &text) override { c3 = text; }
    QString caption4() const override { return c4; }
    void setCaption4(const QString &text) override { c4 = text; }
    qint32 State() const override { return state; }
    void setState(qint32 colour) override { state = colour; }
    bool isChecked() const override { return checked; }
    void setChecked(bool c) override { checked = c; }
    QString Tag() const override { return tag; }
};

class TestHost : public ConsoleHost
{
public:
    explicit TestHost(TestPlatform &platform)
        : m_platform(platform)
    {
        setUids({QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("100"),
                 QStringLiteral("100")});
    }

    QString pane;
    QString mode = QStringLiteral("A");
    QStringList statuses;
    QList<int> statusSecs;
    int statusTimerStarts = 0;
    QStringList log;

    // Units 1 to uids.size() with these UIDs, registered as the layout pass does: the first unit of a UID
    // keeps its key.
    void setUids(const QStringList &uids)
    {
        m_units.clear();
        m_byUid.clear();
        m_units.push_back(std::make_unique<TestUnit>());
        for (const QString &uid : uids) {
            auto unit = std::make_unique<TestUnit>();
            unit->tag = uid;
            if (!m_byUid.contains(uid))
                m_byUid.insert(uid, int(m_units.size()));
            m_units.push_back(std::move(unit));
        }
    }
    TestUnit &unit(int n) { return *m_units.at(size_t(n)); }

    int NoUnits() const override { return int(m_units.size()) - 1; }
    UnitView *Unit(int n) override { return n >= 0 && size_t(n) < m_units.size() ? m_units[size_t(n)].get() : nullptr; }
    std::optional<int> unitByUID(const QString &uid) const override
    {
        const auto it = m_byUid.constFind(uid);
        return it == m_byUid.constEnd() ? std::nullopt : std::optional<int>(*it);
    }
    std::optional<QString> countText(int) const override { return std::nullopt; }
    void setCountText(int, const QString &) override {}
    std::optional<QString> countTag(int) const override { return std::nullopt; }
    void prependOut(const QString &text) override { pane.prepend(text); }
    QString filterMode() const override { return mode; }
    void SetStatus(const QString &text, int secs) override
    {
        statuses.append(text);
        statusSecs.append(secs);
    }
    void ensureStatusTimerRunning() override { ++statusTimerStarts; }
    void LOG(const QString &text) override { log.append(text); }
    Platform &platform() override { return m_platform; }

private:
    TestPlatform &m_platform;
    std::vector<std::unique_ptr<TestUnit>> m_units;
    QMap<QString, int> m_byUid;
};
