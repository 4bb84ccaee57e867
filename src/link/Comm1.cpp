#include "link/Comm1.h"

#include "common/Ansi.h"
#include "link/PortFolder.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <utility>

namespace {

// Reads per pull: each takes up to 32 KiB from the operating system, so one pull takes everything a real
// line can have delivered in a tick, while a device that never stops talking cannot hold the window.
constexpr int MaxReadsPerPull = 64;

// How long a write may take to leave for the line before it counts as failed. A command line takes about
// 12 ms at 9600 baud; a device that takes no data at all must not hang the window.
constexpr int WriteTimeoutMs = 2000;

} // namespace

Comm1::Comm1(PortFolder &ports, QObject *parent)
    : QObject(parent)
    , m_ports(ports)
    , m_serial(new QSerialPort(this))
{
    connect(m_serial, &QSerialPort::errorOccurred, this, &Comm1::onError);
}

Comm1::~Comm1()
{
    if (m_serial->isOpen())
        m_serial->close();
}

bool Comm1::setCommPort(int n)
{
    if (m_serial->isOpen() || n < 1 || n > PortFolder::MaxPort)
        return false;
    m_port = n;
    return true;
}

bool Comm1::PortOpen() const
{
    return m_serial->isOpen();
}

bool Comm1::setPortOpen(bool open)
{
    if (!open) {
        if (m_serial->isOpen())
            m_serial->close();
        m_failed = false;
        m_unread.clear();
        return true;
    }
    if (m_serial->isOpen())
        return true;
    m_serial->setPortName(m_ports.devicePath(m_port));
    m_serial->setBaudRate(QSerialPort::Baud9600);
    m_serial->setDataBits(QSerialPort::Data8);
    m_serial->setParity(QSerialPort::NoParity);
    m_serial->setStopBits(QSerialPort::OneStop);
    m_serial->setFlowControl(QSerialPort::NoFlowControl);
    m_serial->clearError();
    m_failed = false;
    m_closeQueued = false;
    m_unread.clear();
    ++m_generation;
    if (!m_serial->open(QIODevice::ReadWrite)) {
        m_serial->clearError();
        return false;
    }
    return true;
}

Comm1::Written Comm1::send(const QString &text)
{
    // The caller's pauses between lines must be pauses on the wire: wait until the line has left.
    if (!post(text))
        return Written::None;
    QElapsedTimer clock;
    clock.start();
    while (m_serial->isOpen() && !m_failed && m_serial->bytesToWrite() > 0) {
        const qint64 left = WriteTimeoutMs - clock.elapsed();
        if (left <= 0 || !m_serial->waitForBytesWritten(int(left)))
            break;
    }
    const qint64 left = m_serial->isOpen() ? m_serial->bytesToWrite() : 0;
    if (m_serial->isOpen() && !m_failed && left == 0)
        return Written::Whole;
    // A line reported as not sent must not leave later, whole or in part, when the peer reads again.
    dropOutput();
    // What was still queued is the line's tail: the port took the rest, which may have reached the unit.
    // (A port that failed after taking it all took it all the same.)
    return left < ansi::encode(text).size() ? Written::Part : Written::None;
}

bool Comm1::post(const QString &text)
{
    if (!m_serial->isOpen() || m_failed)
        return false;
    const QByteArray bytes = ansi::encode(text);
    if (m_serial->write(bytes) != bytes.size()) {
        dropOutput();
        return false;
    }
    // Hands what the line takes now to the driver, without waiting; the event loop writes the rest.
    m_serial->flush();
    return true;
}

void Comm1::dropOutput()
{
    if (m_serial->isOpen())
        m_serial->clear(QSerialPort::Output);
}

bool Comm1::pull()
{
    // Bytes reach the port's buffer only through the event loop or a wait; the window thread may have
    // slept through their arrival.
    for (int i = 0; i < MaxReadsPerPull && m_serial->isOpen() && !m_failed; ++i) {
        if (!m_serial->waitForReadyRead(0))
            break;
    }
    return m_serial->isOpen() && !m_failed;
}

qint64 Comm1::InBufferCount()
{
    if (!m_serial->isOpen())
        return m_unread.isEmpty() ? -1 : m_unread.size();
    const bool ok = pull();
    const qint64 waiting = m_serial->bytesAvailable();
    // What arrived before the link failed is still counted, so it is taken and not lost with the port.
    if (!ok && waiting == 0)
        return -1;
    return waiting;
}

QString Comm1::Input(bool *ok)
{
    if (!m_serial->isOpen()) {
        if (ok)
            *ok = false;
        return ansi::decode(std::exchange(m_unread, {}));
    }
    const bool pulled = pull();
    const QByteArray bytes = std::exchange(m_unread, {}) + m_serial->readAll();
    if (ok)
        *ok = pulled;
    return ansi::decode(bytes);
}

void Comm1::onError()
{
    switch (m_serial->error()) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError: break;
    default:
        // A wait with nothing to read reports TimeoutError, and clearing reports NoError: neither is a
        // fault of the link. Open failures are answered by setPortOpen itself.
        return;
    }
    if (!m_serial->isOpen())
        return;
    m_failed = true;
    // After a hangup the device can report errors in a busy loop; closing inside the error signal is
    // not safe, so the close waits for the event loop. Once is enough per open.
    if (!m_closeQueued) {
        m_closeQueued = true;
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            this, [this, generation] { closeAfterFailure(generation); }, Qt::QueuedConnection);
    }
}

void Comm1::closeAfterFailure(quint64 generation)
{
    m_closeQueued = false;
    // The receive step may already have closed and reopened the port; the new link is not the failed one.
    if (generation != m_generation || !m_failed)
        return;
    // Closing drops the port's buffer; what arrived before the failure is kept for the next Input. What
    // was on its way out goes, in the driver too, so that it cannot leave after the next line's start.
    if (m_serial->isOpen()) {
        m_unread += m_serial->readAll();
        dropOutput();
        m_serial->close();
    }
}

Comm1::PollPause::PollPause(Comm1 &comm)
    : m_comm(comm)
{
    ++m_comm.m_pollPauses;
}

Comm1::PollPause::~PollPause()
{
    --m_comm.m_pollPauses;
}
