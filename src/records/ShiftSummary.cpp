#include "records/ShiftSummary.h"

#include "common/NumberText.h"
#include "records/RunJournal.h"

#include <algorithm>

namespace {

QString number(qint64 n)
{
    return QString::number(n);
}

QString number(double v)
{
    return numtext::plain(v);
}

QStringList unitRow(const ShiftSummary::UnitTotals &u)
{
    return {u.unit,
            u.uids.join(u'/'),
            number(u.runs),
            number(u.complete),
            number(u.shortRuns),
            number(u.stuck),
            number(u.over),
            number(u.notSent),
            number(u.noReport),
            number(u.asked),
            number(u.counted),
            number(u.shortBy),
            number(u.ok),
            number(u.notOk)};
}

void count(ShiftSummary::UnitTotals &u, const journal::Row &row)
{
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
    // An empty field counts 0, as does a number the console would not read either.
    u.asked += numtext::read(row.asked);
    u.counted += numtext::read(row.counted);
    u.shortBy += numtext::read(row.shortBy);
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
    return {QStringLiteral("unit"),
            QStringLiteral("uid"),
            QStringLiteral("runs"),
            QStringLiteral("complete"),
            QStringLiteral("short runs"),
            QStringLiteral("stuck"),
            QStringLiteral("over"),
            QStringLiteral("not sent"),
            QStringLiteral("no report"),
            QStringLiteral("stones asked"),
            QStringLiteral("stones counted"),
            QStringLiteral("stones short"),
            QStringLiteral("OK"),
            QStringLiteral("NOT OK")};
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
    return {QStringLiteral("design"), QStringLiteral("runs"), QStringLiteral("stones asked"),
            QStringLiteral("stones counted")};
}

QList<QStringList> ShiftSummary::designRows() const
{
    QList<QStringList> rows;
    for (const DesignTotals &d : designs)
        rows.append({d.design, number(d.runs), number(d.asked), number(d.counted)});
    return rows;
}

QByteArray ShiftSummary::unitCsv() const
{
    QByteArray csv;
    const auto line = [&csv](const QStringList &fields) {
        QStringList quoted;
        for (const QString &f : fields)
            quoted.append(RunJournal::csvField(f));
        csv += quoted.join(u',').toUtf8() + "\r\n";
    };
    line(unitColumns());
    for (const QStringList &row : unitRows())
        line(row);
    return csv;
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
    m_summary.total.unit = QStringLiteral("total");
    m_summary.counted.fill(0, from == to ? 24 : int(from.daysTo(to)) + 1);
}

namespace {

// What tells the row of one unit in one run from every other row, whatever its verdict.
bool sameRow(const journal::Row &a, const journal::Row &b)
{
    return a.timeText == b.timeText && a.unit == b.unit && a.uid == b.uid && a.design == b.design && a.asked == b.asked;
}

} // namespace

void ShiftSummaryBuilder::setPending(const journal::Read &pending)
{
    m_pending = pending.rows;
    m_pendingWritten.fill(false, m_pending.size());
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
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        if (!m_pendingWritten.at(i) && sameRow(m_pending.at(i), row))
            m_pendingWritten[i] = true;
    }
    sum(day, row);
}

void ShiftSummaryBuilder::addPending()
{
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        const journal::Row &row = m_pending.at(i);
        if (m_pendingWritten.at(i) || row.day < m_summary.from || row.day > m_summary.to)
            continue;
        m_pendingWritten[i] = true;
        ++m_summary.inProgress;
        sum(row.day, row);
    }
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
    d.asked += numtext::read(row.asked);
    d.counted += numtext::read(row.counted);

    // A day's file holds the runs of that day; a run started just before midnight may close after it.
    const qsizetype at = m_summary.isRange() ? m_summary.from.daysTo(day) : row.time.hour();
    if (at >= 0 && at < m_summary.counted.size())
        m_summary.counted[at] += numtext::read(row.counted);
}

ShiftSummary ShiftSummaryBuilder::result() const
{
    ShiftSummary s = m_summary;
    for (const ShiftSummary::UnitTotals &u : m_units)
        s.units.push_back(u);
    std::sort(s.units.begin(), s.units.end(), [](const auto &a, const auto &b) { return unitOrder(a.unit, b.unit); });
    for (auto d = m_designs.cbegin(); d != m_designs.cend(); ++d) {
        if (!d.key().isEmpty())
            s.designs.push_back({d.key(), qint64(d->times.size()), d->asked, d->counted});
    }
    std::sort(s.designs.begin(), s.designs.end(), [](const auto &a, const auto &b) { return a.design < b.design; });
    // Counts typed by hand, without a design, come last.
    if (const auto none = m_designs.constFind(QString()); none != m_designs.cend())
        s.designs.push_back(
            {QString::fromLatin1(ShiftSummary::NoDesign), qint64(none->times.size()), none->asked, none->counted});
    return s;
}

ShiftSummary ShiftSummaryBuilder::readDays(const QString &programFolder, QDate from, QDate to,
                                           const std::function<bool()> &stop)
{
    ShiftSummaryBuilder builder(from, to);
    builder.setPending(journal::readFile(journal::pendingFor(programFolder)));
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
