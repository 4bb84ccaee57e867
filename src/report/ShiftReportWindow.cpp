#include "report/ShiftReportWindow.h"

#include "report/ReportCharts.h"
#include "report/ReportPdf.h"

#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QDir>
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

void fillTable(QTableWidget *table, const QStringList &header, const QList<QStringList> &rows, int leftColumns)
{
    table->clear();
    table->setColumnCount(int(header.size()));
    table->setHorizontalHeaderLabels(header);
    table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            auto *item = new QTableWidgetItem(rows[r][c]);
            item->setTextAlignment((c < leftColumns ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            if (rows[r].front() == u"total" && leftColumns == 2) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            table->setItem(r, c, item);
        }
    }
    table->resizeColumnsToContents();
}

QTableWidget *newTable(QWidget *parent, const char *name)
{
    auto *t = new QTableWidget(parent);
    t->setObjectName(QLatin1String(name));
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->setVisible(false);
    t->horizontalHeader()->setStretchLastSection(true);
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

ShiftReportWindow::ShiftReportWindow(QString programFolder, Clock clock, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_folder(std::move(programFolder))
    , m_clock(std::move(clock))
{
    setObjectName(QStringLiteral("ShiftReportWindow"));
    setWindowTitle(QStringLiteral("Shift report"));
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
    m_cmdToday = new QPushButton(QStringLiteral("Today"), this);
    m_cmdToday->setObjectName(QStringLiteral("cmdToday"));
    connect(m_cmdToday, &QPushButton::clicked, this, [this] {
        const QDate today = m_clock().date();
        showDays(today, today);
    });
    m_cmdSavePdf = new QPushButton(QStringLiteral("Save PDF"), this);
    m_cmdSavePdf->setObjectName(QStringLiteral("cmdSavePdf"));
    connect(m_cmdSavePdf, &QPushButton::clicked, this, &ShiftReportWindow::savePdf);
    m_lblNote = new QLabel(this);
    m_lblNote->setObjectName(QStringLiteral("lblNote"));
    m_lblNote->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_unitTable = newTable(this, "unitTable");
    m_designTable = newTable(this, "designTable");
    m_resultChart = newChartView(this, "resultChart");
    m_countedChart = newChartView(this, "countedChart");

    auto *picker = new QHBoxLayout;
    picker->addWidget(new QLabel(QStringLiteral("From"), this));
    picker->addWidget(m_from);
    picker->addWidget(new QLabel(QStringLiteral("to"), this));
    picker->addWidget(m_to);
    picker->addWidget(m_cmdToday);
    picker->addStretch(1);
    picker->addWidget(m_cmdSavePdf);
    auto *charts = new QHBoxLayout;
    charts->addWidget(m_resultChart, 3);
    charts->addWidget(m_countedChart, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(picker);
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
    m_cancel = std::make_shared<std::atomic_bool>(false);
    auto result = std::make_shared<ShiftSummary>();
    m_loader =
        QThread::create([folder = m_folder, from = m_from->date(), to = m_to->date(), cancel = m_cancel, result] {
            *result = ShiftSummaryBuilder::readDays(folder, from, to, [&cancel] { return cancel->load(); });
        });
    connect(m_loader, &QThread::finished, this, [this, result] { loadFinished(result); });
    m_lblNote->setText(QStringLiteral("Reading the dispense journal..."));
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
    m_cmdSavePdf->setEnabled(true);
    fill();
    emit loaded();
}

void ShiftReportWindow::fill()
{
    fillTable(m_unitTable, ShiftSummary::unitColumns(), m_summary.unitRows(), 2);
    fillTable(m_designTable, ShiftSummary::designColumns(), m_summary.designRows(), 1);
    replaceChart(m_resultChart, reportcharts::resultChart(m_summary));
    replaceChart(m_countedChart, reportcharts::countedChart(m_summary));
    m_saved.clear();
    m_lblNote->setText(noteText());
}

QString ShiftReportWindow::noteText() const
{
    QStringList notes = m_summary.refused;
    if (m_summary.files == 0)
        notes << QStringLiteral("No dispense journal for ") + m_summary.period() + QStringLiteral(" in ")
                + QDir::toNativeSeparators(journal::logFolder(m_folder));
    if (!m_summary.unreadableText().isEmpty())
        notes << m_summary.unreadableText();
    if (!m_summary.inProgressText().isEmpty())
        notes << m_summary.inProgressText();
    if (!m_saved.isEmpty())
        notes << m_saved;
    return notes.join(QStringLiteral(" - "));
}

bool ShiftReportWindow::savePdf()
{
    const QString file = reportpdf::defaultFile(m_folder, m_summary);
    QString error;
    const bool ok = reportpdf::write(m_summary, file, m_folder, m_clock(), &error);
    m_saved = ok ? QStringLiteral("Saved ") + QDir::toNativeSeparators(file)
                 : QStringLiteral("Not saved: ") + QDir::toNativeSeparators(file) + QStringLiteral(": ") + error;
    m_lblNote->setText(noteText());
    return ok;
}
