#include "link/PortFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSet>

#include <algorithm>

namespace {

QList<PortFolder::SerialDevice> listSerialDevices()
{
    QList<PortFolder::SerialDevice> devices;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        devices.append({info.systemLocation(), info.portName(), info.description()});
    return devices;
}

QString describe(const QString &description)
{
    return description.isEmpty() ? QStringLiteral("Serial Port") : description;
}

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

} // namespace

PortFolder::PortFolder(const QString &programFolder)
    : PortFolder(programFolder, &listSerialDevices)
{}

PortFolder::PortFolder(const QString &programFolder, Lister lister)
    : m_folder(programFolder)
    , m_lister(lister ? std::move(lister) : Lister(&listSerialDevices))
{}

QString PortFolder::portsFolder() const
{
    return QDir(m_folder).filePath(QStringLiteral("ports"));
}

QString PortFolder::linkPath(int n) const
{
    return QDir(portsFolder()).filePath(QStringLiteral("COM") + QString::number(n));
}

QString PortFolder::devicePath(int n)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    const QString link = linkPath(n);
    if (!isTaken(n))
        assignNumbers();
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists()) {
        const QString target = info.canonicalFilePath();
        return target.isEmpty() ? link : target;
    }
    const auto mem = m_memory.constFind(n);
    if (mem != m_memory.constEnd())
        return canonical(*mem);
    return link;
#endif
}

int PortFolder::numberOf(const QString &entryName)
{
    if (!entryName.startsWith(QLatin1String("COM")) || entryName.size() < 4 || entryName.size() > 8)
        return 0;
    // Only the plain spelling: COM07 and COM+7 are not port 7's link.
    if (entryName.at(3) == u'0')
        return 0;
    int n = 0;
    for (qsizetype i = 3; i < entryName.size(); ++i) {
        const QChar c = entryName.at(i);
        if (c < u'0' || c > u'9')
            return 0;
        n = n * 10 + (c.unicode() - u'0');
        if (n > MaxPort)
            return 0;
    }
    return n;
}

bool PortFolder::isTaken(int n) const
{
    if (m_memory.contains(n))
        return true;
    // A link whose device is unplugged still holds its number, so the adapter gets it back.
    const QFileInfo info(linkPath(n));
    return info.isSymLink() || info.exists();
}

QMap<int, QString> PortFolder::presentPorts() const
{
    QMap<int, QString> present;
    const QDir dir(portsFolder());
    const QStringList entries =
        dir.entryList(QDir::Files | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &entry : entries) {
        const int n = numberOf(entry);
        if (n <= 0)
            continue;
        const QFileInfo info(dir.filePath(entry));
        if (!info.isSymLink())
            continue;
        const QString target = info.canonicalFilePath();
        if (!target.isEmpty())
            present.insert(n, target);
    }
    for (auto it = m_memory.constBegin(); it != m_memory.constEnd(); ++it) {
        if (!present.contains(it.key()) && QFileInfo::exists(*it))
            present.insert(it.key(), canonical(*it));
    }
    return present;
}

void PortFolder::assignNumbers()
{
#ifndef Q_OS_WIN
    QList<SerialDevice> devices = m_lister();
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.path < b.path; });

    QSet<QString> numbered;
    const QDir dir(portsFolder());
    const QStringList entries = dir.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &entry : entries) {
        if (numberOf(entry) <= 0)
            continue;
        const QFileInfo info(dir.filePath(entry));
        if (!info.isSymLink())
            continue;
        const QString target = info.canonicalFilePath();
        numbered.insert(target.isEmpty() ? info.symLinkTarget() : target);
    }
    for (const QString &path : std::as_const(m_memory))
        numbered.insert(canonical(path));

    bool folderReady = QDir().mkpath(portsFolder());
    int next = 1;
    for (const SerialDevice &device : std::as_const(devices)) {
        if (device.path.isEmpty() || numbered.contains(canonical(device.path)))
            continue;
        while (next <= MaxPort && isTaken(next))
            ++next;
        if (next > MaxPort)
            return;
        if (!folderReady || !QFile::link(device.path, linkPath(next))) {
            folderReady = false;
            m_memory.insert(next, device.path);
        }
        numbered.insert(canonical(device.path));
    }
#endif
}

QStringList PortFolder::deviceList()
{
    QStringList names;
#ifdef Q_OS_WIN
    const QList<SerialDevice> devices = m_lister();
    for (const SerialDevice &device : devices)
        names.append(describe(device.description) + QStringLiteral(" (") + device.name + u')');
#else
    assignNumbers();
    const QList<SerialDevice> devices = m_lister();
    QMap<QString, QString> descriptions; // canonical path -> description
    for (const SerialDevice &device : devices)
        descriptions.insert(canonical(device.path), device.description);
    const QMap<int, QString> present = presentPorts();
    for (auto it = present.constBegin(); it != present.constEnd(); ++it) {
        names.append(describe(descriptions.value(*it)) + QStringLiteral(" (COM") + QString::number(it.key()) + u')');
    }
#endif
    return names;
}
