#include "link/modMain.h"

#include "common/NumberText.h"
#include "common/Platform.h"

#include <QSet>

namespace modMain {

namespace {

// The controller's product word; only this capitalisation counts.
const QString Greeting = QStringLiteral("Tessaloran");
const QString ProbeLine = QStringLiteral("DP>\n");

} // namespace

qint32 portNumberOf(const QString &name)
{
    const qsizetype com = name.indexOf(QLatin1String("COM"));
    if (com < 0 || name.contains(QLatin1String("COM ")))
        return 0;
    const qint32 n = numtext::toInt32(numtext::read(name.mid(com + 3))).value_or(0);
    return n > 0 ? n : 0;
}

// --- ProbePort ----------------------------------------------------------------------------------------

ProbePort::ProbePort(Comm1 &comm, qint32 port, QObject *parent)
    : QObject(parent)
    , m_comm(comm)
    , m_port(port)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(StepMs);
    connect(&m_timer, &QTimer::timeout, this, &ProbePort::step);
}

void ProbePort::start(bool timed)
{
    if (m_comm.PortOpen() && m_comm.CommPort() == m_port) {
        m_opened = true;
    } else {
        m_comm.setPortOpen(false);
        // A number the port cannot take would leave the previous port set, and the controller found there
        // would be reported under the wrong number.
        m_opened = m_comm.setCommPort(m_port) && m_comm.setPortOpen(true);
    }
    if (timed)
        m_timer.start();
}

void ProbePort::step()
{
    if (m_done)
        return;
    ++m_steps;
    if (m_steps == 1) {
        // A port that would not open has cost one pause and gets nothing sent.
        if (!m_opened) {
            finish(false);
        } else {
            // Exactly the four bytes of the probe: a line end sent before it could complete a fragment the
            // controller holds into a command of its own.
            m_comm.post(ProbeLine);
        }
        return;
    }
    if (m_steps == 2)
        return; // the pause after the probe line
    ++m_reads;
    const QString text = m_comm.Input();
    m_received += text;
    if (m_received.size() > MaxKept)
        m_received.remove(0, m_received.size() - MaxKept);
    m_tail += text;
    const bool found = m_tail.contains(Greeting);
    if (found || m_reads > MaxReads) {
        finish(found);
        return;
    }
    if (m_tail.size() >= Greeting.size())
        m_tail = m_tail.right(Greeting.size() - 1);
}

void ProbePort::cancel()
{
    m_timer.stop();
    m_done = true;
}

void ProbePort::finish(bool answered)
{
    m_timer.stop();
    m_done = true;
    m_answered = answered;
    emit finished(answered);
}

// --- FindPort -----------------------------------------------------------------------------------------

FindPort::FindPort(Comm1 &comm, Platform &platform, QObject *parent)
    : QObject(parent)
    , m_comm(comm)
    , m_platform(platform)
{}

FindPort::~FindPort()
{
    dropProbes();
}

bool FindPort::start(const QString &Port)
{
    if (m_running)
        return false;
    m_running = true;
    m_received = {};
    m_firstRead.clear();
    // The receive poll must not take the greeting, nor reopen the configured port while the list is probed.
    m_pause.emplace(m_comm);
    m_configured = m_comm.CommPort();

    const double configured = numtext::read(Port);
    const std::optional<qint32> n = configured > 0 ? numtext::toInt32(configured) : std::nullopt;
    if (!n) {
        QMetaObject::invokeMethod(this, &FindPort::probeDeviceList, Qt::QueuedConnection);
        return true;
    }
    m_configured = *n;
    emit probingConfiguredPort(*n);
    m_first = new ProbePort(m_comm, *n, this);
    connect(m_first, &ProbePort::finished, this, &FindPort::configuredPortDone);
    m_first->start();
    return true;
}

void FindPort::configuredPortDone(bool answered)
{
    if (answered) {
        // The configured port is the link already; it stays open, and what it said continues on it.
        m_received.open = m_first->received();
        finish(m_first->port());
        return;
    }
    // The port closes for the list's probes: what it said, the probe's reads and what came after them,
    // belongs to the receive path if the search ends on this port.
    m_firstRead = m_first->received() + m_comm.Input();
    probeDeviceList();
}

void FindPort::probeDeviceList()
{
    if (!m_running)
        return;
    m_comm.setPortOpen(false);
    // A port listed twice would fail its second open while the first probe holds it; one probe tells.
    QSet<qint32> seen;
    for (const QString &name : m_platform.deviceList()) {
        const qint32 n = portNumberOf(name);
        if (n <= 0 || seen.contains(n))
            continue;
        seen.insert(n);
        auto *comm = new Comm1(m_comm.ports(), this);
        auto *probe = new ProbePort(*comm, n, this);
        connect(probe, &ProbePort::finished, this, &FindPort::deviceProbeDone);
        m_candidates.push_back({comm, probe});
    }
    if (m_candidates.empty()) {
        finish(0);
        return;
    }
    emit probingDeviceList(int(m_candidates.size()));
    for (const Candidate &c : m_candidates)
        c.probe->start();
}

void FindPort::deviceProbeDone()
{
    // The first port in list order that answered, once every port before it has said it is not the one.
    for (std::size_t i = 0; i < m_candidates.size(); ++i) {
        const ProbePort *probe = m_candidates[i].probe;
        if (!probe->isDone())
            return;
        if (probe->answered()) {
            finish(probe->port());
            return;
        }
    }
    finish(0);
}

void FindPort::keepReceived(qint32 port)
{
    if (m_first && m_first->port() == port && !m_firstRead.isEmpty())
        m_received.ended.append(std::exchange(m_firstRead, {}));
    // What the probe of the list read, and what its port holds still.
    for (const Candidate &c : m_candidates) {
        if (c.probe->port() != port)
            continue;
        const QString text = c.probe->received() + c.comm->Input();
        if (!text.isEmpty())
            m_received.ended.append(text);
    }
}

void FindPort::finish(qint32 port)
{
    keepReceived(port > 0 ? port : m_configured);
    dropProbes();
    m_pause.reset();
    m_running = false;
    if (port > 0 && !(m_comm.CommPort() == port && m_comm.PortOpen())) {
        m_comm.setPortOpen(false);
        m_comm.setCommPort(port);
        m_comm.setPortOpen(true);
    } else if (port <= 0) {
        // Never left on a stranger: the link goes back to the port the settings name.
        m_comm.setPortOpen(false);
        m_comm.setCommPort(m_configured);
        m_comm.setPortOpen(true);
    }
    emit finished(port > 0 ? port : 0);
}

void FindPort::cancel()
{
    if (!m_running)
        return;
    // The window closes: what the configured port said during the search is the link's.
    if (m_first && !m_first->isDone())
        m_received.open = m_first->received();
    keepReceived(m_configured);
    dropProbes();
    m_pause.reset();
    m_running = false;
}

void FindPort::dropProbes()
{
    // The probes may be on the stack below this call (their signal ended the search): they go later.
    if (m_first) {
        m_first->cancel();
        m_first->deleteLater();
        m_first = nullptr;
    }
    for (const Candidate &c : m_candidates) {
        c.probe->cancel();
        c.comm->setPortOpen(false);
        c.probe->deleteLater();
        c.comm->deleteLater();
    }
    m_candidates.clear();
}

} // namespace modMain
