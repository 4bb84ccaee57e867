#pragma once

// What the controller-link tests share: a pseudo-terminal playing the controller's end of the line, a
// platform whose sleeps are virtual (or real where the wire spacing is the subject), a host whose panels,
// pane, status line and log the tests read back, and a rig wiring them to one console.

#include "Comm1.h"
#include "CommandSender.h"
#include "ConsoleHost.h"
#include "Platform.h"
#include "PortFolder.h"
#include "ResponseProcessor.h"
#include "SettingsSchema.h"
#include "mSettings.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
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

// The controller's end. A thread records what the console writes and when each of its lines was complete.
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
        if (m_slave >= 0 && ::tcgetattr(m_slave, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(m_slave, TCSANOW, &t);
        }
        m_reader = std::thread([this] { readLoop(); });
    }
    ~PtyPeer() { hangUp(); }

    bool isValid() const { return m_master >= 0 && m_slave >= 0; }
    QString slaveName() const { return m_slaveName; }
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
    // Writes without waiting for the other side (large amounts, from another thread).
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

    // Plays a controller that greets every probe line, delayMs after it came.
    void greetProbes(const QByteArray &greeting, int delayMs)
    {
        std::lock_guard lock(m_mutex);
        m_greeting = greeting;
        m_greetDelay = std::chrono::milliseconds(delayMs);
    }

    QByteArray received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    bool waitReceived(const QByteArray &needle, int times = 1) const
    {
        for (int ms = 0; received().count(needle) < times; ++ms) {
            if (ms > 2000)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    // Milliseconds since the peer was made at which the console's nth line (from 0) was complete.
    qint64 lineTime(int n) const
    {
        std::lock_guard lock(m_mutex);
        return m_lineTimes.value(n, -1);
    }

    // The controller goes away: both ends closed, the device node disappears.
    void hangUp()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        for (int fd : {m_slave, m_master})
            if (fd >= 0)
                ::close(fd);
        m_slave = m_master = -1;
    }

private:
    void readLoop()
    {
        char buf[65536];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            const ssize_t n = ::poll(&p, 1, 10) > 0 ? ::read(m_master, buf, sizeof buf) : 0;
            const auto now = std::chrono::steady_clock::now();
            const auto at = now - m_start;
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                m_received += buf[i];
                if (m_received.endsWith("\r\n"))
                    m_lineTimes.append(std::chrono::duration_cast<std::chrono::milliseconds>(at).count());
                if (!m_greeting.isEmpty() && m_received.endsWith("DP>\n"))
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
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::thread m_reader;
    std::atomic_bool m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
    QList<qint64> m_lineTimes;
    QByteArray m_greeting;
    std::chrono::milliseconds m_greetDelay{0};
    std::vector<std::chrono::steady_clock::time_point> m_greetAt;
};

// Sleeps advance a virtual clock; hooks let a test act as the controller during a blocking wait.
class TestPlatform : public Platform
{
public:
    bool realSleep = false;
    qint64 virtualMs = 0;
    QList<int> sleeps;
    int deviceListCalls = 0;
    QStringList devices;
    QString folder;
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
        if (onDoEvents)
            onDoEvents();
        QCoreApplication::processEvents();
    }
    QDateTime now() const override { return QDateTime(QDate(2024, 7, 26), QTime(14, 5)).addMSecs(virtualMs); }
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
    QString c1, c3, c4, tag;
    qint32 state = 4194304;
    bool checked = false;

    QString caption1() const override { return c1; }
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

// Panel 0 is "All Units"; panels 1.. carry the UIDs given.
class TestHost : public ConsoleHost
{
public:
    TestHost(TestPlatform &platform, const QStringList &uids)
        : m_platform(platform)
    {
        for (int n = 0; n <= uids.size(); ++n) {
            m_units.push_back(std::make_unique<TestUnit>());
            m_units.back()->tag = n ? uids.at(n - 1) : QString();
            m_units.back()->c1 = n ? QStringLiteral("UNIT %1").arg(n) : QStringLiteral("All Units");
        }
    }

    QString pane;
    QString mode = QStringLiteral("A");
    QStringList statuses;
    QList<int> statusSecs;
    int statusTimerStarts = 0;
    QStringList log;

    TestUnit &unit(int n) { return *m_units.at(size_t(n)); }

    int NoUnits() const override { return int(m_units.size()) - 1; }
    UnitView *Unit(int n) override { return n >= 0 && size_t(n) < m_units.size() ? m_units[size_t(n)].get() : nullptr; }
    std::optional<int> unitByUID(const QString &uid) const override
    {
        for (size_t n = 1; n < m_units.size(); ++n)
            if (m_units[n]->tag == uid)
                return int(n);
        return std::nullopt;
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
};

// One console in a fresh program folder whose command catalogue knows HOME, Id (stored as a dash),
// Save Settings and STOP. With a port number, a controller is linked there and the port is open.
struct LinkRig
{
    explicit LinkRig(int port, const QStringList &uids = {})
        : host(platform, uids)
    {
        mSettings::setProgramFolder(dir.path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        const QMap<QString, QString> catalogue{{QStringLiteral("HOME"), QStringLiteral("H")},
                                               {QStringLiteral("Id"), QStringLiteral("-")},
                                               {QStringLiteral("Save Settings"), QStringLiteral("SV,9")},
                                               {QStringLiteral("STOP"), QStringLiteral("S")}};
        for (auto it = catalogue.begin(); it != catalogue.end(); ++it)
            SettingsSchema::Setting(SettingsSchema::Key::InternalCommand, it.key()).write(it.value());
        mSettings::resetPaths(); // the console must find the catalogue by itself
        platform.folder = dir.path();
        if (port > 0) {
            comm.setCommPort(port);
            ok = ok && peer->isValid() && peer->linkAs(dir.path(), port) && comm.setPortOpen(true);
        }
    }
    TestUnit &unit(int n) { return host.unit(n); }

    QTemporaryDir dir;
    TestPlatform platform;
    TestHost host;
    std::unique_ptr<PtyPeer> peer = std::make_unique<PtyPeer>();
    PortFolder ports{dir.path(), [] { return QList<PortFolder::SerialDevice>{}; }}; // none of the machine's own
    Comm1 comm{ports};
    CommandSender sender{host, comm};
    ResponseProcessor processor{host, comm, sender};
    bool ok = dir.isValid();
};
