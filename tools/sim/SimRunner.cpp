#include "sim/SimRunner.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

// What may wait for the console to read. A real line loses what nobody listens to; here the pseudo-
// terminal's buffer fills when the console is not running, and a flood must not grow memory without end.
constexpr qsizetype kMaxQueuedBytes = 4 * 1024 * 1024;
// After EIO (no one has the slave open), look again this much later instead of spinning on a notifier.
constexpr int kRetryMs = 250;
constexpr int kFloodTickMs = 10;

} // namespace

SimRunner::SimRunner(const SimOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_controller(options)
    , m_noise(options.seed)
    , m_shaper(options, &m_noise)
{
    m_dueTimer.setSingleShot(true);
    m_pauseTimer.setSingleShot(true);
    m_readRetryTimer.setSingleShot(true);
    m_garbageTimer.setSingleShot(true);
    connect(&m_dueTimer, &QTimer::timeout, this, &SimRunner::pump);
    connect(&m_pauseTimer, &QTimer::timeout, this, [this] {
        m_pauseDone = true;
        writeSome();
    });
    connect(&m_readRetryTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
    m_writeRetryTimer.setSingleShot(true);
    connect(&m_writeRetryTimer, &QTimer::timeout, this, &SimRunner::writeSome);
    connect(&m_floodTimer, &QTimer::timeout, this, &SimRunner::floodTick);
    connect(&m_garbageTimer, &QTimer::timeout, this, &SimRunner::garbageTick);
}

SimRunner::~SimRunner()
{
    shutdown();
}

bool SimRunner::start(QString *error)
{
    if (!m_options.trace.isEmpty()) {
        m_trace.setFileName(m_options.trace);
        if (!m_trace.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("cannot write the trace file %1: %2").arg(m_options.trace, m_trace.errorString());
            return false;
        }
    }
    if (!m_pty.open(error) || !m_pty.createLink(m_options.dir, m_options.port, error))
        return false;

    m_clock.start();
    m_readNotifier = new QSocketNotifier(qintptr(m_pty.masterFd()), QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimRunner::onReadable);
    m_writeNotifier = new QSocketNotifier(qintptr(m_pty.masterFd()), QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SimRunner::writeSome);

    if (m_options.flood > 0) {
        m_floodStartMs = now();
        m_floodTimer.start(std::max(kFloodTickMs, 1000 / m_options.flood));
    }
    if (m_options.garbage)
        m_garbageTimer.start(m_noise.garbageGapMs());
    return true;
}

void SimRunner::shutdown()
{
    m_floodTimer.stop();
    m_garbageTimer.stop();
    m_dueTimer.stop();
    delete m_readNotifier;
    delete m_writeNotifier;
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    m_pty.removeLink();
    m_pty.close();
    m_trace.close();
}

void SimRunner::onReadable()
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_pty.masterFd(), buffer, sizeof buffer);
        if (n > 0) {
            const QByteArray bytes(buffer, n);
            if (m_trace.isOpen()) {
                m_trace.write(bytes);
                m_trace.flush();
            }
            const qint64 t = now();
            for (const LineSplitter::Line &line : m_splitter.push(bytes)) {
                if (line.overlong)
                    m_controller.receiveOverlong(t);
                else
                    m_controller.receiveLine(line.text, t);
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // EIO or end of file: nobody holds the other side. The notifier would fire again at once.
        m_readNotifier->setEnabled(false);
        m_readRetryTimer.start(kRetryMs);
        break;
    }
    pump();
}

void SimRunner::pump()
{
    const qint64 t = now();
    for (const QByteArray &line : m_controller.takeDue(t))
        enqueueLine(line);
    const qint64 next = m_controller.nextDueMs();
    if (next < 0)
        m_dueTimer.stop();
    else
        m_dueTimer.start(int(std::clamp<qint64>(next - t, 0, 24 * 3600 * 1000)));
}

void SimRunner::enqueueLine(const QByteArray &line)
{
    for (const OutputShaper::Chunk &chunk : m_shaper.shape(line))
        enqueue(chunk);
}

void SimRunner::enqueue(const OutputShaper::Chunk &chunk)
{
    if (m_queuedBytes + chunk.bytes.size() > kMaxQueuedBytes) {
        if (m_droppedBytes == 0)
            std::fprintf(stderr, "dispenser-sim: nobody reads the port; dropping output\n");
        m_droppedBytes += chunk.bytes.size();
        return;
    }
    m_queuedBytes += chunk.bytes.size();
    m_out.push_back(chunk);
    writeSome();
}

void SimRunner::writeSome()
{
    if (m_pty.masterFd() < 0)
        return;
    for (;;) {
        if (m_writing.isEmpty()) {
            if (m_out.empty()) {
                m_writeNotifier->setEnabled(false);
                return;
            }
            if (m_out.front().pauseBeforeMs > 0 && !m_pauseDone) {
                if (!m_pauseTimer.isActive())
                    m_pauseTimer.start(m_out.front().pauseBeforeMs);
                m_writeNotifier->setEnabled(false);
                return;
            }
            m_pauseDone = false;
            m_writing = m_out.front().bytes;
            m_out.pop_front();
        }
        const ssize_t n = ::write(m_pty.masterFd(), m_writing.constData(), size_t(m_writing.size()));
        if (n > 0) {
            m_writing.remove(0, n);
            m_queuedBytes -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        // A hangup: the notifier would report the descriptor writable again at once, so wait instead.
        m_writeNotifier->setEnabled(false);
        m_writeRetryTimer.start(kRetryMs);
        return;
    }
}

void SimRunner::jam()
{
    const QList<int> uids = m_controller.uids();
    if (!uids.isEmpty())
        enqueueLine(m_controller.formatLine(uids.front(), QByteArrayLiteral("[F] !!!"), QByteArrayLiteral("0")));
}

void SimRunner::floodTick()
{
    const qint64 due = (now() - m_floodStartMs) * m_options.flood / 1000;
    // After a stall, catch up by at most a second's worth instead of bursting everything at once.
    if (due - m_floodSent > m_options.flood)
        m_floodSent = due - m_options.flood;
    const QList<int> uids = m_controller.uids();
    while (m_floodSent < due) {
        const NoiseSource::Report r = m_noise.floodReport(uids);
        enqueueLine(m_controller.formatLine(r.uid, r.message, r.value));
        ++m_floodSent;
    }
}

void SimRunner::garbageTick()
{
    enqueue(OutputShaper::Chunk{m_noise.garbage(), 0});
    m_garbageTimer.start(m_noise.garbageGapMs());
}
