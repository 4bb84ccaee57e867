#include "report/ShiftReportWindow.h"

#include "report/ReportCharts.h"
#include "report/ReportPdf.h"
#include "settings/SettingsSchema.h"

#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

// A column's name as the operator reads it: translated, and a long one on two lines, so numbers keep
// narrow columns.
QString headerText(const QString &column)
{
    QString text = QCoreApplication::translate("ShiftSummary", column.toUtf8().constData());
    if (const qsizetype space = text.indexOf(u' '); text.size() > 8 && space > 0)
        text[space] = u'\n';
    return text;
}

// Fills a table whose columns keep their widths as the days change: a column is as wide as the widest it
// has been (header, cells, and room for a number of six digits and a tenth), so nothing is ever cut.
void fillTable(QTableWidget *table, const QStringList &columns, const QList<QStringList> &rows, int leftColumns,
               QList<int> &widths)
{
    table->clear();
    table->setColumnCount(int(columns.size()));
    QStringList header;
    for (const QString &c : columns)
        header.append(headerText(c));
    table->setHorizontalHeaderLabels(header);
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const bool total = r == rows.size() - 1 && rows[r].front() == u"total" && leftColumns == 2;
        for (int c = 0; c < rows[r].size(); ++c) {
            QString text = rows[r][c];
            if (c == 0 && (total || text == QLatin1String(ShiftSummary::NoDesign)))
                text = QCoreApplication::translate("ShiftSummary", text.toUtf8().constData());
            auto *item = new QTableWidgetItem(text);
            item->setTextAlignment((c < leftColumns ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            if (total) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            table->setItem(r, c, item);
        }
    }
    const int room = table->fontMetrics().horizontalAdvance(QStringLiteral("000000.0"));
    table->resizeColumnsToContents(); // header and cells
    widths.resize(columns.size(), 0);
    for (int c = 0; c < columns.size(); ++c) {
        const int least = c < leftColumns ? 0 : room + 12;
        widths[c] = std::max({widths[c], least, table->columnWidth(c)});
        table->setColumnWidth(c, widths[c]);
    }
}

QTableWidget *newTable(QWidget *parent, const char *name)
{
    auto *t = new QTableWidget(parent);
    t->setObjectName(QLatin1String(name));
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setVisible(false);
    t->setWordWrap(false);
    t->setTextElideMode(Qt::ElideNone);
    return t;
}

QChartView *newChartView(QWidget *parent, const char *name)
{
    auto *v = new QChartView(parent);
    v->setObjectName(QLatin1String(name));
    v->setRenderHint(QPainter::Antialiasing);
    v->setMinimumHeight(220);
    return v;
}

// The chart view takes the new chart but gives the old one back to whoever set it.
void replaceChart(QChartView *view, std::unique_ptr<QChart> chart)
{
    QChart *old = view->chart();
    view->setChart(chart.release());
    delete old;
}

} // namespace

ShiftReportWindow::Desktop ShiftReportWindow::platformDesktop()
{
    return {[](QWidget *parent, const QString &suggested) {
                return QFileDialog::getSaveFileName(parent, tr("Save the shift report"), suggested,
                                                    tr("PDF documents (*.pdf)"));
            },
            [](const QUrl &file) { return QDesktopServices::openUrl(file); }};
}

ShiftReportWindow::ShiftReportWindow(QString programFolder, Clock clock, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_folder(std::move(programFolder))
    , m_clock(std::move(clock))
{
    setObjectName(QStringLiteral("ShiftReportWindow"));
    setWindowTitle(tr("Shift report"));
    buildControls();
    const QDate today = m_clock().date();
    showDays(today, today);
}

ShiftReportWindow::~ShiftReportWindow()
{
    if (m_loader) {
        m_cancel->store(true);
        m_loader->wait();
        delete m_loader;
    }
}

void ShiftReportWindow::buildControls()
{
    resize(1000, 760);
    const auto dateEdit = [this](const char *name) {
        auto *e = new QDateEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        e->setCalendarPopup(true);
        connect(e, &QDateEdit::dateChanged, this, &ShiftReportWindow::pickerChanged);
        return e;
    };
    m_from = dateEdit("dateFrom");
    m_to = dateEdit("dateTo");
    m_cmdToday = new QPushButton(tr("Today"), this);
    m_cmdToday->setObjectName(QStringLiteral("cmdToday"));
    connect(m_cmdToday, &QPushButton::clicked, this, [this] {
        const QDate today = m_clock().date();
        showDays(today, today);
    });
    m_cmdSavePdf = new QPushButton(tr("Save PDF"), this);
    m_cmdSavePdf->setObjectName(QStringLiteral("cmdSavePdf"));
    connect(m_cmdSavePdf, &QPushButton::clicked, this, &ShiftReportWindow::savePdf);
    m_cmdOpenPdf = new QPushButton(tr("Open PDF"), this);
    m_cmdOpenPdf->setObjectName(QStringLiteral("cmdOpenPdf"));
    m_cmdOpenPdf->setEnabled(false); // offered once a PDF is saved
    connect(m_cmdOpenPdf, &QPushButton::clicked, this, &ShiftReportWindow::openPdf);
    m_lblWho = new QLabel(this);
    m_lblWho->setObjectName(QStringLiteral("lblWho"));
    m_lblWho->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblNote = new QLabel(this);
    m_lblNote->setObjectName(QStringLiteral("lblNote"));
    m_lblNote->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_unitTable = newTable(this, "unitTable");
    m_designTable = newTable(this, "designTable");
    m_resultChart = newChartView(this, "resultChart");
    m_countedChart = newChartView(this, "countedChart");
    m_yieldChart = newChartView(this, "yieldChart");
    m_yieldChart->hide(); // a range's

    auto *picker = new QHBoxLayout;
    picker->addWidget(new QLabel(tr("From"), this));
    picker->addWidget(m_from);
    picker->addWidget(new QLabel(tr("to"), this));
    picker->addWidget(m_to);
    picker->addWidget(m_cmdToday);
    picker->addStretch(1);
    picker->addWidget(m_cmdSavePdf);
    picker->addWidget(m_cmdOpenPdf);
    auto *charts = new QHBoxLayout;
    charts->addWidget(m_resultChart, 3);
    charts->addWidget(m_countedChart, 2);
    charts->addWidget(m_yieldChart, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(picker);
    layout->addWidget(m_lblWho);
    layout->addWidget(m_lblNote);
    layout->addWidget(m_unitTable, 3);
    layout->addLayout(charts, 4);
    layout->addWidget(m_designTable, 2);
}

void ShiftReportWindow::showDays(QDate from, QDate to)
{
    const QSignalBlocker blockFrom(m_from);
    const QSignalBlocker blockTo(m_to);
    m_from->setDate(from);
    m_to->setDate(std::clamp(to, from, from.addDays(ShiftSummary::MaxDays - 1)));
    load();
}

void ShiftReportWindow::pickerChanged()
{
    // A range runs forward and spans at most a year: moving one end past the other, or too far from it,
    // takes the other along.
    const bool fromMoved = sender() == m_from;
    QDateEdit *other = fromMoved ? m_to : m_from;
    const QDate moved = fromMoved ? m_from->date() : m_to->date();
    const QDate nearest = fromMoved ? std::clamp(m_to->date(), moved, moved.addDays(ShiftSummary::MaxDays - 1))
                                    : std::clamp(m_from->date(), moved.addDays(1 - ShiftSummary::MaxDays), moved);
    if (other->date() != nearest) {
        const QSignalBlocker block(other);
        other->setDate(nearest);
    }
    load();
}

void ShiftReportWindow::journalWritten()
{
    // A row written and the pending rows changing come together: one reading for all of them.
    if (std::exchange(m_journalChanged, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_journalChanged = false;
        const QDate today = m_clock().date();
        if (m_from->date() <= today && today <= m_to->date())
            load();
    });
}

void ShiftReportWindow::load()
{
    if (m_loader) { // what is being read is no longer wanted: read again once it has stopped
        m_cancel->store(true);
        m_reloadDue = true;
        return;
    }
    m_reloadDue = false;
    m_station = SettingsSchema::stationName();
    m_cancel = std::make_shared<std::atomic_bool>(false);
    auto result = std::make_shared<ShiftSummary>();
    m_loader =
        QThread::create([folder = m_folder, from = m_from->date(), to = m_to->date(), cancel = m_cancel, result] {
            *result = ShiftSummaryBuilder::readDays(folder, from, to, [&cancel] { return cancel->load(); });
        });
    connect(m_loader, &QThread::finished, this, [this, result] { loadFinished(result); });
    m_lblNote->setText(tr("Reading the dispense journal..."));
    m_cmdSavePdf->setEnabled(false); // the figures on screen are not the days picked until then
    m_loader->start(QThread::LowPriority);
}

void ShiftReportWindow::loadFinished(std::shared_ptr<ShiftSummary> summary)
{
    m_loader->wait();
    delete m_loader;
    m_loader = nullptr;
    if (m_reloadDue || m_cancel->load()) {
        load();
        return;
    }
    m_summary = std::move(*summary);
    m_summary.station = m_station;
    m_cmdSavePdf->setEnabled(true);
    fill();
    emit loaded();
}

void ShiftReportWindow::fill()
{
    fillTable(m_unitTable, ShiftSummary::unitColumns(), m_summary.unitRows(), 2, m_unitWidths);
    fillTable(m_designTable, ShiftSummary::designColumns(), m_summary.designRows(), 1, m_designWidths);
    replaceChart(m_resultChart, reportcharts::resultChart(m_summary));
    replaceChart(m_countedChart, reportcharts::countedChart(m_summary));
    replaceChart(m_yieldChart, reportcharts::yieldChart(m_summary));
    m_yieldChart->setVisible(m_summary.isRange());
    m_lblWho->setText(reportpdf::titleBlock(m_summary).join(QStringLiteral("   ")));
    m_saved.clear();
    m_lblNote->setText(noteText());
}

QString ShiftReportWindow::noteText() const
{
    QStringList notes = m_summary.refused;
    if (m_summary.files == 0)
        notes << tr("No dispense journal for %1 in %2")
                     .arg(reportpdf::periodText(m_summary), QDir::toNativeSeparators(journal::logFolder(m_folder)));
    if (const int n = m_summary.unreadable)
        notes << (n == 1 ? tr("1 journal row could not be read") : tr("%1 journal rows could not be read").arg(n));
    if (const int n = m_summary.inProgress)
        notes << (n == 1 ? tr("Includes the run in progress (1 unit, not judged yet)")
                         : tr("Includes the run in progress (%1 units, not judged yet)").arg(n));
    if (!m_saved.isEmpty())
        notes << m_saved;
    return notes.join(QStringLiteral(" - "));
}

bool ShiftReportWindow::savePdf()
{
    const QString suggested = reportpdf::defaultFile(m_folder, m_summary);
    // The dialog starts in the Log folder; it is made now so the dialog can open it.
    QDir().mkpath(QFileInfo(suggested).absolutePath());
    QString file = m_desktop.saveFileName ? m_desktop.saveFileName(this, suggested) : suggested;
    if (file.isEmpty())
        return false; // cancelled: nothing to say
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".pdf");
    return savePdfAs(file);
}

bool ShiftReportWindow::savePdfAs(const QString &file)
{
    QString error;
    const bool ok = reportpdf::write(m_summary, file, m_folder, m_clock(), &error);
    m_saved = ok ? tr("Saved %1").arg(QDir::toNativeSeparators(file))
                 : tr("Not saved: %1: %2").arg(QDir::toNativeSeparators(file), error);
    if (ok)
        m_pdf = file;
    m_cmdOpenPdf->setEnabled(ok);
    m_lblNote->setText(noteText());
    return ok;
}

bool ShiftReportWindow::openPdf()
{
    const bool ok = !m_pdf.isEmpty() && m_desktop.openUrl && m_desktop.openUrl(QUrl::fromLocalFile(m_pdf));
    if (!ok) {
        m_saved = tr("%1 could not be opened: the desktop has no viewer for it").arg(QDir::toNativeSeparators(m_pdf));
        m_lblNote->setText(noteText());
    }
    return ok;
}
