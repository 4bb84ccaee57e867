#include "IniFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <initializer_list>

namespace {

// Text crosses to the settings files in the system's 8-bit code page. Off Windows there is none, and
// Latin-1 stands in because every byte maps to one character and back, so a file we do not understand
// is still rewritten byte for byte. Kept here rather than shared: the settings library depends on nothing
// else of ours.
QString fromFileText(QByteArrayView bytes)
{
#ifdef Q_OS_WIN
    return QString::fromLocal8Bit(bytes);
#else
    return QString::fromLatin1(bytes);
#endif
}

QByteArray toFileText(const QString &text)
{
#ifdef Q_OS_WIN
    return text.toLocal8Bit();
#else
    return text.toLatin1();
#endif
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
QByteArray lineEndOf(const QByteArray &data)
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

enum class Load { Ok, Missing, Unreadable };

Load loadFile(const QString &path, QByteArray &data)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Load::Missing;
    // A directory, a pipe or a device is no settings file: opening a pipe could block for ever.
    if (!info.isFile())
        return Load::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Load::Unreadable;
    data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Load::Unreadable;
    return Load::Ok;
}

// A file whose lines we could not read, or that is read-only, must never be replaced by our version of it.
bool loadForRewrite(const QString &path, QByteArray &data)
{
    const Load load = loadFile(path, data);
    if (load == Load::Unreadable)
        return false;
    if (load == Load::Ok && !QFileInfo(path).isWritable())
        return false;
    return true;
}

bool saveFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// Where the first section of a name lies: its header line, and its body from the header's end up to the
// next header (or the end of the file).
struct SectionSpan
{
    bool found = false;
    Line header;
    qsizetype bodyEnd = 0;
};

SectionSpan findSection(QByteArrayView data, const QString &section)
{
    SectionSpan span;
    LineReader reader(data, 0, data.size());
    Line line;
    while (reader.next(line)) {
        const Parsed p = parse(textOf(data, line));
        if (p.kind != Kind::Section)
            continue;
        if (span.found) {
            span.bodyEnd = line.begin;
            return span;
        }
        if (sameName(p.name, section)) {
            span.found = true;
            span.header = line;
        }
    }
    span.bodyEnd = data.size();
    return span;
}

} // namespace

bool IniFile::isValidSection(const QString &section)
{
    return !containsAny(section, {u']', u'\r', u'\n', u'\0'});
}

bool IniFile::isValidKey(const QString &key)
{
    const QString name = trimBlanks(key);
    // A key starting with ';' or '#' would be written as a comment that no later read could find.
    return !name.isEmpty() && !containsAny(name, {u'=', u'[', u'\r', u'\n', u'\0'}) && !name.startsWith(u';')
        && !name.startsWith(u'#');
}

bool IniFile::isValidValue(const QString &value)
{
    return !containsAny(value, {u'\r', u'\n', u'\0'});
}

std::optional<QString> IniFile::readValue(const QString &path, const QString &section, const QString &key)
{
    QByteArray data;
    if (loadFile(path, data) != Load::Ok)
        return std::nullopt;
    const SectionSpan span = findSection(data, trimBlanks(section));
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
    QByteArray data;
    if (!loadForRewrite(path, data))
        return false;

    const QString sectionName = trimBlanks(section);
    const QByteArray newLine = toFileText(trimBlanks(key)) + '=' + toFileText(value);
    const QByteArrayView valueBytes = QByteArrayView(newLine).sliced(newLine.indexOf('=') + 1);
    const QByteArray eol = lineEndOf(data);
    const QByteArrayView view(data);
    QByteArray out;

    const SectionSpan span = findSection(data, sectionName);
    if (!span.found) {
        out.reserve(data.size() + sectionName.size() + newLine.size() + 4 * eol.size() + 2);
        out.append(data);
        if (!out.isEmpty()) {
            out.append(lineEndToAppend(data, eol));
            if (!trimBlanks(lastLineText(data)).isEmpty())
                out += eol;
        }
        out += '[' + toFileText(sectionName) + ']' + eol + newLine + eol;
        return saveFile(path, out);
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
            const qsizetype nameEnd = p.name.data() - data.constData() + p.name.size();
            out.reserve(data.size() + valueBytes.size() + 1);
            out.append(view.first(nameEnd));
            out += '=';
            out.append(valueBytes);
            out.append(view.sliced(line.end));
            return saveFile(path, out);
        }
        anchor = line;
    }

    out.reserve(data.size() + newLine.size() + 2 * eol.size());
    if (anchor.next < data.size() || data.endsWith('\n')) {
        out.append(view.first(anchor.next));
        out += newLine + eol;
        out.append(view.sliced(anchor.next));
    } else {
        // The last line of a file without a final line end.
        out.append(data);
        out.append(lineEndToAppend(data, eol));
        out += newLine;
    }
    return saveFile(path, out);
}

bool IniFile::removeKey(const QString &path, const QString &section, const QString &key)
{
    const QString keyName = trimBlanks(key);
    if (keyName.isEmpty())
        return true;
    QByteArray data;
    if (!loadForRewrite(path, data))
        return false;
    const SectionSpan span = findSection(data, trimBlanks(section));
    if (!span.found)
        return true;

    // Every copy goes: removing only the first would bring a later duplicate to light, and the key would
    // still read as present.
    const QByteArrayView view(data);
    QByteArray out;
    qsizetype copied = 0;
    LineReader reader(data, span.header.next, span.bodyEnd);
    Line line;
    while (reader.next(line)) {
        const Parsed p = parse(textOf(data, line));
        if (p.kind != Kind::Key || !sameName(p.name, keyName))
            continue;
        out.append(view.sliced(copied, line.begin - copied));
        copied = line.next;
    }
    if (copied == 0)
        return true;
    out.append(view.sliced(copied));
    return saveFile(path, out);
}

QStringList IniFile::readSection(const QString &path, const QString &section)
{
    QStringList entries;
    QByteArray data;
    if (loadFile(path, data) != Load::Ok)
        return entries;
    const SectionSpan span = findSection(data, trimBlanks(section));
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
