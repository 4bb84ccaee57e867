#include "report/ReportCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QStackedBarSeries>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace reportcharts {

namespace {

qint64 countOf(const ShiftSummary::UnitTotals &u, const QString &result)
{
    if (result == u"complete")
        return u.complete;
    if (result == u"short")
        return u.shortRuns;
    if (result == u"over")
        return u.over;
    if (result == u"stuck")
        return u.stuck;
    if (result == u"not sent")
        return u.notSent;
    return u.noReport;
}

QFont smallFont(QFont font)
{
    font.setPointSizeF(7);
    return font;
}

void setTitle(QAbstractAxis *axis, const QString &title)
{
    axis->setTitleText(title);
    QFont f = axis->titleFont();
    f.setPointSizeF(7);
    f.setBold(false);
    axis->setTitleFont(f);
}

// Whole numbers on the value axis, a tick every 1, 2 or 5 times a power of ten: a count of runs or stones
// has no fractions.
void addValueAxis(QChart &chart, QAbstractSeries *series, double maximum, const QString &title)
{
    double step = 1;
    while (std::ceil(maximum / step) > 8)
        step *= (QString::number(step).front() == u'2') ? 2.5 : 2;
    const double top = std::max(1.0, std::ceil(maximum / step)) * step;
    auto *y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setRange(0, top);
    y->setTickCount(int(top / step) + 1);
    y->setLabelsFont(smallFont(y->labelsFont()));
    setTitle(y, title);
    chart.addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}

// The words of a name on lines of about so many characters, as rich text.
QString wrapped(const QString &name, int width)
{
    QStringList lines;
    for (const QString &word : name.split(u' ', Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && lines.back().size() + 1 + word.size() <= width)
            lines.back() += u' ' + word;
        else
            lines.append(word);
    }
    for (QString &line : lines)
        line = line.toHtmlEscaped();
    return lines.join(QStringLiteral("<br>"));
}

void addCategoryAxis(QChart &chart, QAbstractSeries *series, const QStringList &categories, const QString &title)
{
    auto *x = new QBarCategoryAxis;
    // A long name goes on lines of its own words (labels are rich text) rather than being cut.
    for (const QString &name : categories)
        x->append(name.size() > 12 ? wrapped(name, 12) : name);
    x->setLabelsFont(smallFont(x->labelsFont()));
    // A unit's name is never cut to "UNI...": many names are turned on their side instead.
    x->setTruncateLabels(false);
    if (categories.size() > 8)
        x->setLabelsAngle(-90);
    setTitle(x, title);
    chart.addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
}

// The hours (or days) under their bars, each at its centre, turned on its side. A range longer than two
// months has no room for every day: it labels the first of each week.
void addBinAxis(QChart &chart, QAbstractSeries *series, const ShiftSummary &summary)
{
    const int bins = int(summary.counted.size());
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setLabelsFont(smallFont(x->labelsFont()));
    x->setStartValue(-0.5);
    const int every = bins > MostLabelledBins ? 7 : 1;
    for (int i = 0; i < bins; i += every)
        x->append(summary.binLabel(i), qreal(i));
    x->setLabelsAngle(-90); // twenty-four hours side by side have room for a label each only turned
    x->setTruncateLabels(false);
    x->setRange(-0.5, qreal(bins) - 0.5);
    x->setGridLineVisible(false);
    setTitle(x,
             summary.isRange() ? QCoreApplication::translate("ReportCharts", "day")
                               : QCoreApplication::translate("ReportCharts", "hour of the day"));
    chart.addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
}

std::unique_ptr<QChart> newChart(const QString &title)
{
    auto chart = std::make_unique<QChart>();
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    return chart;
}

} // namespace

const QList<ResultStyle> &results()
{
    static const QList<ResultStyle> list{
        {QStringLiteral("complete"), QT_TRANSLATE_NOOP("ReportCharts", "complete"), QColor(0x2e, 0x9e, 0x44),
         Qt::SolidPattern},
        {QStringLiteral("short"), QT_TRANSLATE_NOOP("ReportCharts", "short"), QColor(0xf0, 0x9a, 0x1a),
         Qt::BDiagPattern},
        {QStringLiteral("over"), QT_TRANSLATE_NOOP("ReportCharts", "over"), QColor(0x8e, 0x4f, 0xc4), Qt::CrossPattern},
        {QStringLiteral("stuck"), QT_TRANSLATE_NOOP("ReportCharts", "stuck"), QColor(0xd6, 0x2d, 0x2d),
         Qt::DiagCrossPattern},
        {QStringLiteral("not sent"), QT_TRANSLATE_NOOP("ReportCharts", "not sent"), QColor(0x7a, 0x7a, 0x7a),
         Qt::HorPattern},
        {QStringLiteral("no report"), QT_TRANSLATE_NOOP("ReportCharts", "no report"), QColor(0x3a, 0x7b, 0xd5),
         Qt::VerPattern},
    };
    return list;
}

QBrush resultBrush(const ResultStyle &style)
{
    if (style.pattern == Qt::SolidPattern)
        return QBrush(style.colour);
    // A tile of the pattern: a brush draws only one colour, the tile both.
    QImage tile(8, 8, QImage::Format_ARGB32_Premultiplied);
    tile.fill(style.colour.lighter(165));
    QPainter p(&tile);
    p.fillRect(tile.rect(), QBrush(style.colour.darker(115), style.pattern));
    p.end();
    return QBrush(tile);
}

std::unique_ptr<QChart> resultChart(const ShiftSummary &summary)
{
    auto chart = newChart(QCoreApplication::translate("ReportCharts", "Runs per unit by result"));
    auto *series = new QStackedBarSeries;
    QStringList units;
    for (const ShiftSummary::UnitTotals &u : summary.units)
        units.append(u.unit);
    for (const ResultStyle &style : results()) {
        auto *set = new QBarSet(QCoreApplication::translate("ReportCharts", style.label));
        set->setBrush(resultBrush(style));
        set->setBorderColor(style.colour.darker(130));
        for (const ShiftSummary::UnitTotals &u : summary.units)
            set->append(qreal(countOf(u, style.result)));
        series->append(set);
    }
    chart->addSeries(series);
    double most = 0;
    for (const ShiftSummary::UnitTotals &u : summary.units)
        most = std::max(most, double(u.runs));
    addCategoryAxis(*chart, series, units, QCoreApplication::translate("ReportCharts", "unit"));
    addValueAxis(*chart, series, most, QCoreApplication::translate("ReportCharts", "runs"));
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);
    // The legend stands beside the stack: its top entry is the top segment.
    chart->legend()->setReverseMarkers(true);
    return chart;
}

std::unique_ptr<QChart> countedChart(const ShiftSummary &summary)
{
    auto chart = newChart(summary.isRange() ? QCoreApplication::translate("ReportCharts", "Stones counted per day")
                                            : QCoreApplication::translate("ReportCharts", "Stones counted per hour"));
    auto *series = new QBarSeries;
    auto *set = new QBarSet(QCoreApplication::translate("ReportCharts", "stones counted"));
    set->setColor(results().front().colour);
    double most = 0;
    for (const double stones : summary.counted) {
        set->append(stones);
        most = std::max(most, stones);
    }
    series->append(set);
    series->setBarWidth(0.9);
    chart->addSeries(series);
    addBinAxis(*chart, series, summary);
    addValueAxis(*chart, series, most, QCoreApplication::translate("ReportCharts", "stones"));
    chart->legend()->setVisible(false);
    return chart;
}

std::unique_ptr<QChart> yieldChart(const ShiftSummary &summary)
{
    auto chart = newChart(QCoreApplication::translate("ReportCharts", "Yield per day"));
    auto *line = new QLineSeries;
    line->setName(QCoreApplication::translate("ReportCharts", "yield %"));
    line->setPointsVisible(true);
    line->setColor(results().front().colour.darker(130));
    for (const ShiftSummary::DayTotals &d : summary.days) {
        if (const auto y = d.total.yield())
            line->append(qreal(summary.from.daysTo(d.day)), *y);
    }
    chart->addSeries(line);
    addBinAxis(*chart, line, summary);
    auto *y = new QValueAxis;
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setRange(0, 100);
    y->setTickCount(6);
    y->setLabelsFont(smallFont(y->labelsFont()));
    setTitle(y, QCoreApplication::translate("ReportCharts", "yield %"));
    chart->addAxis(y, Qt::AlignLeft);
    line->attachAxis(y);
    chart->legend()->setVisible(false);
    return chart;
}

} // namespace reportcharts
