#include "report/ReportPdf.h"

#include "report/ReportCharts.h"

#include <QChart>
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
                           QStringLiteral("page ") + QString::number(m_number));
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

// A table over the page's width: columns as wide as their widest cell (the first one takes what is left),
// names to the left and numbers to the right, the header wrapped onto two lines where it must.
void drawTable(Page &page, const QStringList &header, const QList<QStringList> &rows, int leftColumns)
{
    QPainter &p = page.painter();
    QFont f = p.font();
    f.setPointSizeF(7);
    f.setBold(false);
    p.setFont(f);
    const QFontMetricsF fm(f, p.device());
    const qreal pad = 3;
    QList<qreal> widths(header.size(), 0);
    for (qsizetype c = 0; c < header.size(); ++c) {
        for (const QString &word : header[c].split(u' '))
            widths[c] = std::max(widths[c], fm.horizontalAdvance(word));
        for (const QStringList &row : rows)
            widths[c] = std::max(widths[c], fm.horizontalAdvance(row.value(c)));
        widths[c] += 2 * pad;
    }
    qreal total = 0;
    for (qreal w : widths)
        total += w;
    // The columns share the page's width: room to spare widens them alike, too little narrows them alike
    // (long names are then cut).
    for (qreal &w : widths)
        w *= page.width() / total;

    const qreal line = fm.height() + 2;
    const auto drawRow = [&](const QStringList &cells, qreal height, bool head) {
        page.need(height);
        qreal x = 0;
        QFont rowFont = f;
        rowFont.setBold(head || cells.value(0) == u"total");
        p.setFont(rowFont);
        if (head)
            p.fillRect(QRectF(0, page.y, page.width(), height), QColor(230, 230, 230));
        for (qsizetype c = 0; c < cells.size() && c < widths.size(); ++c) {
            const QRectF cell(x + pad, page.y, widths[c] - 2 * pad, height);
            const int align = (c < leftColumns ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            p.drawText(cell, align | (head ? Qt::TextWordWrap : 0),
                       head ? cells[c] : fm.elidedText(cells[c], Qt::ElideRight, cell.width()));
            x += widths[c];
        }
        p.setPen(QColor(190, 190, 190));
        p.drawLine(QPointF(0, page.y + height), QPointF(page.width(), page.y + height));
        p.setPen(Qt::black);
        page.y += height;
    };
    drawRow(header, 2 * line, true);
    for (const QStringList &row : rows)
        drawRow(row, line, false);
    page.y += 10;
}

// Qt Charts draws on a graphics scene; the scene drawn through the PDF's painter stays vector.
void drawChart(Page &page, QChart *chart, qreal height)
{
    page.need(height);
    QGraphicsScene scene;
    scene.addItem(chart);
    const QRectF rect(0, 0, page.width(), height);
    chart->setGeometry(rect);
    chart->layout()->activate();
    scene.setSceneRect(rect);
    scene.render(&page.painter(), QRectF(0, page.y, page.width(), height), rect);
    scene.removeItem(chart);
    page.y += height + 8;
}

} // namespace

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
        const QString title = QStringLiteral("Shift report ") + summary.period();
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("vorn"));
        QPainter painter;
        if (!painter.begin(&writer))
            return fail(QStringLiteral("the PDF could not be started"));
        Page page(writer, painter,
                  QDir::toNativeSeparators(journal::logFolder(programFolder)) + QStringLiteral(" - printed ")
                      + printed.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        drawText(page, title, 16, true);
        for (const QString &note : summary.refused)
            drawText(page, note, 8);
        if (!summary.unreadableText().isEmpty())
            drawText(page, summary.unreadableText(), 8);
        if (!summary.inProgressText().isEmpty())
            drawText(page, summary.inProgressText(), 8);
        page.y += 6;
        drawText(page, QStringLiteral("Units"), 10, true);
        drawTable(page, ShiftSummary::unitColumns(), summary.unitRows(), 2);
        const auto results = reportcharts::resultChart(summary);
        drawChart(page, results.get(), 250);
        const auto counted = reportcharts::countedChart(summary);
        drawChart(page, counted.get(), 220);
        drawText(page, QStringLiteral("Designs"), 10, true);
        drawTable(page, ShiftSummary::designColumns(), summary.designRows(), 1);
        if (!painter.end())
            return fail(QStringLiteral("the PDF could not be finished"));
    }
    if (!out.commit())
        return fail(out.errorString());
    return true;
}

} // namespace reportpdf
