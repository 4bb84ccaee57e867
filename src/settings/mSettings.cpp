#include "mSettings.h"

#include "IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <limits>

namespace mSettings {

QString IniFile;
QString IniFile2;
QString IniFile3;
QString IniFileT;

namespace {

// What a read asks for in place of a missing key, so that a stored "~~~" reads as missing too.
const QString missingSentinel = QStringLiteral("~~~");

// A single-key read fills a 260-character buffer that ends in a NUL.
constexpr qsizetype readBufferSize = 260;

QString folderOverride;

void ensurePaths(QString &File)
{
    if (IniFile.isEmpty())
        BuildIniPaths();
    if (File.isEmpty())
        File = IniFile;
}

} // namespace

void setProgramFolder(const QString &folder)
{
    folderOverride = folder;
    resetPaths();
}

QString programFolder()
{
    return folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
}

void resetPaths()
{
    IniFile.clear();
    IniFile2.clear();
    IniFile3.clear();
    IniFileT.clear();
    // Built at once: a caller that hands IniFile2 to an operation before any other settings access would
    // otherwise pass an empty path, which every operation takes for IniFile.
    BuildIniPaths();
}

void BuildIniPaths()
{
#ifdef Q_OS_WIN
    QString folder = QDir::toNativeSeparators(programFolder());
    const QChar separator = u'\\';
#else
    QString folder = programFolder();
    const QChar separator = u'/';
#endif
    // Without a folder (no application object yet) the files are looked for in the working folder rather
    // than at the root of the file system.
    if (!folder.isEmpty() && !folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += separator;
    if (IniFile.isEmpty())
        IniFile = folder + QStringLiteral("Vorn.ini");
    if (IniFile2.isEmpty())
        IniFile2 = folder + QStringLiteral("Vorn2.ini");
    if (IniFile3.isEmpty())
        IniFile3 = folder + QStringLiteral("Vorn3.ini");
    if (IniFileT.isEmpty())
        IniFileT = folder + QStringLiteral("VornT.ini");
}

void WriteIni(QString File, const QString &Section, const QString &Key, const QString &Value)
{
    ensurePaths(File);
    ::IniFile::writeValue(File, Section, Key, Value);
}

QString ReadIni(QString File, const QString &Section, const QString &Key, const QString &Default, bool WriteBack)
{
    ensurePaths(File);
    const QString stored =
        CutAtNul(::IniFile::readValue(File, Section, Key).value_or(missingSentinel).left(readBufferSize - 1));
    if (stored.compare(missingSentinel, Qt::CaseInsensitive) != 0)
        return stored;
    if (WriteBack)
        ::IniFile::writeValue(File, Section, Key, Default);
    return Default;
}

void DeleteIni(QString File, const QString &Section, const QString &Key)
{
    ensurePaths(File);
    ::IniFile::removeKey(File, Section, Key);
}

QStringList ReadIniSection(QString &File, const QString &Section, qint32 &Count)
{
    ensurePaths(File);
    const QStringList entries = ::IniFile::readSection(File, Section);
    if (!entries.isEmpty())
        Count = static_cast<qint32>(qMin<qsizetype>(entries.size(), std::numeric_limits<qint32>::max()));
    return entries;
}

QString CutAtNul(const QString &Text)
{
    const qsizetype nul = Text.indexOf(QChar(u'\0'));
    return nul < 0 ? Text : Text.left(nul);
}

void setUnreadableHandler(std::function<void(const QString &fileName)> handler)
{
    if (!handler) {
        ::IniFile::setUnreadableHandler({});
        return;
    }
    ::IniFile::setUnreadableHandler(
        [handler = std::move(handler)](const QString &path) { handler(QFileInfo(path).fileName()); });
}

} // namespace mSettings
