#include "records/SetAside.h"

#include <QDir>
#include <QFile>

namespace setaside {

QString append(const QString &logFolder, const QString &name, QDate day, const QByteArray &lines)
{
    const QString fileName =
        name + QStringLiteral("-rejected-") + day.toString(QStringLiteral("yy-MM-dd")) + QStringLiteral(".txt");
    QFile file(QDir(logFolder).filePath(fileName));
    if (!QDir().mkpath(logFolder) || !file.open(QIODevice::WriteOnly | QIODevice::Append)
        || file.write(lines) != lines.size() || !file.flush())
        return {};
    return QStringLiteral("Log/") + fileName;
}

QString note(qsizetype count, const QString &from, const QString &file)
{
    const QString lines =
        QString::number(count) + (count == 1 ? QStringLiteral(" line of ") : QStringLiteral(" lines of ")) + from;
    if (file.isEmpty())
        return u'[' + lines + QStringLiteral(" could not be read, nor set aside]");
    return u'[' + lines + QStringLiteral(" set aside in ") + file + u']';
}

} // namespace setaside
