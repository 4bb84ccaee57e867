#include "JournalReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace journal {

namespace {

enum Column { Time, Design, Unit, Uid, Asked, Counted, Short, Result, Verdict, Actual, ColumnCount };

const std::array<const char *, ColumnCount> names{"time",    "design", "unit",   "uid",     "asked",
                                                  "counted", "short",  "result", "verdict", "actual"};

// One record of the file: its fields, and whether it could be read whole.
struct Record
{
    QList<QByteArray> fields;
    bool ok = true;
    bool terminated = false; // ended by a line end, not by the end of the file
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
                pos = lineEndAfter(bytes, start);
                return r;
            }
            if (pos < size && bytes[pos] != ',' && bytes[pos] != '\r' && bytes[pos] != '\n') {
                r.ok = false; // text after the closing quote
                pos = lineEndAfter(bytes, pos);
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
                return r;
            }
        }
        r.fields.append(field);
        if (pos >= size)
            return r;
        const char c = bytes[pos++];
        if (c == ',')
            continue;
        if (c == '\r' && pos < size && bytes[pos] == '\n') // CR LF as written, or LF alone as some editors save
            ++pos;
        r.terminated = true;
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

} // namespace

QStringList fields(const QByteArray &row)
{
    qsizetype pos = 0;
    QStringList decoded;
    for (const QByteArray &field : nextRecord(row, pos).fields)
        decoded.append(QString::fromUtf8(field));
    return decoded;
}

QStringList columns()
{
    QStringList list;
    for (const char *name : names)
        list.append(QString::fromLatin1(name));
    return list;
}

Read parse(const QByteArray &bytes)
{
    Read read;
    read.found = true;
    qsizetype pos = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0; // a spreadsheet may save with a byte order mark
    std::array<qsizetype, ColumnCount> at{};
    for (int c = 0; c < ColumnCount; ++c)
        at[size_t(c)] = c;
    qsizetype width = ColumnCount;
    bool first = true;
    bool usable = true;
    while (pos < bytes.size()) {
        const Record r = nextRecord(bytes, pos);
        if (r.ok && r.fields.size() == 1 && r.fields.front().isEmpty())
            continue; // an empty line is no row
        if (first) {
            first = false;
            // The header names the columns; a spreadsheet may have moved them or added its own. Without a
            // header (lost in a hand edit) the columns are taken in the order the console writes them.
            if (r.ok && r.fields.contains(QByteArrayLiteral("time"))) {
                bool complete = true;
                for (int c = 0; c < ColumnCount; ++c) {
                    at[size_t(c)] = r.fields.indexOf(QByteArray(names[size_t(c)]));
                    complete = complete && at[size_t(c)] >= 0;
                }
                usable = complete; // a header that lacks a column: no row under it can be read
                width = r.fields.size();
                continue;
            }
        }
        // A row without its line end was cut off while it was written.
        if (!usable || !r.ok || !r.terminated || r.fields.size() != width) {
            ++read.unreadable;
            continue;
        }
        const auto field = [&](Column c) { return QString::fromUtf8(r.fields.at(at[size_t(c)])); };
        Row row;
        row.timeText = field(Time);
        if (!readTime(row)) {
            ++read.unreadable;
            continue;
        }
        row.design = field(Design);
        row.unit = field(Unit);
        row.uid = field(Uid);
        row.asked = field(Asked);
        row.counted = field(Counted);
        row.shortBy = field(Short);
        row.result = field(Result);
        row.verdict = field(Verdict);
        row.actual = field(Actual);
        read.rows.append(std::move(row));
    }
    return read;
}

Read readFile(const QString &path)
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
    // Read at most one byte past the bound: a file that grows while it is read is refused all the same.
    const QByteArray bytes = file.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes) {
        read.refused = QDir::toNativeSeparators(path) + QStringLiteral(" is larger than 64 MiB: not read");
        return read;
    }
    return parse(bytes);
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
