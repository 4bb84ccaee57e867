#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>
#include <utility>
#include <vector>

#include "link/Comm1.h"

class Platform;

// Finding the controller's serial port: the configured port first, then every COM port the device list
// names. A port is the controller's when the greeting "Tessaloran" comes back after the probe line.
//
// The search runs on timers in the window's event loop: the window is on screen and answers the operator
// while it waits, and the ports of the device list are probed side by side rather than one after the other.
namespace modMain {

// The port number a device-list name shows ("USB Serial Device (COM4)" gives 4), or 0 when the name is to
// be skipped: no "COM", a "COM " anywhere, or no number after the first "COM". Case-sensitive.
qint32 portNumberOf(const QString &name);

// The probe of one port: open it (a link already open on that port stays open, so nothing it holds is
// lost), 50 ms later send "DP>" and a line feed (four bytes, nothing before them), 50 ms later start reading, and read
// up to 51 times 50 ms apart until the greeting has come. The port stays open whatever the outcome; whoever owns the
// link decides what happens to it next.
class ProbePort : public QObject
{
    Q_OBJECT
public:
    static constexpr int StepMs = 50;
    // The read that makes the count exceed this is the last.
    static constexpr int MaxReads = 50;

    ProbePort(Comm1 &comm, qint32 port, QObject *parent = nullptr);

    // Opens the port and starts the steps. Paced by a timer unless timed is false: then whoever made the
    // probe calls step() (the tests, so that each read happens exactly when they say).
    void start(bool timed = true);
    // One 50 ms step: the probe line after the first, a read after each from the third on.
    void step();
    // Stops without a result; no further step touches the port.
    void cancel();

    qint32 port() const { return m_port; }
    bool isDone() const { return m_done; }
    bool answered() const { return m_answered; }
    // Everything the probe read, the greeting and whatever came with it (the newest MaxKept characters).
    QString received() const { return m_received; }
    static constexpr qsizetype MaxKept = 1024 * 1024;

signals:
    // Once per probe, unless cancelled.
    void finished(bool answered);

private:
    void finish(bool answered);

    Comm1 &m_comm;
    qint32 m_port;
    QTimer m_timer;
    bool m_opened = false;
    bool m_done = false;
    bool m_answered = false;
    int m_steps = 0;
    int m_reads = 0;
    // The last few characters received: enough to find a greeting that arrived in pieces, however much
    // else the port says.
    QString m_tail;
    QString m_received;
};

// FindPort: the configured port alone first; when it does not answer, every port of the device list at
// once, the result being the first in list order that answered, as a walk of the list would give. While
// it runs the receive poll leaves the link alone. Afterwards the link is open on the port found, or back
// on the configured port when none answered, never on a stranger that was probed.
class FindPort : public QObject
{
    Q_OBJECT
public:
    FindPort(Comm1 &comm, Platform &platform, QObject *parent = nullptr);
    ~FindPort() override;

    // Starts a search; Port is the configured port number as text (0, empty or not a number: straight to
    // the device list). False when a search is already running.
    bool start(const QString &Port);
    // Ends a running search without a result (the window is closing): every probed port is closed.
    void cancel();
    bool isRunning() const { return m_running; }
    // What the controller said during the search on the port the search ended on (the greeting among it),
    // during any of its probes, in the order it came, for the receive path. Taken once.
    struct Received
    {
        // Each the text of an opening of the port that is closed now.
        QStringList ended;
        // The text of the opening the link is still on.
        QString open;
    };
    Received takeReceived() { return std::exchange(m_received, {}); }

signals:
    void probingConfiguredPort(qint32 port);
    void probingDeviceList(int ports);
    // The port found, or 0.
    void finished(qint32 port);

private:
    void configuredPortDone(bool answered);
    void probeDeviceList();
    void deviceProbeDone();
    void finish(qint32 port);
    // Gathers what the probes of the port the search ends on read.
    void keepReceived(qint32 port);
    void dropProbes();

    Comm1 &m_comm;
    Platform &m_platform;
    bool m_running = false;
    qint32 m_configured = 0;
    std::optional<Comm1::PollPause> m_pause;
    ProbePort *m_first = nullptr;
    struct Candidate
    {
        Comm1 *comm;
        ProbePort *probe;
    };
    std::vector<Candidate> m_candidates;
    // What the probe of the configured port read, once its opening is over.
    QString m_firstRead;
    Received m_received;
};

} // namespace modMain
