#pragma once

#include "records/ShiftSummary.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The shift report as a PDF on A4: the day or range in the title, the station and the first and last run
// under it, the unit table, the charts drawn as vectors, the design table, and in the footer the journal's
// folder and when it was printed. Written whole or not at all: a file that cannot be written leaves no half
// a report behind. Its texts are translated in the context "ReportPdf".
namespace reportpdf {

// "26-12-06", or "26-12-01 to 26-12-06".
QString periodText(const ShiftSummary &summary);
// Who and when, under the title: "Station: press-3", "Days: 26-12-01 to 26-12-06 (6 days)",
// "Runs from 2026-12-01 06:02:11 to 2026-12-06 21:40:00".
QStringList titleBlock(const ShiftSummary &summary);

// The default file for the report: "Log/yy-mm-dd-Report.pdf" in the program folder, for a range
// "Log/yy-mm-dd-yy-mm-dd-Report.pdf" (first and last day).
QString defaultFile(const QString &programFolder, const ShiftSummary &summary);

// Writes the report; on failure returns false and says why in error.
bool write(const ShiftSummary &summary, const QString &file, const QString &programFolder, const QDateTime &printed,
           QString *error = nullptr);

} // namespace reportpdf
