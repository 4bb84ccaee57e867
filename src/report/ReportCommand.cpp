#include "report/ReportCommand.h"

#include "records/ShiftSummary.h"
#include "report/ReportPdf.h"
#include "settings/SettingsSchema.h"

#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

namespace reportcommand {

namespace {

// Days are written as in the journal's file names; the century is this one (Qt would read "26" as 1926).
std::optional<QDate> parseDay(const QString &text)
{
    static const QRegularExpression day(QStringLiteral("^(\\d\\d)-(\\d\\d)-(\\d\\d)$"));
    const QRegularExpressionMatch m = day.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(2000 + m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return date.isValid() ? std::optional(date) : std::nullopt;
}

} // namespace

std::optional<std::pair<QDate, QDate>> parseDays(const QString &text, QDate today)
{
    if (text.isEmpty())
        return std::pair(today, today);
    const QStringList ends = text.split(QStringLiteral(".."));
    if (ends.size() > 2)
        return std::nullopt;
    const auto from = parseDay(ends.front());
    const auto to = parseDay(ends.back());
    if (!from || !to || *from > *to || from->daysTo(*to) >= ShiftSummary::MaxDays)
        return std::nullopt;
    return std::pair(*from, *to);
}

int run(const Request &request, const QDateTime &now, QTextStream &out, QTextStream &err)
{
    const auto fail = [&err](const QString &line) {
        err << "vorn: " << line << Qt::endl;
        return 2;
    };
    const auto days = parseDays(request.days, now.date());
    if (!days)
        return fail(QStringLiteral("not a day or range of days: %1 (yy-mm-dd or yy-mm-dd..yy-mm-dd, at most %2 days)")
                        .arg(request.days)
                        .arg(ShiftSummary::MaxDays));
    ShiftSummary summary = ShiftSummaryBuilder::readDays(request.programFolder, days->first, days->second);
    summary.station = SettingsSchema::stationName();
    for (const QString &refused : summary.refused)
        err << "vorn: " << refused << Qt::endl;
    if (summary.total.runs == 0) {
        const QString damaged = summary.unreadable ? QStringLiteral(" (") + summary.unreadableText() + u')' : QString();
        return fail(
            QStringLiteral("no dispense journal for %1 in %2%3")
                .arg(summary.period(), QDir::toNativeSeparators(journal::logFolder(request.programFolder)), damaged));
    }
    if (!summary.unreadableText().isEmpty())
        err << "vorn: " << summary.unreadableText() << Qt::endl;
    if (!summary.inProgressText().isEmpty())
        err << "vorn: " << summary.inProgressText() << Qt::endl;

    const std::pair<QString, QByteArray (ShiftSummary::*)() const> data[]{
        {request.csv, &ShiftSummary::unitCsv},
        {request.designsCsv, &ShiftSummary::designCsv},
        {request.daysCsv, &ShiftSummary::dayCsv},
        {request.json, &ShiftSummary::json},
    };
    bool written = false;
    for (const auto &[file, table] : data) {
        if (file.isEmpty())
            continue;
        QSaveFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write((summary.*table)()) < 0 || !out.commit())
            return fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(file), out.errorString()));
        written = true;
    }
    if (!request.pdf.isEmpty()) {
        QString error;
        if (!reportpdf::write(summary, request.pdf, request.programFolder, now, &error))
            return fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(request.pdf), error));
    }
    if (!written && request.pdf.isEmpty())
        out << summary.unitText();
    out.flush();
    return 0;
}

} // namespace reportcommand
