#pragma once

#include "records/JournalRow.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct ShiftSummary;

// The retained "shift" message: what the console dispensed today, per unit and in total, as the shift
// report counts it, and the last run written, so a board opened mid-shift is complete at once.
namespace fleet {

// The message for a summary and the rows of the last run (those of the latest run time of the day's file);
// time is when it was made, in local time to the second.
QByteArray shiftMessage(const ShiftSummary &summary, const QList<JournalRow> &lastRun, const QString &station,
                        const QString &time);

// Today's message from the journal of a program folder (the run in progress included, as the report has it).
QByteArray todaysShift(const QString &programFolder, const QDateTime &now, const QString &station);

} // namespace fleet
