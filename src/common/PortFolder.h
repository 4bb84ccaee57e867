#pragma once

#include <QString>
#include <QStringList>

// Serial port numbers: port n is COMn on Windows and the link ports/COMn in the program folder elsewhere.
class PortFolder
{
public:
    explicit PortFolder(const QString &programFolder);

    // The name to open for port n.
    QString devicePath(int n) const;
    // One name per port, "<description> (COMn)".
    QStringList deviceList();

private:
    QString m_folder;
};
