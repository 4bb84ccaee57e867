#pragma once

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
    // Refused (false, nothing changed) while the port is open.
    bool setCommPort(int n);

    bool PortOpen() const;
    // Opening an open port, or closing a closed one, is no error. False when the open failed.
    bool setPortOpen(bool open);

    // Writes the text and waits until it has left for the line. False when the port is closed or the
    // write failed.
    bool Output(const QString &text);

    // Received characters waiting. Pulls what the operating system holds first, so bytes that arrived
    // while the window thread slept are counted. -1 when reading the port failed.
    qint64 InBufferCount();
    // Takes everything received. ok is false when reading the port failed.
    QString Input(bool *ok = nullptr);

private:
    PortFolder &m_ports;
    QSerialPort *m_serial = nullptr;
    int m_port = 1;
};
