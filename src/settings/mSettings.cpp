#include "settings/mSettings.h"

#include "settings/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <limits>

namespace mSettings {

QString IniFile;
QString IniFile2;

namespace {

// What a read asks for in place of a missing key, so that a stored "~~~" reads as missing too.
const QString missingSentinel = QStringLiteral("~~~");

// A single-key read fills a 260-character buffer that ends in a NUL.
constexpr qsizetype readBufferSize = 260;

QString folderOverride;

std::function<void(const QString &fileName)> writeFailedHandler;
// Files whose failure has been said and not yet followed by a successful write.
QStringList failingFiles;
int callerReports = 0;

// A refused name or value is the caller's mistake, not the file's: only real write failures are said.
bool storable(const QString &Section, const QString &Key, const QString &Value)
{
    return ::IniFile::isValidSection(Section) && ::IniFile::isValidKey(Key) && ::IniFile::isValidValue(Value);
}

bool noteWrite(const QString &File, bool written)
{
    if (written) {
        failingFiles.removeAll(File);
    } else if (callerReports == 0 && !failingFiles.contains(File)) {
        failingFiles.append(File);
        if (writeFailedHandler)
            writeFailedHandler(QFileInfo(File).fileName());
    }
    return written;
}

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
}

bool WriteIni(QString File, const QString &Section, const QString &Key, const QString &Value)
{
    ensurePaths(File);
    if (!storable(Section, Key, Value))
        return false;
    return noteWrite(File, ::IniFile::writeValue(File, Section, Key, Value));
}

QString ReadIni(QString File, const QString &Section, const QString &Key, const QString &Default, bool WriteBack)
{
    ensurePaths(File);
    const QString stored =
        CutAtNul(::IniFile::readValue(File, Section, Key).value_or(missingSentinel).left(readBufferSize - 1));
    if (stored.compare(missingSentinel, Qt::CaseInsensitive) != 0)
        return stored;
    if (WriteBack)
        WriteIni(File, Section, Key, Default);
    return Default;
}

bool DeleteIni(QString File, const QString &Section, const QString &Key)
{
    ensurePaths(File);
    return noteWrite(File, ::IniFile::removeKey(File, Section, Key));
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
    ::IniFile::setUnreadableHandler([handler = std::move(handler)](const QString &path) {
        // Never rewritten, so every write to it fails: the operator has been told why.
        if (!failingFiles.contains(path))
            failingFiles.append(path);
        if (handler)
            handler(QFileInfo(path).fileName());
    });
}

void setWriteFailedHandler(std::function<void(const QString &fileName)> handler)
{
    writeFailedHandler = std::move(handler);
}

CallerReportsFailure::CallerReportsFailure()
{
    ++callerReports;
}

CallerReportsFailure::~CallerReportsFailure()
{
    --callerReports;
}

} // namespace mSettings
