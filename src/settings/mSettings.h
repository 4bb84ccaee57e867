#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The console's settings files and the operations on them. Every setting of the console is read and
// written through these functions; nothing else touches the files. Every value is text.
namespace mSettings {

// The four file paths; built from the program folder when it is set (and by the first operation otherwise).
extern QString IniFile; // Vorn.ini: window, port, units, designs
extern QString IniFile2; // Vorn2.ini: the command catalogues

// The folder BuildIniPaths puts the files in; defaults to the executable's folder. Setting it builds the
// four paths anew.
void setProgramFolder(const QString &folder);
QString programFolder();
// Builds the four paths anew from the program folder (tests use a fresh folder each).
void resetPaths();

// Fills each of the four paths that is still empty.
void BuildIniPaths();

// Stores Value under Key in Section of File (IniFile when empty), creating what is missing. False when the
// file was not changed: the name or value cannot be stored, or the file could not be written.
bool WriteIni(QString File, const QString &Section, const QString &Key, const QString &Value);

// The stored value (at most 259 characters), or Default when the key, its section or the file is missing
// or the stored value is "~~~" in any letter case. With WriteBack true a missing key is stored with Default.
QString ReadIni(QString File, const QString &Section, const QString &Key, const QString &Default, bool WriteBack);

// Removes Key from Section of File. False when the key may still be there: the file could not be written.
bool DeleteIni(QString File, const QString &Section, const QString &Key);

// Every entry of Section as "key=value", in file order. File is replaced by IniFile in the caller's
// variable when it is empty. Count is set to the number of entries, and left as it was when there are none.
QStringList ReadIniSection(QString &File, const QString &Section, qint32 &Count);

// Text up to its first NUL character.
QString CutAtNul(const QString &Text);

// Settings files that could not be read (UTF-16, larger than 16 MiB, no read permission, not a file): their
// keys read as their defaults and they are never rewritten. The handler is called with the file's name the
// first time in a run that a file is found unreadable; the settings operation that found it then goes on
// with the defaults. An empty function removes the handler.
void setUnreadableHandler(std::function<void(const QString &fileName)> handler);

// Called with the file's name when a write to it fails (a full disk, a read-only file or folder), once:
// again only after a write to that file has succeeded in between. A file found unreadable has been
// reported already. An empty function removes the handler.
void setWriteFailedHandler(std::function<void(const QString &fileName)> handler);

// While one exists, failed writes are left to the caller to report in its own words (the handler is not
// called for them).
class CallerReportsFailure
{
public:
    CallerReportsFailure();
    ~CallerReportsFailure();
    CallerReportsFailure(const CallerReportsFailure &) = delete;
    CallerReportsFailure &operator=(const CallerReportsFailure &) = delete;
};

} // namespace mSettings
