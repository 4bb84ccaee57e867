#include "fleet/ShiftMessage.h"

#include "common/NumberText.h"
#include "records/JournalReader.h"
#include "records/ShiftSummary.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace fleet {

namespace {

QJsonObject totals(const ShiftSummary::UnitTotals &u)
{
    QJsonObject o{{QStringLiteral("runs"), u.runs},           {QStringLiteral("complete"), u.complete},
                  {QStringLiteral("shortRuns"), u.shortRuns}, {QStringLiteral("stuck"), u.stuck},
                  {QStringLiteral("asked"), u.asked},         {QStringLiteral("counted"), u.counted},
                  {QStringLiteral("short"), u.shortBy}};
    // Stones counted for every hundred asked, to a tenth; none asked (or no number), no yield.
    const bool numbers = std::isfinite(u.asked) && std::isfinite(u.counted);
    o.insert(QStringLiteral("yield"),
             numbers && u.asked > 0 ? QJsonValue(std::round(u.counted / u.asked * 1000) / 10) : QJsonValue());
    return o;
}

QJsonValue number(const QString &text)
{
    return text.trimmed().isEmpty() ? QJsonValue() : QJsonValue(numtext::read(text));
}

} // namespace

QByteArray shiftMessage(const ShiftSummary &summary, const QList<JournalRow> &lastRun, const QString &station,
                        const QString &time)
{
    QJsonArray units;
    for (const ShiftSummary::UnitTotals &u : summary.units) {
        QJsonObject o = totals(u);
        o.insert(QStringLiteral("unit"), u.unit);
        o.insert(QStringLiteral("uid"), u.uids.join(u'/'));
        units.append(o);
    }
    QJsonObject message{{QStringLiteral("station"), station},
                        {QStringLiteral("day"), summary.from.toString(Qt::ISODate)},
                        {QStringLiteral("time"), time},
                        {QStringLiteral("units"), units},
                        {QStringLiteral("total"), totals(summary.total)},
                        {QStringLiteral("inProgress"), summary.inProgress}};
    if (!lastRun.isEmpty()) {
        QJsonArray rows;
        for (const JournalRow &r : lastRun)
            rows.append(QJsonObject{{QStringLiteral("unit"), r.unit},
                                    {QStringLiteral("result"), r.result},
                                    {QStringLiteral("asked"), number(r.asked)},
                                    {QStringLiteral("counted"), number(r.counted)},
                                    {QStringLiteral("short"), number(r.shortBy)}});
        message.insert(QStringLiteral("last"),
                       QJsonObject{{QStringLiteral("time"), lastRun.front().timeText},
                                   {QStringLiteral("design"), lastRun.front().design},
                                   {QStringLiteral("rows"), rows}});
    }
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

QByteArray todaysShift(const QString &programFolder, const QDateTime &now, const QString &station)
{
    const QDate today = now.date();
    ShiftSummaryBuilder builder(today, today);
    builder.setPending(journal::readPending(journal::pendingFor(programFolder)));
    // Row by row, as the report reads: a full day's file takes the memory of one row and of the latest run.
    // The rows of the latest run of the file are kept in the order written (the file keeps runs in time
    // order, but a recovered run may land after a later one).
    QString latest;
    QList<JournalRow> last;
    builder.add(today, journal::readFile(journal::fileFor(programFolder, today), [&](const JournalRow &r) {
                    builder.addRow(today, r);
                    if (r.timeText > latest)
                        latest = r.timeText, last.clear();
                    if (r.timeText == latest)
                        last.append(r);
                }));
    builder.addPending();
    return shiftMessage(builder.result(), last, station, now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
}

} // namespace fleet
