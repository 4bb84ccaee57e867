#pragma once

#include "records/ShiftSummary.h"

#include <QBrush>
#include <QColor>
#include <QList>
#include <QString>

#include <memory>

class QChart;

// The shift report's charts, for the window and for the PDF alike. Their texts are translated in the
// context "ReportCharts".
namespace reportcharts {

struct ResultStyle
{
    QString result; // as the journal writes it
    const char *label; // in the legend, before translation
    QColor colour;
    Qt::BrushStyle pattern; // so results are told apart on a grey print and by eyes that mix green and red
};
// The results in the order they are stacked, bottom first, each with a colour and a pattern of its own.
const QList<ResultStyle> &results();
// The result's fill: its pattern drawn in its colour over a pale shade of that colour.
QBrush resultBrush(const ResultStyle &style);

// Stacked bars per unit, one segment per result; the legend reads as the stack, top first.
std::unique_ptr<QChart> resultChart(const ShiftSummary &summary);
// Stones counted per hour of the day, or per day of a range, every bar labelled.
std::unique_ptr<QChart> countedChart(const ShiftSummary &summary);
// Yield per day of a range, a point for each day that asked for stones.
std::unique_ptr<QChart> yieldChart(const ShiftSummary &summary);

// A bin axis labels every bin up to this many; a longer range labels every seventh day (a week).
constexpr int MostLabelledBins = 62;

} // namespace reportcharts
