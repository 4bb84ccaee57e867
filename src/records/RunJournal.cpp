#include "records/RunJournal.h"

#include "common/NumberText.h"
#include "common/SafeSave.h"
#include "records/JournalReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <algorithm>

const QByteArray RunJournal::Header = journal::columns().join(u',').toUtf8() + "\r\n";

const QByteArray RunJournal::PendingHeader = Header.chopped(2) + ",run,earlier\r\n";

namespace {

// The day's file: rows as CSV through the writer.
class CsvFile : public JournalSink
{
public:
    explicit CsvFile(RunJournal::Writer writer)
        : m_writer(std::move(writer))
    {}
    bool journalRow(const JournalRow &row, QDate day) override
    {
        return !m_writer || m_writer(RunJournal::csvLine(row), day);
    }

private:
    RunJournal::Writer m_writer;
};

} // namespace

RunJournal::RunJournal(Writer writer, Announcer announcer)
    : m_file(std::make_unique<CsvFile>(std::move(writer)))
    , m_announcer(std::move(announcer))
    , m_sinks{m_file.get()}
{}

RunJournal::~RunJournal() = default;
RunJournal::RunJournal(RunJournal &&) noexcept = default;

void RunJournal::setPendingKeeper(PendingKeeper keeper)
{
    m_keeper = std::move(keeper);
}

void RunJournal::addSink(JournalSink *sink)
{
    if (sink && std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end())
        m_sinks.push_back(sink);
}

void RunJournal::removeSink(JournalSink *sink)
{
    std::erase(m_sinks, sink);
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

QByteArrayList RunJournal::recover(const QByteArray &pending, const std::function<QByteArray(QDate day)> &journalOf,
                                   QDate today)
{
    struct Pending
    {
        journal::Row row;
        QString run;
        int earlier = 0;
    };
    std::vector<Pending> rows;
    QByteArrayList rejected;
    journal::Reader reader(
        [&](const journal::Reader::Item &item) {
            if (item.row) {
                rows.push_back({*item.row, item.extra.value(0), item.extra.value(1).toInt()});
            } else {
                QByteArray bytes = item.bytes.toByteArray();
                rejected.append(bytes.endsWith('\n') ? bytes : bytes + '\n');
            }
        },
        {QStringLiteral("run"), QStringLiteral("earlier")});
    reader.feed(pending);
    reader.finish();

    // How many rows of each key a day's journal holds, read once per day.
    QHash<QDate, QHash<QStringList, int>> onDisk;
    const auto journalKeys = [&](QDate day) -> QHash<QStringList, int> & {
        auto it = onDisk.find(day);
        if (it == onDisk.end()) {
            it = onDisk.insert(day, {});
            QHash<QStringList, int> &keys = *it;
            journal::Reader dayReader([&keys](const journal::Reader::Item &item) {
                if (item.row)
                    ++keys[journal::keyOf(*item.row)];
            });
            dayReader.feed(journalOf(day));
            dayReader.finish();
        }
        return *it;
    };
    // A run is looked for in the journals from its own day to today: its rows were written on the day they
    // were judged, which may be after midnight.
    constexpr int DaysLookedAt = 8;
    QSet<QStringList> seen;
    for (const Pending &p : rows) {
        const QStringList key = journal::keyOf(p.row);
        const QStringList identity = key + QStringList{p.run, QString::number(p.earlier)};
        if (seen.contains(identity))
            continue;
        seen.insert(identity);
        int written = 0;
        for (QDate d = p.row.day; d <= today && d < p.row.day.addDays(DaysLookedAt); d = d.addDays(1))
            written += journalKeys(d).value(key);
        // The rows with this key before it, and this one too, are on disk already.
        if (written > p.earlier)
            continue;
        ++journalKeys(p.row.day)[key];
        writeRow(p.row, p.row.day, p.run, written);
    }
    keepPending();
    return rejected;
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
    if (start != m_start)
        m_written.clear();
    ++m_runNumber;
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

QString RunJournal::csvField(const QString &plain)
{
    static const QString special = QStringLiteral(",\"\r\n");
    const QString text = journal::guardFormula(plain);
    for (const QChar c : text) {
        if (special.contains(c))
            return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return text;
}

JournalRow RunJournal::rowOf(const UnitRun &u, const QString &verdict, const QString &actual) const
{
    const auto number = [](const std::optional<double> &v) { return v ? numtext::plain(*v) : QString(); };
    JournalRow row;
    row.day = m_start.date();
    row.time = m_start.time();
    row.timeText = m_start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    row.design = u.design;
    row.unit = u.unit;
    row.uid = u.uid;
    row.asked = u.asked;
    row.counted = number(u.counted);
    row.shortBy = number(u.shortBy);
    row.result = result(u);
    row.verdict = verdict;
    row.actual = actual;
    return row;
}

QByteArray RunJournal::csvLine(const JournalRow &row)
{
    return csvOf(journal::values(row));
}

QByteArray RunJournal::csvOf(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &f : fields)
        quoted.append(csvField(f));
    return quoted.join(u',').toUtf8() + "\r\n";
}

QByteArray RunJournal::pendingRowOf(const JournalRow &row, const QString &run, int earlier)
{
    return csvOf(journal::values(row) + QStringList{run, QString::number(earlier)});
}

void RunJournal::write(UnitRun &u, const QString &verdict, const QString &actual)
{
    u.written = true;
    const JournalRow row = rowOf(u, verdict, actual);
    writeRow(row, QDate(), QString::number(m_runNumber), m_written[journal::keyOf(row)]++);
}

void RunJournal::writeRow(const JournalRow &row, QDate day, const QString &run, int earlier)
{
    // Pending until every sink has it; a sink may go while the row is handed round (copy the list).
    bool kept = true;
    for (JournalSink *sink : std::vector<JournalSink *>(m_sinks))
        kept = sink->journalRow(row, day) && kept;
    if (!kept)
        m_held += pendingRowOf(row, run, earlier);
}

void RunJournal::keepPending()
{
    if (!m_keeper)
        return;
    QByteArray rows = m_held;
    QHash<QStringList, int> open; // two units of one run that share a key
    for (const UnitRun &u : m_units) {
        if (u.written)
            continue;
        const JournalRow row = rowOf(u, QString(), QString());
        const QStringList key = journal::keyOf(row);
        rows += pendingRowOf(row, QString::number(m_runNumber), m_written.value(key) + open[key]++);
    }
    m_keeper(rows.isEmpty() ? rows : PendingHeader + rows);
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
    if (!m_announcer)
        return;
    const Said name = m_design.isEmpty() ? said(QT_TRANSLATE_NOOP("Console", "Dispense")) : verbatim(m_design);
    // Every unit that is not complete is named, in the order of the run.
    Said failing;
    int complete = 0;
    for (const UnitRun &u : m_units) {
        const QString r = result(u);
        if (r == QLatin1String("complete")) {
            ++complete;
            continue;
        }
        const double asked = numtext::read(u.asked);
        const Said unit = unitName(u.n);
        const Said how = r == QLatin1String("short")
            ? said(QT_TRANSLATE_NOOP("Console", "%1 short by %2"), unit,
                   numtext::plain(u.shortBy ? *u.shortBy : asked - u.counted.value_or(0)))
            : r == QLatin1String("over")
            ? said(QT_TRANSLATE_NOOP("Console", "%1 over by %2"), unit, numtext::plain(u.counted.value_or(0) - asked))
            : r == QLatin1String("stuck")    ? said(QT_TRANSLATE_NOOP("Console", "%1 stuck"), unit)
            : r == QLatin1String("not sent") ? said(QT_TRANSLATE_NOOP("Console", "%1 not sent"), unit)
                                             : said(QT_TRANSLATE_NOOP("Console", "%1 no report"), unit);
        failing = failing.isEmpty() ? how : failing + verbatim(QStringLiteral(", ")) + how;
    }
    const int all = int(m_units.size());
    m_announcer(failing.isEmpty()
                    ? said(QT_TRANSLATE_NOOP("Console", "%1: %2 of %3 units complete"), name, all, all)
                    : said(QT_TRANSLATE_NOOP("Console", "%1: %2 of %3 complete - %4"), name, complete, all, failing));
}
