#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class PortFolder;
class QSerialPort;

// The serial link to the controller: 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
// Port number n is resolved through the PortFolder. Text crosses in the system's 8-bit code page.
class Comm1 : public QObject
{
    Q_OBJECT
public:
    explicit Comm1(PortFolder &ports, QObject *parent = nullptr);
    ~Comm1() override;

    int CommPort() const { return m_port; }
    // Refused (false, nothing changed) while the port is open, and for numbers outside 1 to 32767.
    bool setCommPort(int n);

    bool PortOpen() const;
    // Opening an open port, or closing a closed one, is no error. False when the open failed.
    bool setPortOpen(bool open);

    // How much of a line the port took.
    enum class Written { Whole, None, Part };

    // Writes the text in one write and waits until it has left for the line. When it has not left whole
    // within the time a line may take, the rest is thrown away (in our buffer and in the driver's), so no
    // byte of it leaves later: Part when the port took some of the text before, None when it took nothing
    // (or the port is closed). Nothing is ever sent to end or cancel what left: a line end on its own
    // would complete a cut line as a shorter command (">XC,12,10" of ">XC,12,101"), whereas a fragment
    // glued to the front of the next whole line makes a line the controller refuses.
    Written send(const QString &text);

    // Writes the text without waiting for the line to take it (the controller probe, which must not hold
    // the window). False when the port is closed or the write was refused.
    bool post(const QString &text);

    // Received characters waiting. Pulls what the operating system holds first, so bytes that arrived
    // while the window thread slept are counted. -1 when reading the port failed (the port is closed, or
    // the device has gone).
    qint64 InBufferCount();
    // Takes everything received. ok is false when reading the port failed; what was received before the
    // failure is still returned.
    QString Input(bool *ok = nullptr);

    // The controller probe and the receive poll share this port. While a probe runs the poll keeps its
    // hands off, so the probe sees the greeting; the guards nest.
    class PollPause
    {
    public:
        explicit PollPause(Comm1 &comm);
        ~PollPause();
        PollPause(const PollPause &) = delete;
        PollPause &operator=(const PollPause &) = delete;

    private:
        Comm1 &m_comm;
    };
    bool pollPaused() const { return m_pollPauses > 0; }

    // The port numbers this link resolves; a probe of another port makes a link of its own from them.
    PortFolder &ports() const { return m_ports; }

    // Which opening of the port the text Input gives now comes from; it changes with every open.
    quint64 opening() const { return m_generation; }

private:
    void onError();
    void closeAfterFailure(quint64 generation);
    // Reads what the operating system holds into the port's buffer. False when the link failed.
    bool pull();
    // Throws away what has not left yet, ours and the driver's.
    void dropOutput();

    PortFolder &m_ports;
    QSerialPort *m_serial = nullptr;
    int m_port = 1;
    int m_pollPauses = 0;
    // Set when the device reported a read, write or resource error since the port was opened.
    bool m_failed = false;
    bool m_closeQueued = false;
    // Received before a failed link was closed, not yet taken.
    QByteArray m_unread;
    // Counts opens, so a close queued for a failed link never closes the port opened after it, and text of
    // one opening is never taken for the continuation of another's.
    quint64 m_generation = 0;
};
