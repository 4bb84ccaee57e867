#include "RunJournal.h"

#include "NumberText.h"
#include "SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

const QByteArray RunJournal::Header =
    QByteArrayLiteral("time,design,unit,uid,asked,counted,short,result,verdict,actual\r\n");

namespace {

// The complete rows of a CSV text, each with its line end; a line break inside quotes belongs to its field.
QList<QByteArray> csvRows(const QByteArray &text)
{
    QList<QByteArray> rows;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == '\n' && !quoted) {
            rows.append(text.sliced(start, i + 1 - start));
            start = i + 1;
        }
    }
    return rows;
}

// Time, design, unit, UID and count asked, with the comma after them: what tells the row of one unit in one
// run from every other row, whatever its verdict.
QByteArray keyOf(const QByteArray &row)
{
    bool quoted = false;
    int commas = 0;
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (row[i] == '"')
            quoted = !quoted;
        else if (row[i] == ',' && !quoted && ++commas == 5)
            return row.first(i + 1);
    }
    return row;
}

} // namespace

RunJournal::RunJournal(Writer writer, Announcer announcer)
    : m_writer(std::move(writer))
    , m_announcer(std::move(announcer))
{}

void RunJournal::setPendingKeeper(PendingKeeper keeper)
{
    m_keeper = std::move(keeper);
}

void RunJournal::addRowListener(RowListener listener)
{
    m_listeners.push_back(std::move(listener));
}

RunJournal::PendingKeeper RunJournal::pendingFile(const QString &path)
{
    return [path](const QByteArray &rows) {
        if (rows.isEmpty()) {
            QFile::remove(path);
            return;
        }
        // Replaced whole or not at all: a crash meets either the rows before this change or after it.
        if (!safesave::replace(path, rows) && QDir().mkpath(QFileInfo(path).path()))
            safesave::replace(path, rows);
    };
}

QByteArray RunJournal::readPending(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void RunJournal::recover(const QByteArray &pending, const std::function<QByteArray(QDate day)> &journalOf, QDate today)
{
    // A run is looked for in the journals from its own day to today: its rows were written on the day they
    // were judged, which may be after midnight.
    constexpr int DaysLookedAt = 8;
    QList<QByteArray> keys;
    for (const QByteArray &row : csvRows(pending)) {
        const QByteArray key = keyOf(row);
        if (row == Header || keys.contains(key))
            continue;
        keys.append(key);
        const QDate day = QDate::fromString(QString::fromLatin1(row.first(qMin<qsizetype>(row.size(), 10))),
                                            QStringLiteral("yyyy-MM-dd"));
        bool written = false;
        for (QDate d = day; d.isValid() && d <= today && d < day.addDays(DaysLookedAt) && !written; d = d.addDays(1))
            written = journalOf(d).contains('\n' + key);
        if (!written)
            writeRow(row, day);
    }
    keepPending();
}

void RunJournal::heldRowsWritten()
{
    if (m_held.isEmpty())
        return;
    m_held.clear();
    keepPending();
}

void RunJournal::startRun(const QDateTime &start, const QString &design)
{
    finish();
    m_units.clear();
    m_start = start;
    m_design = design;
    m_announced = false;
}

void RunJournal::addUnit(int n, const QString &unit, const QString &uid, const QString &asked,
                         const std::optional<QString> &design)
{
    UnitRun u;
    u.n = n;
    u.unit = unit;
    u.uid = uid;
    u.asked = asked;
    u.design = design.value_or(m_design);
    m_units.push_back(std::move(u));
    keepPending();
}

RunJournal::UnitRun *RunJournal::find(int n)
{
    for (UnitRun &u : m_units) {
        if (u.n == n && !u.written)
            return &u;
    }
    return nullptr;
}

void RunJournal::sent(int n)
{
    if (UnitRun *u = find(n)) {
        u->sending = Sending::Sent;
        keepPending();
    }
}

void RunJournal::notSent(int n)
{
    if (UnitRun *u = find(n)) {
        u->sending = Sending::NotSent;
        keepPending();
    }
}

void RunJournal::finalReport(int n, std::optional<double> count, bool stuck)
{
    // What the controller says of a unit before its line went out belongs to no run of ours.
    UnitRun *u = find(n);
    if (!u || u->sending != Sending::Sent)
        return;
    if (count)
        u->counted = count;
    u->stuck = u->stuck || stuck;
    keepPending();
    announceWhenDone();
}

void RunJournal::shortfall(int n, double value)
{
    if (UnitRun *u = find(n); u && u->sending == Sending::Sent) {
        u->shortBy = value;
        keepPending();
    }
}

void RunJournal::verdict(int n, bool ok, qint32 actual)
{
    if (UnitRun *u = find(n)) {
        write(*u, ok ? QStringLiteral("OK") : QStringLiteral("NOT OK"), ok ? QString() : QString::number(actual));
        keepPending();
    }
}

void RunJournal::finish()
{
    bool wrote = false;
    for (UnitRun &u : m_units) {
        if (!u.written) {
            write(u, QString(), QString());
            wrote = true;
        }
    }
    if (wrote)
        keepPending();
}

QString RunJournal::result(const UnitRun &u)
{
    if (u.sending != Sending::Sent)
        return QStringLiteral("not sent");
    if (u.stuck)
        return QStringLiteral("stuck");
    const double asked = numtext::read(u.asked);
    if (u.shortBy || (u.counted && *u.counted < asked))
        return QStringLiteral("short");
    if (!u.counted)
        return QStringLiteral("no report");
    // More stones than asked is no complete run either; it is said as what it is.
    return *u.counted == asked ? QStringLiteral("complete") : QStringLiteral("over");
}

QString RunJournal::csvField(const QString &text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text) {
        if (special.contains(c))
            return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return text;
}

QByteArray RunJournal::rowOf(const UnitRun &u, const QString &verdict, const QString &actual) const
{
    const auto number = [](const std::optional<double> &v) { return v ? numtext::plain(*v) : QString(); };
    const QStringList fields{m_start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")),
                             u.design,
                             u.unit,
                             u.uid,
                             u.asked,
                             number(u.counted),
                             number(u.shortBy),
                             result(u),
                             verdict,
                             actual};
    QStringList quoted;
    for (const QString &f : fields)
        quoted.append(csvField(f));
    return quoted.join(u',').toUtf8() + "\r\n";
}

void RunJournal::write(UnitRun &u, const QString &verdict, const QString &actual)
{
    u.written = true;
    writeRow(rowOf(u, verdict, actual), QDate());
}

void RunJournal::writeRow(const QByteArray &row, QDate day)
{
    if (m_writer && !m_writer(row, day))
        m_held += row;
    for (const RowListener &listener : m_listeners)
        listener(row);
}

void RunJournal::keepPending()
{
    if (!m_keeper)
        return;
    QByteArray rows = m_held;
    for (const UnitRun &u : m_units) {
        if (!u.written)
            rows += rowOf(u, QString(), QString());
    }
    m_keeper(rows.isEmpty() ? rows : Header + rows);
}

void RunJournal::announceWhenDone()
{
    if (m_announced || m_units.empty())
        return;
    for (const UnitRun &u : m_units) {
        if (u.sending == Sending::Pending || (u.sending == Sending::Sent && !u.counted && !u.stuck))
            return;
    }
    m_announced = true;
    const QString name = m_design.isEmpty() ? QStringLiteral("Dispense") : m_design;
    for (const UnitRun &u : m_units) {
        const QString r = result(u);
        if (r == QLatin1String("complete"))
            continue;
        QString how = r;
        const double asked = numtext::read(u.asked);
        if (r == QLatin1String("short"))
            how = QStringLiteral("short by ") + numtext::plain(u.shortBy ? *u.shortBy : asked - u.counted.value_or(0));
        else if (r == QLatin1String("over"))
            how = QStringLiteral("over by ") + numtext::plain(u.counted.value_or(0) - asked);
        if (m_announcer)
            m_announcer(name + QStringLiteral(": ") + u.unit + u' ' + how);
        return;
    }
    if (m_announcer)
        m_announcer(name + QStringLiteral(": ") + QString::number(m_units.size()) + QStringLiteral(" of ")
                    + QString::number(m_units.size()) + QStringLiteral(" units complete"));
}
