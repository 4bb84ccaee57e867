#include "records/JournalReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace journal {

namespace {

constexpr qsizetype ColumnCount = qsizetype(Columns.size());

// One record of the file: its fields, and whether it could be read whole.
struct Record
{
    QList<QByteArray> fields;
    bool ok = true;
    bool terminated = false; // ended by a line end, not by the end of the file
    bool atEnd = false; // what the text holds so far does not settle where the record ends
};

qsizetype lineEndAfter(const QByteArray &bytes, qsizetype from)
{
    const qsizetype lf = bytes.indexOf('\n', from);
    return lf < 0 ? bytes.size() : lf + 1;
}

// Reads the record at pos and moves pos past it. A record that breaks the quoting rules ends at the end of
// the line where the fault shows, so the next record starts where a person would see the next row.
Record nextRecord(const QByteArray &bytes, qsizetype &pos)
{
    Record r;
    const qsizetype start = pos;
    const qsizetype size = bytes.size();
    QByteArray field;
    for (;;) {
        field.clear();
        if (pos < size && bytes[pos] == '"') {
            ++pos;
            bool closed = false;
            while (pos < size) {
                const char c = bytes[pos++];
                if (c != '"') {
                    field += c;
                } else if (pos < size && bytes[pos] == '"') {
                    field += '"';
                    ++pos;
                } else {
                    closed = true;
                    break;
                }
            }
            if (!closed) { // a quote opened and never closed: the rest of the file is not this row
                r.ok = false;
                r.atEnd = true;
                pos = lineEndAfter(bytes, start);
                return r;
            }
            if (pos < size && bytes[pos] != ',' && bytes[pos] != '\r' && bytes[pos] != '\n') {
                r.ok = false; // text after the closing quote
                pos = lineEndAfter(bytes, pos);
                r.atEnd = pos >= size;
                return r;
            }
        } else {
            const qsizetype from = pos;
            while (pos < size && bytes[pos] != ',' && bytes[pos] != '\n'
                   && !(bytes[pos] == '\r' && pos + 1 < size && bytes[pos + 1] == '\n'))
                ++pos;
            field = bytes.mid(from, pos - from);
            if (field.contains('"')) { // a quote inside an unquoted field
                r.ok = false;
                pos = lineEndAfter(bytes, from);
                r.atEnd = pos >= size;
                return r;
            }
        }
        r.fields.append(field);
        if (pos >= size) {
            r.atEnd = true;
            return r;
        }
        const char c = bytes[pos++];
        if (c == ',')
            continue;
        if (c == '\r' && pos < size && bytes[pos] == '\n') // CR LF as written, or LF alone as some editors save
            ++pos;
        r.terminated = true;
        r.atEnd = c == '\r' && pos >= size; // its LF may follow
        return r;
    }
}

// The run's start as the console writes it ("2026-12-06T14:03:12"), read by hand: a QDateTime in local time
// would look up the time zone for every row, the greater part of reading a month. Other ISO forms (a
// spreadsheet may drop the seconds) take the slow road.
bool readTime(Row &row)
{
    const QString &t = row.timeText;
    const auto digits = [&t](qsizetype at, qsizetype n) {
        int v = 0;
        for (qsizetype i = at; i < at + n; ++i) {
            if (!t[i].isDigit())
                return -1;
            v = v * 10 + t[i].digitValue();
        }
        return v;
    };
    if (t.size() == 19 && t[4] == u'-' && t[7] == u'-' && t[10] == u'T' && t[13] == u':' && t[16] == u':') {
        const int year = digits(0, 4); // QDate takes a negative year for one before Christ
        row.day = year < 0 ? QDate() : QDate(year, digits(5, 2), digits(8, 2));
        row.time = QTime(digits(11, 2), digits(14, 2), digits(17, 2));
    } else {
        const QDateTime when = QDateTime::fromString(t, Qt::ISODate);
        row.day = when.date();
        row.time = when.time();
    }
    return row.day.isValid() && row.time.isValid();
}

// Where the text would start a formula once its leading 's were gone: the length of that run of 's, or -1.
qsizetype formulaQuotes(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u'\'')
        ++i;
    if (i == text.size())
        return -1;
    switch (text[i].unicode()) {
    case u'=':
    case u'+':
    case u'-':
    case u'@':
    case u'\t':
    case u'\r': return i;
    default: return -1;
    }
}

} // namespace

QString guardFormula(const QString &text)
{
    return formulaQuotes(text) >= 0 ? u'\'' + text : text;
}

QString unguardFormula(const QString &text)
{
    return formulaQuotes(text) > 0 ? text.mid(1) : text;
}

QStringList fields(const QByteArray &row)
{
    qsizetype pos = 0;
    QStringList decoded;
    for (const QByteArray &field : nextRecord(row, pos).fields)
        decoded.append(unguardFormula(QString::fromUtf8(field)));
    return decoded;
}

QStringList columns()
{
    QStringList list;
    for (const Column &c : Columns)
        list.append(QString::fromLatin1(c.name));
    return list;
}

QStringList values(const JournalRow &row)
{
    QStringList list;
    for (const Column &c : Columns)
        list.append(row.*c.field);
    return list;
}

Reader::Reader(Sink sink, QStringList extraColumns)
    : m_sink(std::move(sink))
    , m_extraColumns(std::move(extraColumns))
{
    for (qsizetype c = 0; c < ColumnCount + m_extraColumns.size(); ++c)
        m_at.append(c < ColumnCount ? c : -1);
    m_width = ColumnCount;
}

void Reader::feed(QByteArrayView bytes)
{
    m_buffer.append(bytes);
    take(false);
}

void Reader::finish()
{
    take(true);
    m_buffer.clear();
}

void Reader::take(bool final)
{
    qsizetype pos = 0;
    if (!m_started) {
        if (m_buffer.size() < 3 && !final)
            return;
        m_started = true;
        pos = m_buffer.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a spreadsheet may save with a byte order mark
    }
    while (pos < m_buffer.size()) {
        const qsizetype start = pos;
        const Record r = nextRecord(m_buffer, pos);
        // More text may end the record elsewhere; a record that long is no row whatever follows.
        if (r.atEnd && !final && m_buffer.size() - start < MaxRecordBytes) {
            pos = start;
            break;
        }
        Item item;
        item.bytes = QByteArrayView(m_buffer).sliced(start, pos - start);
        if (r.ok && r.fields.size() == 1 && r.fields.front().isEmpty())
            continue; // an empty line is no row
        if (m_first) {
            m_first = false;
            // The header names the columns; a spreadsheet may have moved them or added its own. Without a
            // header (lost in a hand edit) the columns are taken in the order the console writes them.
            if (r.ok && r.fields.contains(QByteArrayLiteral("time"))) {
                bool complete = true;
                for (qsizetype c = 0; c < m_at.size(); ++c) {
                    const QByteArray name = c < ColumnCount ? QByteArray(Columns[size_t(c)].name)
                                                            : m_extraColumns.at(c - ColumnCount).toUtf8();
                    m_at[c] = r.fields.indexOf(name);
                    complete = complete && (m_at[c] >= 0 || c >= ColumnCount);
                }
                m_usable = complete; // a header that lacks a column: no row under it can be read
                m_width = r.fields.size();
                continue;
            }
        }
        Row row;
        // A row without its line end was cut off while it was written.
        bool ok = m_usable && r.ok && r.terminated && r.fields.size() == m_width;
        const auto field = [&](qsizetype c) {
            return m_at[c] < 0 ? QString() : unguardFormula(QString::fromUtf8(r.fields.at(m_at[c])));
        };
        if (ok) {
            for (qsizetype c = 0; c < ColumnCount; ++c)
                row.*Columns[size_t(c)].field = field(c);
            ok = readTime(row);
        }
        if (ok) {
            item.row = &row;
            for (qsizetype c = ColumnCount; c < m_at.size(); ++c)
                item.extra.append(field(c));
        } else {
            ++m_unreadable;
        }
        m_sink(item);
    }
    m_buffer.remove(0, pos);
}

Read parse(const QByteArray &bytes)
{
    Read read;
    read.found = true;
    Reader reader([&read](const Reader::Item &item) {
        if (item.row)
            read.rows.append(*item.row);
    });
    reader.feed(bytes);
    reader.finish();
    read.unreadable = reader.unreadable();
    return read;
}

QList<PendingRow> readPending(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > MaxFileBytes || !file.open(QIODevice::ReadOnly))
        return {};
    QList<PendingRow> rows;
    Reader reader(
        [&rows](const Reader::Item &item) {
            if (item.row)
                rows.append({*item.row, item.extra.value(1).toInt()});
        },
        {QStringLiteral("run"), QStringLiteral("earlier")});
    reader.feed(file.readAll());
    reader.finish();
    return rows;
}

QStringList keyOf(const Row &row)
{
    return values(row).first(5);
}

Read readFile(const QString &path, const std::function<void(const Row &row)> &each)
{
    QFile file(path);
    if (!file.exists())
        return {};
    Read read;
    read.found = true;
    // A pipe or a device in the file's place would block the reader, a folder cannot be read.
    if (!QFileInfo(path).isFile()) {
        read.refused = QDir::toNativeSeparators(path) + QStringLiteral(" is not a file: not read");
        return read;
    }
    if (file.size() > MaxFileBytes) {
        read.refused = QDir::toNativeSeparators(path) + QStringLiteral(" is larger than 64 MiB: not read");
        return read;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        read.refused = QDir::toNativeSeparators(path) + QStringLiteral(" could not be read: ") + file.errorString();
        return read;
    }
    Reader reader([&](const Reader::Item &item) {
        if (!item.row)
            return;
        if (each)
            each(*item.row);
        else
            read.rows.append(*item.row);
    });
    // The file as it stood when it was opened: rows the console appends meanwhile belong to the next reading.
    constexpr qint64 Piece = 1024 * 1024;
    for (qint64 left = file.size(); left > 0;) {
        const QByteArray piece = file.read(qMin(left, Piece));
        if (piece.isEmpty())
            break;
        left -= piece.size();
        reader.feed(piece);
    }
    reader.finish();
    read.unreadable = reader.unreadable();
    return read;
}

QString logFolder(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("Log"));
}

QString pendingFor(const QString &programFolder)
{
    return logFolder(programFolder) + QStringLiteral("/.pending-Runs.csv");
}

QString fileFor(const QString &programFolder, QDate day)
{
    return logFolder(programFolder) + u'/' + day.toString(QStringLiteral("yy-MM-dd-")) + QStringLiteral("Runs.csv");
}

} // namespace journal
