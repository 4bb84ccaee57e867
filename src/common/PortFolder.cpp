#include "PortFolder.h"

PortFolder::PortFolder(const QString &programFolder)
    : m_folder(programFolder)
{
}

QString PortFolder::devicePath(int n) const
{
    return m_folder + QStringLiteral("/ports/COM") + QString::number(n);
}

QStringList PortFolder::deviceList()
{
    return {};
}
