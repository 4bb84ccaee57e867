#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>
#include <utility>

class QTextStream;

// "vorn --report": the shift report from the command line, for a script at the end of a shift.
namespace reportcommand {

// "yy-mm-dd" (one day) or "yy-mm-dd..yy-mm-dd" (first to last), today when empty. Empty when the text is
// no such day or range, the range runs backwards or is longer than ShiftSummary::MaxDays.
std::optional<std::pair<QDate, QDate>> parseDays(const QString &text, QDate today);

struct Request
{
    QString programFolder;
    QString days; // as given
    QString pdf; // files to write; none: the unit table to standard output
    QString csv; // the unit table
    QString designsCsv;
    QString daysCsv; // a row per day and unit
    QString json; // the whole report
};

// Writes what was asked and returns the exit status: 0 when written, 2 with one line on err for a bad day,
// days without journal rows, or a file that cannot be written. The station is read from the settings of
// the program folder mSettings was given. Writing a PDF needs a QApplication.
int run(const Request &request, const QDateTime &now, QTextStream &out, QTextStream &err);

} // namespace reportcommand
