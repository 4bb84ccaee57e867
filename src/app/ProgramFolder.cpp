#include "app/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

bool folderIsWritable(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(u".vorn-write-XXXXXX"_s));
    return probe.open();
}

ProgramFolderChoice chooseProgramFolder(const QString &given, const QString &executableFolder,
                                        const QString &userDataFolder)
{
    if (!given.isEmpty())
        return {QDir(given).absolutePath(), u"given with --dir"_s};
    if (QFileInfo(QDir(executableFolder).filePath(QString::fromUtf16(installedMarker))).isFile())
        return {userDataFolder,
                u"the per-user data folder, as this copy was installed (%1 beside the executable)"_s.arg(
                    QString::fromUtf16(installedMarker))};
#ifdef Q_OS_WIN
    return {executableFolder, u"the executable's folder"_s};
#else
    if (folderIsWritable(executableFolder))
        return {executableFolder, u"the executable's folder, which is writable"_s};
    return {userDataFolder,
            u"the per-user data folder, as the executable's folder %1 cannot be written"_s.arg(
                QDir::toNativeSeparators(executableFolder))};
#endif
}
