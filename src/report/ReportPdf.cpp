#include "report/ReportPdf.h"

#include "report/ReportCharts.h"

#include <QChart>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace reportpdf {

namespace {

// Drawing in units of 1/96 inch keeps sizes as they are on a screen; QPdfWriter keeps text and lines as
// vectors at any resolution.
constexpr int Resolution = 96;

class Page
{
public:
    Page(QPdfWriter &writer, QPainter &painter, QString footer)
        : m_writer(writer)
        , m_painter(painter)
        , m_footer(std::move(footer))
    {
        m_area = QRectF(QPointF(0, 0), writer.pageLayout().paintRectPixels(Resolution).size());
        m_bottom = m_area.bottom() - 24;
        drawFooter();
    }

    QPainter &painter() { return m_painter; }
    qreal width() const { return m_area.width(); }
    qreal y = 0;

    // Makes room for height; a new page when this one is full.
    void need(qreal height)
    {
        if (y + height <= m_bottom || y == 0)
            return;
        m_writer.newPage();
        ++m_number;
        y = 0;
        drawFooter();
    }
    qreal bottom() const { return m_bottom; }

private:
    void drawFooter()
    {
        m_painter.save();
        QFont f = m_painter.font();
        f.setPointSizeF(7);
        m_painter.setFont(f);
        m_painter.setPen(Qt::darkGray);
        const QRectF line(0, m_area.bottom() - 14, m_area.width(), 14);
        m_painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, m_footer);
        m_painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter,
                           QCoreApplication::translate("ReportPdf", "page %1").arg(m_number));
        m_painter.restore();
    }

    QPdfWriter &m_writer;
    QPainter &m_painter;
    QString m_footer;
    QRectF m_area;
    qreal m_bottom = 0;
    int m_number = 1;
};

void drawText(Page &page, const QString &text, qreal points, bool bold = false)
{
    QFont f = page.painter().font();
    f.setPointSizeF(points);
    f.setBold(bold);
    page.painter().setFont(f);
    const QRectF box = page.painter().boundingRect(QRectF(0, 0, page.width(), 1000), Qt::TextWordWrap, text);
    page.need(box.height());
    page.painter().drawText(QRectF(0, page.y, page.width(), box.height()), Qt::TextWordWrap, text);
    page.y += box.height() + 4;
}

// A table over the page's width: columns as wide as their widest cell, names to the left and numbers to
// the right, the header wrapped onto two lines. A table too wide for the page is set in a smaller type
// rather than cut; a name that still does not fit wraps onto more lines.
void drawTable(Page &page, const QStringList &header, const QList<QStringList> &rows, int leftColumns)
{
    QPainter &p = page.painter();
    QFont f = p.font();
    f.setBold(false);
    const qreal pad = 3;
    QList<qreal> widths;
    const auto measure = [&](qreal points) {
        f.setPointSizeF(points);
        QFont bold = f;
        bold.setBold(true); // the header and the total row
        const QFontMetricsF fm(bold, p.device());
        widths.fill(0, header.size());
        qreal total = 0;
        for (qsizetype c = 0; c < header.size(); ++c) {
            for (const QString &word : header[c].split(u' '))
                widths[c] = std::max(widths[c], fm.horizontalAdvance(word));
            for (const QStringList &row : rows)
                widths[c] = std::max(widths[c], fm.horizontalAdvance(row.value(c)));
            widths[c] += 2 * pad;
            total += widths[c];
        }
        return total;
    };
    qreal total = measure(7);
    if (total > page.width())
        total = measure(std::max(5.0, 7 * page.width() / total));
    // Room to spare widens the columns alike; what is still missing comes off the name columns, whose text wraps.
    if (total <= page.width()) {
        for (qreal &w : widths)
            w *= page.width() / total;
    } else {
        qreal names = 0;
        for (int c = 0; c < leftColumns && c < widths.size(); ++c)
            names += widths[c];
        const qreal scale = std::max(0.2, (names - (total - page.width())) / names);
        for (int c = 0; c < leftColumns && c < widths.size(); ++c)
            widths[c] *= scale;
    }
    const QFontMetricsF fm(f, p.device());

    const qreal line = fm.height() + 2;
    const auto drawRow = [&](const QStringList &cells, bool head) {
        QFont rowFont = f;
        rowFont.setBold(head || cells.value(0) == u"total");
        p.setFont(rowFont);
        qreal height = head ? 2 * line : line;
        for (qsizetype c = 0; c < cells.size() && c < widths.size(); ++c) {
            if (head || c < leftColumns) {
                const QRectF need = p.boundingRect(QRectF(0, 0, widths[c] - 2 * pad, 1000),
                                                   Qt::TextWordWrap | Qt::TextWrapAnywhere, cells[c]);
                height = std::max(height, need.height() + 2);
            }
        }
        page.need(height);
        if (head)
            p.fillRect(QRectF(0, page.y, page.width(), height), QColor(230, 230, 230));
        qreal x = 0;
        for (qsizetype c = 0; c < cells.size() && c < widths.size(); ++c) {
            const QRectF cell(x + pad, page.y, widths[c] - 2 * pad, height);
            const int align = (c < leftColumns ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            p.drawText(cell, align | Qt::TextWordWrap | (head ? 0 : Qt::TextWrapAnywhere), cells[c]);
            x += widths[c];
        }
        p.setPen(QColor(190, 190, 190));
        p.drawLine(QPointF(0, page.y + height), QPointF(page.width(), page.y + height));
        p.setPen(Qt::black);
        page.y += height;
    };
    drawRow(header, true);
    for (const QStringList &row : rows)
        drawRow(row, false);
    page.y += 10;
}

// Qt Charts draws on a graphics scene; the scene drawn through the PDF's painter stays vector. The charts
// share the width, side by side.
void drawCharts(Page &page, const QList<QChart *> &charts, qreal height)
{
    page.need(height);
    const qreal width = (page.width() - 8 * (charts.size() - 1)) / charts.size();
    qreal x = 0;
    for (QChart *chart : charts) {
        QGraphicsScene scene;
        scene.addItem(chart);
        const QRectF rect(0, 0, width, height);
        chart->setGeometry(rect);
        chart->layout()->activate();
        scene.setSceneRect(rect);
        scene.render(&page.painter(), QRectF(x, page.y, width, height), rect);
        scene.removeItem(chart);
        x += width + 8;
    }
    page.y += height + 8;
}

// The columns as a reader of the report sees them.
QStringList shown(const QStringList &columns)
{
    QStringList names;
    for (const QString &c : columns)
        names.append(QCoreApplication::translate("ShiftSummary", c.toUtf8().constData()));
    return names;
}

QList<QStringList> shownRows(QList<QStringList> rows)
{
    for (QStringList &row : rows) {
        if (row.value(0) == u"total")
            row[0] = QCoreApplication::translate("ShiftSummary", "total");
        else if (row.value(0) == QLatin1String(ShiftSummary::NoDesign))
            row[0] = QCoreApplication::translate("ShiftSummary", ShiftSummary::NoDesign);
    }
    return rows;
}

} // namespace

QString periodText(const ShiftSummary &summary)
{
    const QString first = summary.from.toString(QStringLiteral("yy-MM-dd"));
    return summary.isRange() ? QCoreApplication::translate("ReportPdf", "%1 to %2")
                                   .arg(first, summary.to.toString(QStringLiteral("yy-MM-dd")))
                             : first;
}

QStringList titleBlock(const ShiftSummary &summary)
{
    const int days = int(summary.from.daysTo(summary.to)) + 1;
    QStringList lines{
        QCoreApplication::translate("ReportPdf", "Station: %1").arg(summary.station),
        days == 1
            ? QCoreApplication::translate("ReportPdf", "Day: %1").arg(periodText(summary))
            : QCoreApplication::translate("ReportPdf", "Days: %1 (%n days)", nullptr, days).arg(periodText(summary))};
    const QString time = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    lines.append(summary.firstRun.isValid() ? QCoreApplication::translate("ReportPdf", "Runs from %1 to %2")
                                                  .arg(summary.firstRun.toString(time), summary.lastRun.toString(time))
                                            : QCoreApplication::translate("ReportPdf", "No runs"));
    return lines;
}

QString defaultFile(const QString &programFolder, const ShiftSummary &summary)
{
    const QString first = summary.from.toString(QStringLiteral("yy-MM-dd-"));
    const QString last = summary.isRange() ? summary.to.toString(QStringLiteral("yy-MM-dd-")) : QString();
    return journal::logFolder(programFolder) + u'/' + first + last + QStringLiteral("Report.pdf");
}

bool write(const ShiftSummary &summary, const QString &file, const QString &programFolder, const QDateTime &printed,
           QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (const QString dir = QFileInfo(file).absolutePath(); !QDir().mkpath(dir))
        return fail(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(dir)));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());
    {
        QPdfWriter writer(&out);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        writer.setResolution(Resolution);
        const QString title = QCoreApplication::translate("ReportPdf", "Shift report %1").arg(periodText(summary));
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("vorn"));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("the PDF could not be started"));
        Page page(writer, painter,
                  QCoreApplication::translate("ReportPdf", "%1 - printed %2")
                      .arg(QDir::toNativeSeparators(journal::logFolder(programFolder)),
                           printed.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
        drawText(page, title, 16, true);
        for (const QString &line : titleBlock(summary))
            drawText(page, line, 9);
        for (const QString &note : summary.refused)
            drawText(page, note, 8);
        if (!summary.unreadableText().isEmpty())
            drawText(page, summary.unreadableText(), 8);
        if (!summary.inProgressText().isEmpty())
            drawText(page, summary.inProgressText(), 8);
        page.y += 6;
        drawText(page, QCoreApplication::translate("ReportPdf", "Units"), 10, true);
        drawTable(page, shown(ShiftSummary::unitColumns()), shownRows(summary.unitRows()), 2);
        const auto results = reportcharts::resultChart(summary);
        drawCharts(page, {results.get()}, 250);
        const auto counted = reportcharts::countedChart(summary);
        if (summary.isRange()) {
            const auto yield = reportcharts::yieldChart(summary);
            drawCharts(page, {counted.get(), yield.get()}, 220);
        } else {
            drawCharts(page, {counted.get()}, 220);
        }
        drawText(page, QCoreApplication::translate("ReportPdf", "Designs"), 10, true);
        drawTable(page, shown(ShiftSummary::designColumns()), shownRows(summary.designRows()), 1);
        if (!painter.end())
            return fail(QStringLiteral("the PDF could not be finished"));
    }
    if (!out.commit())
        return fail(out.errorString());
    return true;
}

} // namespace reportpdf
