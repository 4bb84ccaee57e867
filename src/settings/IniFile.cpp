#include "settings/IniFile.h"

#include "common/Ansi.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include "common/SafeSave.h"

#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_WIN
#include <QDir>
#include <windows.h>
#endif

namespace {

// Text crosses to the settings files in the system's 8-bit code page (ansi::), so a file we do not
// understand is still rewritten byte for byte.
QString fromFileText(QByteArrayView bytes)
{
    return ansi::decode(bytes);
}

QByteArray toFileText(const QString &text)
{
    return ansi::encode(text);
}

// A name that the 8-bit code page cannot hold would be stored as '?' and never found again.
bool fitsFileText(const QString &text)
{
    return fromFileText(toFileText(text)) == text;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Only spaces and tabs: QString::trimmed would also strip characters that the file keeps.
template<typename Text>
Text trimBlanks(const Text &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool containsAny(const QString &text, std::initializer_list<char16_t> chars)
{
    for (const QChar c : text) {
        for (const char16_t bad : chars) {
            if (c.unicode() == bad)
                return true;
        }
    }
    return false;
}

// One line of the file: its text is [begin, end), its line end (CR LF or LF) runs from end to next. The last
// line of a file that does not end in LF has next == the file's size; a CR that ends the file is not part of
// its text, because the LF we add after it when appending turns it into a CR LF line end.
struct Line
{
    qsizetype begin = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

// Walks the lines of [from, to) without storing them: a large file costs no allocation beyond its bytes.
class LineReader
{
public:
    LineReader(QByteArrayView data, qsizetype from, qsizetype to)
        : m_data(data)
        , m_pos(from)
        , m_to(to)
    {}

    bool next(Line &line)
    {
        if (m_pos >= m_to)
            return false;
        const qsizetype lf = m_data.sliced(m_pos).indexOf('\n');
        if (lf < 0) {
            const qsizetype size = m_data.size();
            line = {m_pos, (size > m_pos && m_data[size - 1] == '\r') ? size - 1 : size, size};
        } else {
            const qsizetype at = m_pos + lf;
            line = {m_pos, (at > m_pos && m_data[at - 1] == '\r') ? at - 1 : at, at + 1};
        }
        m_pos = line.next;
        return true;
    }

private:
    QByteArrayView m_data;
    qsizetype m_pos;
    qsizetype m_to;
};

QByteArrayView textOf(QByteArrayView data, const Line &line)
{
    return data.sliced(line.begin, line.end - line.begin);
}

// The text of the file's last line (without its line end); empty for an empty file.
QByteArrayView lastLineText(QByteArrayView data)
{
    qsizetype end = data.size();
    if (end > 0 && data[end - 1] == '\n')
        --end;
    if (end > 0 && data[end - 1] == '\r')
        --end;
    const qsizetype begin = data.first(end).lastIndexOf('\n') + 1;
    return data.sliced(begin, end - begin);
}

// What ends the file's last line before anything is appended after it.
QByteArrayView lineEndToAppend(QByteArrayView data, const QByteArray &eol)
{
    if (data.isEmpty() || data.endsWith('\n'))
        return {};
    return data.endsWith('\r') ? QByteArrayView("\n") : QByteArrayView(eol);
}

// Files written by us follow the line end of the file's first line; a new file gets CR LF.
QByteArray lineEndOf(QByteArrayView data)
{
    const qsizetype lf = data.indexOf('\n');
    if (lf >= 0 && (lf == 0 || data[lf - 1] != '\r'))
        return QByteArrayLiteral("\n");
    return QByteArrayLiteral("\r\n");
}

enum class Kind { Other, Section, Key };

struct Parsed
{
    Kind kind = Kind::Other;
    QByteArrayView name; // section or key name, trimmed
    QByteArrayView value; // key lines only, trimmed
};

Parsed parse(QByteArrayView text)
{
    qsizetype p = 0;
    while (p < text.size() && isBlank(text[p]))
        ++p;
    if (p == text.size())
        return {};
    const char first = text[p];
    if (first == '[') {
        QByteArrayView inside = text.sliced(p + 1);
        const qsizetype close = inside.indexOf(']');
        if (close >= 0)
            inside = inside.first(close);
        return {Kind::Section, trimBlanks(inside), {}};
    }
    if (first == ';' || first == '#')
        return {};
    const qsizetype eq = text.indexOf('=', p);
    if (eq < 0)
        return {};
    const QByteArrayView key = trimBlanks(text.sliced(p, eq - p));
    if (key.isEmpty())
        return {};
    return {Kind::Key, key, trimBlanks(text.sliced(eq + 1))};
}

bool sameName(QByteArrayView stored, const QString &wanted)
{
    // Latin-1 maps one byte to one character, so names of different length cannot match: saves decoding
    // every header of a large file.
#ifndef Q_OS_WIN
    if (stored.size() != wanted.size())
        return false;
#endif
    return fromFileText(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

// Where the first section of a name lies: its header line, and its body from the header's end up to the
// next header (or the end of the file).
struct SectionSpan
{
    bool found = false;
    Line header;
    qsizetype bodyEnd = 0;
};

// A hash that names equal without regard to letter case share: ASCII letters folded, other 8-bit
// characters left out (their case pairs differ in the code page's bytes).
std::size_t nameHash(QByteArrayView name)
{
    std::size_t hash = 14695981039346656037ull;
    for (const char c : name) {
        if (uchar(c) >= 0x80)
            continue;
        hash = (hash ^ uchar(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c)) * 1099511628211ull;
    }
    return hash;
}

// A section header: the hash of its name and where its line begins.
struct IndexedSection
{
    std::size_t hash = 0;
    qsizetype begin = 0;
};

// A settings file is small; anything larger is no settings file of ours, and reading it on every access
// would stall the console.
constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

enum class Load { Ok, Missing, Unreadable };

// UTF-16 saved without a byte-order mark: every second byte is NUL over the first lines. A file of nothing
// but NULs is no text in any encoding and reads as it always did.
bool looksLikeUtf16(QByteArrayView data)
{
    const qsizetype n = qMin<qsizetype>(data.size(), 512) & ~qsizetype(1);
    bool evenNul = true, oddNul = true;
    for (qsizetype i = 0; i < n; i += 2) {
        evenNul = evenNul && data[i] == 0;
        oddNul = oddNul && data[i + 1] == 0;
    }
    return n >= 4 && evenNul != oddNul;
}

// What identifies one state of a file on disk. Size, times to the nanosecond where the file system keeps
// them, and the file's identity, so a file replaced by another of the same size and time is noticed too.
struct Stamp
{
    bool exists = false;
    bool regular = false;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 changed = 0; // status change (Unix), which no program can set back
    quint64 inode = 0;
    quint64 device = 0;
    bool operator==(const Stamp &) const = default;
};

Stamp stampOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const auto ns = [](const timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    return {true,           S_ISREG(st.st_mode), qint64(st.st_size), ns(st.st_mtim),
            ns(st.st_ctim), quint64(st.st_ino),  quint64(st.st_dev)};
#elif defined(Q_OS_WIN)
    // The change time moves with every write, also when a program sets the write time back (a copy keeps
    // the original's), and the file index tells a replaced file from the one read.
    const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(path).utf16()),
                                 FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    const bool ok =
        GetFileInformationByHandle(h, &info) && GetFileInformationByHandleEx(h, FileBasicInfo, &basic, sizeof basic);
    CloseHandle(h);
    if (!ok)
        return {};
    return {true,
            !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY),
            qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow),
            basic.LastWriteTime.QuadPart * 100, // 100 ns ticks
            basic.ChangeTime.QuadPart * 100,
            (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
            info.dwVolumeSerialNumber};
#else
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {true,
            info.isFile(),
            info.size(),
            info.lastModified().toMSecsSinceEpoch() * 1000000,
            info.metadataChangeTime().toMSecsSinceEpoch() * 1000000,
            0,
            0};
#endif
}

// One file as last read: its bytes, where its text starts (after a UTF-8 byte-order mark), and the index of
// its sections, built once per content.
struct Snapshot
{
    Load load = Load::Missing;
    Stamp stamp;
    // False when the file changed so shortly before it was read that another change within the same tick of
    // the file system's clock would leave the stamp as it is: such a snapshot is read again on next use.
    bool settled = false;
    QByteArray data;
    qsizetype start = 0;
    // Every section header in file order; the first of a name is the one that counts.
    std::vector<IndexedSection> sections;
    bool indexed = false;

    QByteArrayView text() const { return QByteArrayView(data).sliced(start); }
    QByteArrayView bom() const { return QByteArrayView(data).first(start); }

    SectionSpan find(const QString &section)
    {
        const QByteArrayView body = text();
        if (!indexed) {
            LineReader reader(body, 0, body.size());
            Line line;
            while (reader.next(line)) {
                const Parsed p = parse(textOf(body, line));
                if (p.kind == Kind::Section)
                    sections.push_back({nameHash(p.name), line.begin});
            }
            indexed = true;
        }
        const std::size_t hash = nameHash(toFileText(section));
        for (auto it = sections.cbegin(); it != sections.cend(); ++it) {
            if (it->hash != hash)
                continue;
            SectionSpan span{true, {}, std::next(it) == sections.cend() ? body.size() : std::next(it)->begin};
            LineReader(body, it->begin, body.size()).next(span.header);
            if (sameName(parse(textOf(body, span.header)).name, section))
                return span;
        }
        return {};
    }
};

// Change times this close to the moment of reading are within one tick of the file system's clock: another
// write in that tick would keep the stamp. File systems that keep whole seconds (FAT, some network shares)
// get a wider margin.
bool settledAt(const Stamp &stamp, qint64 nowNs)
{
    const qint64 last = qMax(stamp.modified, stamp.changed);
    const bool wholeSeconds = stamp.modified % 1000000000 == 0;
    const qint64 margin = wholeSeconds ? qint64(2500) * 1000000 : qint64(20) * 1000000;
    return nowNs - last > margin;
}

QHash<QString, std::shared_ptr<Snapshot>> &cache()
{
    static QHash<QString, std::shared_ptr<Snapshot>> files;
    return files;
}

// The console uses two settings files; a few more (tests, tools) are fine, but memory stays bounded.
constexpr qsizetype MaxCachedFiles = 4;

QStringList &unreadableSeen()
{
    static QStringList paths;
    return paths;
}

IniFile::UnreadableHandler &unreadableHandler()
{
    static IniFile::UnreadableHandler handler;
    return handler;
}

void remember(const QString &path, std::shared_ptr<Snapshot> snap)
{
    QHash<QString, std::shared_ptr<Snapshot>> &files = cache();
    if (!files.contains(path) && files.size() >= MaxCachedFiles)
        files.clear();
    files.insert(path, std::move(snap));
}

qint64 nowNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

void setText(Snapshot &snap, QByteArray data)
{
    snap.data = std::move(data);
    snap.start = snap.data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    snap.sections.clear();
    snap.indexed = false;
}

// The file as it is on disk now: read again only when its stamp changed (or it had not settled when read).
std::shared_ptr<Snapshot> snapshotOf(const QString &path)
{
    const Stamp stamp = stampOf(path);
    if (!stamp.exists) {
        cache().remove(path);
        return std::make_shared<Snapshot>();
    }
    std::shared_ptr<Snapshot> snap = cache().value(path);
    if (snap && snap->settled && snap->stamp == stamp)
        return snap;
    const qint64 readAt = nowNs();
    auto fresh = std::make_shared<Snapshot>();
    fresh->stamp = stamp;
    fresh->load = Load::Unreadable;
    // A directory, a pipe or a device is no settings file: opening a pipe could block for ever.
    if (stamp.regular && stamp.size <= MaxFileSize) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            // One byte more than the size seen tells a file that grew past the bound meanwhile, without
            // setting aside the whole bound for every read.
            QByteArray data = file.read(qMin(stamp.size, MaxFileSize) + 1);
            if (data.size() > stamp.size && data.size() <= MaxFileSize)
                data += file.read(MaxFileSize + 1 - data.size());
            // A file in UTF-16 would read as garbage and be destroyed by the first write-back.
            const bool utf16 = data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF") || looksLikeUtf16(data);
            if (file.error() == QFileDevice::NoError && data.size() <= MaxFileSize && !utf16) {
                fresh->load = Load::Ok;
                // The same bytes keep the index already built.
                if (snap && snap->load == Load::Ok && snap->data == data) {
                    fresh->data = snap->data;
                    fresh->start = snap->start;
                    fresh->sections = snap->sections;
                    fresh->indexed = snap->indexed;
                } else {
                    setText(*fresh, std::move(data));
                }
            }
        }
    }
    fresh->settled = settledAt(stamp, readAt);
    remember(path, fresh);
    if (fresh->load == Load::Unreadable && !unreadableSeen().contains(path)) {
        unreadableSeen().append(path);
        if (unreadableHandler())
            unreadableHandler()(path);
    }
    return fresh;
}

// A file whose lines we could not read, or that is read-only, must never be replaced by our version of it.
std::shared_ptr<Snapshot> snapshotForRewrite(const QString &path)
{
    std::shared_ptr<Snapshot> snap = snapshotOf(path);
    if (snap->load == Load::Unreadable || (snap->load == Load::Ok && !QFileInfo(path).isWritable()))
        return nullptr;
    return snap;
}

// Writes the new text (after the byte-order mark the file had) and keeps it as the file's snapshot. After a
// failure the file on disk is as it was.
bool saveFile(const QString &path, const Snapshot &old, const QByteArray &text)
{
    const QByteArray data = old.start > 0 ? old.bom().toByteArray() + text : text;
    const qint64 writtenAt = nowNs();
    if (!safesave::replace(path, data)) {
        cache().remove(path);
        return false;
    }
    auto snap = std::make_shared<Snapshot>();
    snap->load = Load::Ok;
    snap->stamp = stampOf(path);
    snap->settled = settledAt(snap->stamp, writtenAt);
    setText(*snap, data);
    remember(path, std::move(snap));
    return true;
}

} // namespace

bool IniFile::isValidSection(const QString &section)
{
    return !containsAny(section, {u']', u'\r', u'\n', u'\0'}) && fitsFileText(section);
}

bool IniFile::isValidKey(const QString &key)
{
    const QString name = trimBlanks(key);
    // A key starting with ';' or '#' would be written as a comment that no later read could find.
    return !name.isEmpty() && !containsAny(name, {u'=', u'[', u'\r', u'\n', u'\0'}) && !name.startsWith(u';')
        && !name.startsWith(u'#') && fitsFileText(name);
}

bool IniFile::isValidValue(const QString &value)
{
    return !containsAny(value, {u'\r', u'\n', u'\0'});
}

void IniFile::setUnreadableHandler(UnreadableHandler handler)
{
    unreadableHandler() = std::move(handler);
}

std::optional<QString> IniFile::readValue(const QString &path, const QString &section, const QString &key)
{
    const std::shared_ptr<Snapshot> snap = snapshotOf(path);
    if (snap->load != Load::Ok)
        return std::nullopt;
    const QByteArrayView data = snap->text();
    const SectionSpan span = snap->find(trimBlanks(section));
    if (!span.found)
        return std::nullopt;
    const QString name = trimBlanks(key);
    LineReader reader(data, span.header.next, span.bodyEnd);
    Line line;
    while (reader.next(line)) {
        const Parsed p = parse(textOf(data, line));
        if (p.kind == Kind::Key && sameName(p.name, name))
            return fromFileText(p.value);
    }
    return std::nullopt;
}

bool IniFile::writeValue(const QString &path, const QString &section, const QString &key, const QString &value)
{
    if (!isValidSection(section) || !isValidKey(key) || !isValidValue(value))
        return false;
    const std::shared_ptr<Snapshot> snap = snapshotForRewrite(path);
    if (!snap)
        return false;

    const QByteArrayView data = snap->text();
    const QString sectionName = trimBlanks(section);
    const QByteArray newLine = toFileText(trimBlanks(key)) + '=' + toFileText(value);
    const QByteArrayView valueBytes = QByteArrayView(newLine).sliced(newLine.indexOf('=') + 1);
    const QByteArray eol = lineEndOf(data);
    QByteArray out;

    const SectionSpan span = snap->find(sectionName);
    if (!span.found) {
        out.reserve(data.size() + sectionName.size() + newLine.size() + 4 * eol.size() + 2);
        out.append(data);
        if (!out.isEmpty()) {
            out.append(lineEndToAppend(data, eol));
            if (!trimBlanks(lastLineText(data)).isEmpty())
                out += eol;
        }
        out += '[' + toFileText(sectionName) + ']' + eol + newLine + eol;
        return saveFile(path, *snap, out);
    }

    const QString keyName = trimBlanks(key);
    Line anchor = span.header; // the new key goes after the section's last key line
    LineReader reader(data, span.header.next, span.bodyEnd);
    Line line;
    while (reader.next(line)) {
        const Parsed p = parse(textOf(data, line));
        if (p.kind != Kind::Key)
            continue;
        if (sameName(p.name, keyName)) {
            if (p.value == valueBytes)
                return true;
            // In place: the line keeps its indentation and the key's spelling as stored.
            const qsizetype nameEnd = p.name.data() - data.data() + p.name.size();
            out.reserve(data.size() + valueBytes.size() + 1);
            out.append(data.first(nameEnd));
            out += '=';
            out.append(valueBytes);
            out.append(data.sliced(line.end));
            return saveFile(path, *snap, out);
        }
        anchor = line;
    }

    out.reserve(data.size() + newLine.size() + 2 * eol.size());
    if (anchor.next < data.size() || data.endsWith('\n')) {
        out.append(data.first(anchor.next));
        out += newLine + eol;
        out.append(data.sliced(anchor.next));
    } else {
        // The last line of a file without a final line end.
        out.append(data);
        out.append(lineEndToAppend(data, eol));
        out += newLine;
    }
    return saveFile(path, *snap, out);
}

bool IniFile::removeKey(const QString &path, const QString &section, const QString &key)
{
    const QString keyName = trimBlanks(key);
    if (keyName.isEmpty())
        return true;
    const std::shared_ptr<Snapshot> snap = snapshotForRewrite(path);
    if (!snap)
        return false;
    const QByteArrayView data = snap->text();
    const SectionSpan span = snap->find(trimBlanks(section));
    if (!span.found)
        return true;

    // Every copy goes: removing only the first would bring a later duplicate to light, and the key would
    // still read as present.
    QByteArray out;
    qsizetype copied = 0;
    LineReader reader(data, span.header.next, span.bodyEnd);
    Line line;
    while (reader.next(line)) {
        const Parsed p = parse(textOf(data, line));
        if (p.kind != Kind::Key || !sameName(p.name, keyName))
            continue;
        out.append(data.sliced(copied, line.begin - copied));
        copied = line.next;
    }
    if (copied == 0)
        return true;
    out.append(data.sliced(copied));
    return saveFile(path, *snap, out);
}

QStringList IniFile::readSection(const QString &path, const QString &section)
{
    QStringList entries;
    const std::shared_ptr<Snapshot> snap = snapshotOf(path);
    if (snap->load != Load::Ok)
        return entries;
    const QByteArrayView data = snap->text();
    const SectionSpan span = snap->find(trimBlanks(section));
    if (!span.found)
        return entries;
    LineReader reader(data, span.header.next, span.bodyEnd);
    Line line;
    while (reader.next(line)) {
        const Parsed p = parse(textOf(data, line));
        if (p.kind != Kind::Key)
            continue;
        QString entry = fromFileText(p.name) + u'=' + fromFileText(p.value);
        // The listing separates entries by NULs, so a NUL inside an entry ends it.
        const qsizetype nul = entry.indexOf(QChar(u'\0'));
        if (nul >= 0)
            entry.truncate(nul);
        entries.append(entry);
    }
    return entries;
}
