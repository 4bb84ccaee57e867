#pragma once

#include <QString>

// Which folder the console keeps its files in (settings, Log, update script, ports) and why, so --help
// can tell the operator. A folder given with --dir wins. Otherwise the executable's folder, as in a build
// tree or a portable copy (the Windows zip); but an installed copy keeps them in the per-user data folder:
// the Windows installer leaves its mark beside the exe (the program's folder is then the installer's and
// the uninstaller's, and an upgrade must not touch the operator's files), and /usr/bin cannot be written.
struct ProgramFolderChoice
{
    QString path;
    QString reason;
};

// The file the Windows installer writes beside vorn.exe.
inline constexpr char16_t installedMarker[] = u"installed.txt";

ProgramFolderChoice chooseProgramFolder(const QString &given, const QString &executableFolder,
                                        const QString &userDataFolder);

// True when a file can be made in the folder. Asked of the file system itself rather than of the
// permission bits, which say yes to root on a read-only mount or in /proc.
bool folderIsWritable(const QString &folder);
