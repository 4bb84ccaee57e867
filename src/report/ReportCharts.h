#pragma once

#include "records/ShiftSummary.h"

#include <QColor>
#include <QList>
#include <QString>

#include <memory>

class QChart;

// The shift report's two charts, for the window and for the PDF alike.
namespace reportcharts {

struct ResultStyle
{
    QString result; // as the journal writes it
    QString label; // in the legend
    QColor colour;
};
// The results in the order they are stacked, each with a colour of its own.
const QList<ResultStyle> &results();

// Stacked bars per unit, one segment per result.
std::unique_ptr<QChart> resultChart(const ShiftSummary &summary);
// Stones counted per hour of the day, or per day of a range.
std::unique_ptr<QChart> countedChart(const ShiftSummary &summary);

} // namespace reportcharts
