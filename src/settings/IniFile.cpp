#include "IniFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QList>
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

QByteArrayView trimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Only spaces and tabs: QString::trimmed would also strip characters that the file keeps.
QString trimBlanks(const QString &text)
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
// line of a file that does not end in a line end has end == next.
struct Line
{
    qsizetype begin;
    qsizetype end;
    qsizetype next;
};

QList<Line> splitLines(const QByteArray &data)
{
    QList<Line> lines;
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype lf = data.indexOf('\n', pos);
        if (lf < 0) {
            lines.append({pos, data.size(), data.size()});
            break;
        }
        const qsizetype end = (lf > pos && data[lf - 1] == '\r') ? lf - 1 : lf;
        lines.append({pos, end, lf + 1});
        pos = lf + 1;
    }
    return lines;
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
    QByteArrayView name;  // section or key name, trimmed
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

// A parsed file: where the first section of a name starts and ends, and its key lines.
class Document
{
public:
    explicit Document(const QByteArray &data)
        : m_data(data)
        , m_lines(splitLines(data))
    {
    }

    const QByteArray &data() const { return m_data; }
    const QList<Line> &lines() const { return m_lines; }

    QByteArrayView text(qsizetype line) const
    {
        const Line &l = m_lines[line];
        return QByteArrayView(m_data).sliced(l.begin, l.end - l.begin);
    }

    // The line index of the first header of that section, or -1; bodyEnd is the index after its last line.
    qsizetype findSection(const QString &section, qsizetype &bodyEnd) const
    {
        qsizetype header = -1;
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            const Parsed p = parse(text(i));
            if (p.kind != Kind::Section)
                continue;
            if (header >= 0) {
                bodyEnd = i;
                return header;
            }
            if (sameName(p.name, section))
                header = i;
        }
        bodyEnd = m_lines.size();
        return header;
    }

private:
    QByteArray m_data;
    QList<Line> m_lines;
};

} // namespace

bool IniFile::isValidSection(const QString &section)
{
    return !containsAny(section, {u']', u'\r', u'\n', u'\0'});
}

bool IniFile::isValidKey(const QString &key)
{
    const QString name = trimBlanks(key);
    // A key starting with ';' or '#' would be written as a comment that no later read could find.
    return !name.isEmpty() && !containsAny(name, {u'=', u'[', u'\r', u'\n', u'\0'}) && !name.startsWith(u';') && !name.startsWith(u'#');
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
    const Document doc(data);
    qsizetype bodyEnd = 0;
    const qsizetype header = doc.findSection(trimBlanks(section), bodyEnd);
    if (header < 0)
        return std::nullopt;
    const QString name = trimBlanks(key);
    for (qsizetype i = header + 1; i < bodyEnd; ++i) {
        const Parsed p = parse(doc.text(i));
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
    const QString keyName = trimBlanks(key);
    const QByteArray valueBytes = toFileText(value);
    const QByteArray eol = lineEndOf(data);
    const Document doc(data);

    qsizetype bodyEnd = 0;
    const qsizetype header = doc.findSection(sectionName, bodyEnd);
    QByteArray out;
    if (header < 0) {
        out = data;
        if (!out.isEmpty()) {
            if (!out.endsWith('\n'))
                out += eol;
            if (!trimBlanks(doc.text(doc.lines().size() - 1)).isEmpty())
                out += eol;
        }
        out += '[' + toFileText(sectionName) + ']' + eol;
        out += toFileText(keyName) + '=' + valueBytes + eol;
        return saveFile(path, out);
    }

    qsizetype lastKey = header;
    for (qsizetype i = header + 1; i < bodyEnd; ++i) {
        const Parsed p = parse(doc.text(i));
        if (p.kind != Kind::Key)
            continue;
        if (sameName(p.name, keyName)) {
            // In place: the line keeps its indentation and the key's spelling as stored.
            const Line &line = doc.lines()[i];
            const qsizetype nameEnd = p.name.data() - data.constData() + p.name.size();
            if (p.value == QByteArrayView(valueBytes))
                return true;
            out.reserve(data.size() + valueBytes.size() + 1);
            out.append(QByteArrayView(data).first(nameEnd));
            out += '=';
            out += valueBytes;
            out.append(QByteArrayView(data).sliced(line.end));
            return saveFile(path, out);
        }
        lastKey = i;
    }

    const QByteArray newLine = toFileText(keyName) + '=' + valueBytes;
    const Line &anchor = doc.lines()[lastKey];
    out.reserve(data.size() + newLine.size() + 2 * eol.size());
    if (anchor.next > anchor.end) {
        out.append(QByteArrayView(data).first(anchor.next));
        out += newLine + eol;
        out.append(QByteArrayView(data).sliced(anchor.next));
    } else {
        // The last line of a file without a final line end.
        out = data + eol + newLine;
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
    const Document doc(data);
    qsizetype bodyEnd = 0;
    const qsizetype header = doc.findSection(trimBlanks(section), bodyEnd);
    if (header < 0)
        return true;

    // Every copy goes: removing only the first would bring a later duplicate to light, and the key would
    // still read as present.
    QByteArray out;
    qsizetype copied = 0;
    for (qsizetype i = header + 1; i < bodyEnd; ++i) {
        const Parsed p = parse(doc.text(i));
        if (p.kind != Kind::Key || !sameName(p.name, keyName))
            continue;
        const Line &line = doc.lines()[i];
        out.append(QByteArrayView(data).sliced(copied, line.begin - copied));
        copied = line.next;
    }
    if (copied == 0)
        return true;
    out.append(QByteArrayView(data).sliced(copied));
    return saveFile(path, out);
}

QStringList IniFile::readSection(const QString &path, const QString &section)
{
    QStringList entries;
    QByteArray data;
    if (loadFile(path, data) != Load::Ok)
        return entries;
    const Document doc(data);
    qsizetype bodyEnd = 0;
    const qsizetype header = doc.findSection(trimBlanks(section), bodyEnd);
    if (header < 0)
        return entries;
    for (qsizetype i = header + 1; i < bodyEnd; ++i) {
        const Parsed p = parse(doc.text(i));
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
