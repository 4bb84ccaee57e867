#pragma once

#include "records/ShiftSummary.h"

#include <QDateTime>
#include <QWidget>

#include <atomic>
#include <functional>
#include <memory>

class QChartView;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class QThread;

// The shift report window: what the shift dispensed, per unit and per design, from the dispense journal of
// a day or a range of days, with a chart of the results per unit and one of the stones counted. Not modal:
// the console keeps working beside it. The journal is read on a thread of its own, so a month of files
// never stops the window; while today is shown it follows the journal as rows are written.
class ShiftReportWindow : public QWidget, public JournalSink
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;

    ShiftReportWindow(QString programFolder, Clock clock, QWidget *parent = nullptr);
    ~ShiftReportWindow() override;

    // Shows the report of these days (one day when both are the same).
    void showDays(QDate from, QDate to);
    // A row was written to today's journal, or the run in progress changed.
    void journalWritten();
    bool journalRow(const JournalRow &, QDate) override
    {
        journalWritten();
        return true;
    }
    // Writes the report shown to its default file; the note line says where, or why not.
    bool savePdf();

    const ShiftSummary &summary() const { return m_summary; }
    bool isLoading() const { return m_loader != nullptr; }
    QString noteText() const;

signals:
    // The figures of the days picked are on screen.
    void loaded();

private:
    void buildControls();
    void pickerChanged();
    void load();
    void loadFinished(std::shared_ptr<ShiftSummary> summary);
    void fill();

    QString m_folder;
    Clock m_clock;
    ShiftSummary m_summary;
    QThread *m_loader = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancel;
    bool m_reloadDue = false;
    // A reading of today's journal is queued for the next pass of the event loop.
    bool m_journalChanged = false;
    QString m_saved; // what the last "Save PDF" said

    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QPushButton *m_cmdToday = nullptr;
    QPushButton *m_cmdSavePdf = nullptr;
    QLabel *m_lblNote = nullptr;
    QTableWidget *m_unitTable = nullptr;
    QChartView *m_resultChart = nullptr;
    QChartView *m_countedChart = nullptr;
    QTableWidget *m_designTable = nullptr;
};
