#include "records/ShiftSummary.h"

#include "common/NumberText.h"
#include "records/RunJournal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace {

// A count of stones in the journal: a negative number, or one no unit could ever count (a hand edit, a
// field run together with the next), counts 0, as an empty field does; the sums then stay finite and every
// stone asked is told once.
constexpr double MostStones = 1e12;

double stones(const QString &text)
{
    const double v = numtext::read(text);
    return std::isfinite(v) && v > 0 && v <= MostStones ? v : 0;
}

} // namespace

void Stones::add(const QString &askedText, const QString &countedText, const QString &shortText)
{
    const double a = stones(askedText), c = stones(countedText);
    const double over = std::max(0.0, c - a);
    const double missing = a - (c - over);
    // A shortfall larger than the stones missing (a hand edit) is no more than those.
    const double shortfall = std::min(stones(shortText), missing);
    asked += a;
    counted += c;
    stonesOver += over;
    shortBy += shortfall;
    unaccounted += missing - shortfall;
}

std::optional<double> Stones::yield() const
{
    if (asked <= 0)
        return std::nullopt;
    const double upTo = counted - stonesOver;
    double tenths = std::round(upTo / asked * 1000); // half away from zero: 12.25 is 12.3
    // 99.96 % is not all: a manager reads 100.0 as nothing missing, and 0.0 as nothing counted.
    if (upTo < asked)
        tenths = std::min(tenths, 999.0);
    if (upTo > 0)
        tenths = std::max(tenths, 1.0);
    return tenths / 10;
}

QString Stones::yieldText() const
{
    const auto y = yield();
    return y ? QString::number(*y, 'f', 1) : QString();
}

namespace {

QString number(qint64 n)
{
    return QString::number(n);
}

QString number(double v)
{
    return numtext::plain(v);
}

QStringList stoneCells(const Stones &s)
{
    return {number(s.asked),   number(s.counted),     number(s.stonesOver),
            number(s.shortBy), number(s.unaccounted), s.yieldText()};
}

QStringList unitRow(const ShiftSummary::UnitTotals &u)
{
    return QStringList{u.unit,          u.uids.join(u'/'), number(u.runs),    number(u.complete), number(u.shortRuns),
                       number(u.stuck), number(u.over),    number(u.notSent), number(u.noReport)}
    + stoneCells(u) + QStringList{number(u.ok), number(u.notOk)};
}

// The fixed English names of the columns, marked for a view's translation.
const char *const UnitColumns[] = {
    QT_TRANSLATE_NOOP("ShiftSummary", "unit"),           QT_TRANSLATE_NOOP("ShiftSummary", "uid"),
    QT_TRANSLATE_NOOP("ShiftSummary", "runs"),           QT_TRANSLATE_NOOP("ShiftSummary", "complete"),
    QT_TRANSLATE_NOOP("ShiftSummary", "short runs"),     QT_TRANSLATE_NOOP("ShiftSummary", "stuck"),
    QT_TRANSLATE_NOOP("ShiftSummary", "over"),           QT_TRANSLATE_NOOP("ShiftSummary", "not sent"),
    QT_TRANSLATE_NOOP("ShiftSummary", "no report"),      QT_TRANSLATE_NOOP("ShiftSummary", "stones asked"),
    QT_TRANSLATE_NOOP("ShiftSummary", "stones counted"), QT_TRANSLATE_NOOP("ShiftSummary", "stones over"),
    QT_TRANSLATE_NOOP("ShiftSummary", "stones short"),   QT_TRANSLATE_NOOP("ShiftSummary", "stones unaccounted"),
    QT_TRANSLATE_NOOP("ShiftSummary", "yield %"),        QT_TRANSLATE_NOOP("ShiftSummary", "OK"),
    QT_TRANSLATE_NOOP("ShiftSummary", "NOT OK")};
const char *const DesignColumns[] = {QT_TRANSLATE_NOOP("ShiftSummary", "design"),
                                     QT_TRANSLATE_NOOP("ShiftSummary", "runs")};
const char *const DayColumn[] = {QT_TRANSLATE_NOOP("ShiftSummary", "day")};

template<std::size_t N>
QStringList names(const char *const (&list)[N])
{
    QStringList n;
    for (const char *name : list)
        n.append(QLatin1String(name));
    return n;
}

void count(ShiftSummary::UnitTotals &u, const journal::Row &row)
{
    u.add(row.asked, row.counted, row.shortBy);
    ++u.runs;
    const QString &r = row.result;
    if (r == u"complete")
        ++u.complete;
    else if (r == u"short")
        ++u.shortRuns;
    else if (r == u"stuck")
        ++u.stuck;
    else if (r == u"over")
        ++u.over;
    else if (r == u"not sent")
        ++u.notSent;
    else if (r == u"no report")
        ++u.noReport;
    if (row.verdict == u"OK")
        ++u.ok;
    else if (row.verdict == u"NOT OK")
        ++u.notOk;
}

} // namespace

bool unitOrder(const QString &a, const QString &b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && a[ie].isDigit())
                ++ie;
            while (je < b.size() && b[je].isDigit())
                ++je;
            // Compared as numbers of any length: leading zeros aside, the longer run is the larger number.
            QStringView x = QStringView(a).mid(i, ie - i), y = QStringView(b).mid(j, je - j);
            while (x.size() > 1 && x.front() == u'0')
                x = x.mid(1);
            while (y.size() > 1 && y.front() == u'0')
                y = y.mid(1);
            if (x.size() != y.size())
                return x.size() < y.size();
            if (const int c = x.compare(y); c != 0)
                return c < 0;
            i = ie;
            j = je;
            continue;
        }
        if (const int c = QStringView(a).mid(i, 1).compare(QStringView(b).mid(j, 1), Qt::CaseInsensitive); c != 0)
            return c < 0;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return a.size() - i < b.size() - j;
    return a < b; // names that differ only in letter case or leading zeros still keep an order
}

QString ShiftSummary::binLabel(int i) const
{
    if (!isRange())
        return QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
    return from.addDays(i).toString(QStringLiteral("yy-MM-dd"));
}

QString ShiftSummary::period() const
{
    const QString first = from.toString(QStringLiteral("yy-MM-dd"));
    return isRange() ? first + QStringLiteral(" to ") + to.toString(QStringLiteral("yy-MM-dd")) : first;
}

QString ShiftSummary::unreadableText() const
{
    if (unreadable == 0)
        return {};
    return QString::number(unreadable)
        + (unreadable == 1 ? QStringLiteral(" journal row could not be read")
                           : QStringLiteral(" journal rows could not be read"));
}

QString ShiftSummary::inProgressText() const
{
    if (inProgress == 0)
        return {};
    return QStringLiteral("Includes the run in progress (%1, not judged yet)")
        .arg(inProgress == 1 ? QStringLiteral("1 unit") : QString::number(inProgress) + QStringLiteral(" units"));
}

QStringList ShiftSummary::unitColumns()
{
    return names(UnitColumns);
}

QList<QStringList> ShiftSummary::unitRows() const
{
    QList<QStringList> rows;
    for (const UnitTotals &u : units)
        rows.append(unitRow(u));
    rows.append(unitRow(total));
    return rows;
}

QStringList ShiftSummary::designColumns()
{
    return names(DesignColumns) + unitColumns().mid(9, 6);
}

QList<QStringList> ShiftSummary::designRows() const
{
    QList<QStringList> rows;
    for (const DesignTotals &d : designs)
        rows.append(QStringList{d.design, number(d.runs)} + stoneCells(d));
    return rows;
}

QStringList ShiftSummary::dayColumns()
{
    return names(DayColumn) + unitColumns();
}

QList<QStringList> ShiftSummary::dayRows() const
{
    QList<QStringList> rows;
    for (const DayTotals &d : days)
        for (const UnitTotals &u : d.units)
            rows.append(QStringList{d.day.toString(Qt::ISODate)} + unitRow(u));
    return rows;
}

QString ShiftSummary::fromText() const
{
    return firstRun.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

QString ShiftSummary::toText() const
{
    return lastRun.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

namespace {

// A table as CSV, each row led by who and when, so rows from several machines and days can be put
// together and still be told apart.
QByteArray csvOf(const ShiftSummary &s, const QStringList &columns, const QList<QStringList> &rows)
{
    QByteArray csv;
    const auto line = [&csv](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted.append(RunJournal::csvField(f));
        csv += quoted.join(u',').toUtf8() + "\r\n";
    };
    line(names({"station", "from", "to"}) + columns);
    const QStringList lead{s.station, s.fromText(), s.toText()};
    for (const QStringList &row : rows)
        line(lead + row);
    return csv;
}

// A row as a JSON object under the table's column names: numbers as numbers, an empty yield as null.
QJsonObject jsonRow(const QStringList &columns, const QStringList &row, int textColumns)
{
    QJsonObject o;
    for (qsizetype c = 0; c < columns.size(); ++c) {
        const QString &v = row.value(c);
        o.insert(columns[c], c < textColumns ? QJsonValue(v) : v.isEmpty() ? QJsonValue() : QJsonValue(v.toDouble()));
    }
    return o;
}

QJsonArray jsonTable(const QStringList &columns, const QList<QStringList> &rows, int textColumns)
{
    QJsonArray a;
    for (const QStringList &row : rows)
        a.append(jsonRow(columns, row, textColumns));
    return a;
}

} // namespace

QByteArray ShiftSummary::unitCsv() const
{
    return csvOf(*this, unitColumns(), unitRows());
}

QByteArray ShiftSummary::designCsv() const
{
    return csvOf(*this, designColumns(), designRows());
}

QByteArray ShiftSummary::dayCsv() const
{
    return csvOf(*this, dayColumns(), dayRows());
}

QByteArray ShiftSummary::json() const
{
    QList<QStringList> unitTable = unitRows();
    const QStringList totalRow = unitTable.takeLast();
    QJsonArray bins;
    for (qsizetype i = 0; i < counted.size(); ++i)
        bins.append(QJsonObject{{isRange() ? QStringLiteral("day") : QStringLiteral("hour"),
                                 isRange() ? QJsonValue(from.addDays(i).toString(Qt::ISODate)) : QJsonValue(int(i))},
                                {QStringLiteral("stones counted"), counted[i]}});
    const auto text = [](const QString &t) { return t.isEmpty() ? QJsonValue() : QJsonValue(t); };
    const QJsonObject report{
        {QStringLiteral("station"), station},
        {QStringLiteral("first day"), from.toString(Qt::ISODate)},
        {QStringLiteral("last day"), to.toString(Qt::ISODate)},
        {QStringLiteral("from"), text(fromText())},
        {QStringLiteral("to"), text(toText())},
        {QStringLiteral("units"), jsonTable(unitColumns(), unitTable, 2)},
        {QStringLiteral("total"), jsonRow(unitColumns(), totalRow, 2)},
        {QStringLiteral("designs"), jsonTable(designColumns(), designRows(), 1)},
        {QStringLiteral("days"), jsonTable(dayColumns(), dayRows(), 3)},
        {QStringLiteral("stones counted per"), bins},
        {QStringLiteral("unreadable rows"), unreadable},
        {QStringLiteral("rows in progress"), inProgress},
        {QStringLiteral("files refused"), QJsonArray::fromStringList(refused)},
    };
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

QString ShiftSummary::unitText() const
{
    QList<QStringList> table{unitColumns()};
    table.append(unitRows());
    QList<qsizetype> widths(table.front().size(), 0);
    for (const QStringList &row : table)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].size());
    QString text;
    for (const QStringList &row : table) {
        QStringList cells;
        for (qsizetype c = 0; c < row.size(); ++c) // names to the left, numbers to the right
            cells.append(c < 2 ? row[c].leftJustified(widths[c]) : row[c].rightJustified(widths[c]));
        text += cells.join(QStringLiteral("  ")).trimmed() + u'\n';
    }
    return text;
}

ShiftSummaryBuilder::ShiftSummaryBuilder(QDate from, QDate to)
{
    m_summary.from = from;
    m_summary.to = to;
    m_summary.total.unit = QLatin1String(QT_TRANSLATE_NOOP("ShiftSummary", "total"));
    m_summary.counted.fill(0, from == to ? 24 : int(from.daysTo(to)) + 1);
}

void ShiftSummaryBuilder::setPending(const QList<journal::PendingRow> &pending)
{
    m_pending = pending;
    m_written.clear();
    for (const journal::PendingRow &p : pending)
        m_written.insert(journal::keyOf(p.row), 0);
}

void ShiftSummaryBuilder::add(QDate day, const journal::Read &read)
{
    if (read.found)
        ++m_summary.files;
    if (!read.refused.isEmpty())
        m_summary.refused.append(read.refused);
    m_summary.unreadable += read.unreadable;
    for (const journal::Row &row : read.rows)
        addRow(day, row);
}

void ShiftSummaryBuilder::addRow(QDate day, const journal::Row &row)
{
    // A row written while the report read is in the file and may still be in the pending file: once.
    if (!m_written.isEmpty()) {
        if (const auto it = m_written.find(journal::keyOf(row)); it != m_written.end())
            ++*it;
    }
    sum(day, row);
}

void ShiftSummaryBuilder::addPending()
{
    // A pending row is in a file when the files hold more rows of its key than were written before it, so
    // two runs of one design in one second stay two runs.
    QSet<QStringList> seen; // a row listed twice is one row
    for (const journal::PendingRow &p : std::as_const(m_pending)) {
        const QStringList key = journal::keyOf(p.row);
        const QStringList identity = key + QStringList{QString::number(p.earlier)};
        if (p.row.day < m_summary.from || p.row.day > m_summary.to || m_written.value(key) > p.earlier
            || seen.contains(identity))
            continue;
        seen.insert(identity);
        ++m_summary.inProgress;
        sum(p.row.day, p.row);
    }
    m_pending.clear();
}

void ShiftSummaryBuilder::sum(QDate day, const journal::Row &row)
{
    ShiftSummary::UnitTotals &u = m_units[row.unit];
    u.unit = row.unit;
    if (!row.uid.isEmpty() && !u.uids.contains(row.uid))
        u.uids.append(row.uid);
    count(u, row);
    count(m_summary.total, row);

    DesignRuns &d = m_designs[row.design];
    d.times.insert(row.timeText);
    d.add(row.asked, row.counted, row.shortBy);

    ShiftSummary::UnitTotals &dayUnit = m_days[day][row.unit];
    dayUnit.unit = row.unit;
    if (!row.uid.isEmpty() && !dayUnit.uids.contains(row.uid))
        dayUnit.uids.append(row.uid);
    count(dayUnit, row);
    count(m_dayTotals[day], row);

    const QDateTime start(row.day, row.time);
    if (!m_summary.firstRun.isValid() || start < m_summary.firstRun)
        m_summary.firstRun = start;
    if (!m_summary.lastRun.isValid() || start > m_summary.lastRun)
        m_summary.lastRun = start;

    // A day's file holds the runs of that day; a run started just before midnight may close after it.
    const qsizetype at = m_summary.isRange() ? m_summary.from.daysTo(day) : row.time.hour();
    if (at >= 0 && at < m_summary.counted.size())
        m_summary.counted[at] += numtext::read(row.counted);
}

namespace {

std::vector<ShiftSummary::UnitTotals> inUnitOrder(const QHash<QString, ShiftSummary::UnitTotals> &units)
{
    std::vector<ShiftSummary::UnitTotals> list(units.cbegin(), units.cend());
    std::sort(list.begin(), list.end(), [](const auto &a, const auto &b) { return unitOrder(a.unit, b.unit); });
    return list;
}

ShiftSummary::DesignTotals designTotals(const QString &name, const Stones &stones, qint64 runs)
{
    ShiftSummary::DesignTotals d;
    static_cast<Stones &>(d) = stones;
    d.design = name;
    d.runs = runs;
    return d;
}

} // namespace

ShiftSummary ShiftSummaryBuilder::result() const
{
    ShiftSummary s = m_summary;
    s.units = inUnitOrder(m_units);
    for (auto d = m_designs.cbegin(); d != m_designs.cend(); ++d) {
        if (!d.key().isEmpty())
            s.designs.push_back(designTotals(d.key(), *d, d->times.size()));
    }
    std::sort(s.designs.begin(), s.designs.end(), [](const auto &a, const auto &b) { return a.design < b.design; });
    // Counts typed by hand, without a design, come last.
    if (const auto none = m_designs.constFind(QString()); none != m_designs.cend())
        s.designs.push_back(designTotals(QString::fromLatin1(ShiftSummary::NoDesign), *none, none->times.size()));
    for (auto d = m_days.cbegin(); d != m_days.cend(); ++d) {
        ShiftSummary::DayTotals day{d.key(), inUnitOrder(*d), m_dayTotals.value(d.key())};
        day.total.unit = m_summary.total.unit;
        s.days.push_back(std::move(day));
    }
    return s;
}

ShiftSummary ShiftSummaryBuilder::readDays(const QString &programFolder, QDate from, QDate to,
                                           const std::function<bool()> &stop)
{
    ShiftSummaryBuilder builder(from, to);
    builder.setPending(journal::readPending(journal::pendingFor(programFolder)));
    for (QDate day = from; day <= to; day = day.addDays(1)) {
        if (stop && stop())
            break;
        // Row by row into the sums: a month of full journals takes the memory of one row.
        builder.add(day, journal::readFile(journal::fileFor(programFolder, day), [&](const journal::Row &row) {
                        builder.addRow(day, row);
                    }));
    }
    builder.addPending();
    return builder.result();
}
