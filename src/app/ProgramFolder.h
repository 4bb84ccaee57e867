#pragma once

#include <QString>

// Which folder the console keeps its files in (settings, Log, update script, ports) and why, so --help
// can tell the operator. A folder given with --dir wins. Otherwise the executable's folder, as on the
// operator's Windows PC and in a build tree or a portable copy; but once installed (/usr/bin) that folder
// cannot be written, and the per-user data folder takes its place.
struct ProgramFolderChoice
{
    QString path;
    QString reason;
};

ProgramFolderChoice chooseProgramFolder(const QString &given, const QString &executableFolder,
                                        const QString &userDataFolder);

// True when a file can be made in the folder. Asked of the file system itself rather than of the
// permission bits, which say yes to root on a read-only mount or in /proc.
bool folderIsWritable(const QString &folder);
