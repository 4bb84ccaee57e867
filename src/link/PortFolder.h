#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>

// Serial port numbers. Port n is COMn on Windows. Elsewhere it is the entry ports/COMn of the program
// folder, a symbolic link to a serial device (ports/COM4 -> /dev/ttyUSB0), so the operator keeps numbering
// ports the way the controller's documentation and the settings files do.
//
// Off Windows, serial devices that no link points to are given one at the lowest free number, in the order
// of their device paths, so a plugged-in adapter is found without setup and keeps its number afterwards.
// When the folder cannot be written those numbers live in this object for the run.
class PortFolder
{
public:
    // A serial device as the serial port layer lists it.
    struct SerialDevice
    {
        QString path; // /dev/ttyUSB0; \\.\COM4 on Windows
        QString name; // ttyUSB0; COM4 on Windows
        QString description; // may be empty
    };
    using Lister = std::function<QList<SerialDevice>()>;

    // Lists devices through QSerialPortInfo.
    explicit PortFolder(const QString &programFolder);
    // Lists devices through the given function (tests hand in devices they made).
    PortFolder(const QString &programFolder, Lister lister);

    // The name to open for port n: COMn on Windows; elsewhere the device the link ports/COMn resolves to
    // (so the serial port's lock file carries the device's own name), or the link itself when it leads
    // nowhere, so that opening fails as for a missing port. A number that nothing holds yet has the
    // devices numbered first, so an adapter plugged in since the last device list is found.
    QString devicePath(int n);
    // Where the link of port n lives (off Windows).
    QString linkPath(int n) const;
    // The folder holding the links.
    QString portsFolder() const;

    // One name per present port, "<description> (COMn)", in port-number order off Windows. The
    // description is the one the serial port layer gives for the device, or "Serial Port".
    QStringList deviceList();

    // Every port number that leads to a device, with its device path (off Windows).
    QMap<int, QString> knownPorts() const { return presentPorts(); }

    // Gives every listed serial device that has no number yet the lowest free one (off Windows; nothing
    // happens on Windows). deviceList() does this first.
    void assignNumbers();

    // Highest port number the console can address (the port number is a 16-bit setting).
    static constexpr int MaxPort = 32767;

private:
    // Port number of a ports/ entry name, 0 when the name is not COMn.
    static int numberOf(const QString &entryName);
    bool isTaken(int n) const;
    // Port number -> canonical device path, for every link (and memory number) that leads to a device.
    QMap<int, QString> presentPorts() const;

    QString m_folder;
    Lister m_lister;
    QMap<int, QString> m_memory; // number -> device path
};
