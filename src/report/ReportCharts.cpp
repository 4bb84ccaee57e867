#include "report/ReportCharts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
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

// Whole numbers on the value axis, a tick every 1, 2 or 5 times a power of ten: a count of runs or stones
// has no fractions.
void addValueAxis(QChart &chart, QAbstractSeries *series, double maximum)
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
    chart.addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
}

void addCategoryAxis(QChart &chart, QAbstractSeries *series, const QStringList &categories)
{
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    x->setLabelsFont(smallFont(x->labelsFont()));
    chart.addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
}

// Twenty-four hours (or a month of days) side by side leave no room for a label under every bar: one bar in
// every few carries one, at its centre.
void addBinAxis(QChart &chart, QAbstractSeries *series, const QStringList &bins)
{
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setLabelsFont(smallFont(x->labelsFont()));
    x->setStartValue(-0.5);
    const qsizetype every = std::max<qsizetype>(1, (bins.size() + 7) / 8);
    for (qsizetype i = 0; i < bins.size(); i += every)
        x->append(bins[i], qreal(i));
    x->setRange(-0.5, qreal(bins.size()) - 0.5);
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
        {QStringLiteral("complete"), QStringLiteral("complete"), QColor(0x2e, 0x9e, 0x44)},
        {QStringLiteral("short"), QStringLiteral("short"), QColor(0xf0, 0x9a, 0x1a)},
        {QStringLiteral("over"), QStringLiteral("over"), QColor(0x8e, 0x4f, 0xc4)},
        {QStringLiteral("stuck"), QStringLiteral("stuck"), QColor(0xd6, 0x2d, 0x2d)},
        {QStringLiteral("not sent"), QStringLiteral("not sent"), QColor(0x7a, 0x7a, 0x7a)},
        {QStringLiteral("no report"), QStringLiteral("no report"), QColor(0x3a, 0x7b, 0xd5)},
    };
    return list;
}

std::unique_ptr<QChart> resultChart(const ShiftSummary &summary)
{
    auto chart = newChart(QStringLiteral("Runs per unit by result"));
    auto *series = new QStackedBarSeries;
    QStringList units;
    for (const ShiftSummary::UnitTotals &u : summary.units)
        units.append(u.unit);
    for (const ResultStyle &style : results()) {
        auto *set = new QBarSet(style.label);
        set->setColor(style.colour);
        set->setBorderColor(style.colour.darker(130));
        for (const ShiftSummary::UnitTotals &u : summary.units)
            set->append(qreal(countOf(u, style.result)));
        series->append(set);
    }
    chart->addSeries(series);
    double most = 0;
    for (const ShiftSummary::UnitTotals &u : summary.units)
        most = std::max(most, double(u.runs));
    addCategoryAxis(*chart, series, units);
    addValueAxis(*chart, series, most);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

std::unique_ptr<QChart> countedChart(const ShiftSummary &summary)
{
    auto chart = newChart(summary.isRange() ? QStringLiteral("Stones counted per day")
                                            : QStringLiteral("Stones counted per hour"));
    auto *series = new QBarSeries;
    auto *set = new QBarSet(QStringLiteral("stones counted"));
    set->setColor(results().front().colour);
    QStringList bins;
    double most = 0;
    for (qsizetype i = 0; i < summary.counted.size(); ++i) {
        set->append(summary.counted[i]);
        bins.append(summary.binLabel(int(i)));
        most = std::max(most, summary.counted[i]);
    }
    series->append(set);
    series->setBarWidth(0.9);
    chart->addSeries(series);
    addBinAxis(*chart, series, bins);
    addValueAxis(*chart, series, most);
    chart->legend()->setVisible(false);
    return chart;
}

} // namespace reportcharts
