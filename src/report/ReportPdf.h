#pragma once

#include "records/ShiftSummary.h"

#include <QDateTime>
#include <QString>

// The shift report as a PDF on A4: the day or range in the title, the unit table, the two charts drawn as
// vectors, the design table, and in the footer the journal's folder and when it was printed. Written
// whole or not at all: a file that cannot be written leaves no half a report behind.
namespace reportpdf {

// The default file for the report: "Log/yy-mm-dd-Report.pdf" in the program folder, for a range
// "Log/yy-mm-dd-yy-mm-dd-Report.pdf" (first and last day).
QString defaultFile(const QString &programFolder, const ShiftSummary &summary);

// Writes the report; on failure returns false and says why in error.
bool write(const ShiftSummary &summary, const QString &file, const QString &programFolder, const QDateTime &printed,
           QString *error = nullptr);

} // namespace reportpdf
