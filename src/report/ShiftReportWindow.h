#pragma once

#include "records/ShiftSummary.h"

#include <QDateTime>
#include <QUrl>
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
// never stops the window; while today is shown it follows the journal as rows are written. The station is
// read from the settings of the program folder mSettings was given.
class ShiftReportWindow : public QWidget, public JournalSink
{
    Q_OBJECT
public:
    using Clock = std::function<QDateTime()>;
    // What the window asks of the desktop, so tests answer it without a box on the screen.
    struct Desktop
    {
        // The file to save the report in, asked with the platform's file dialog starting at suggested;
        // empty when the operator cancelled.
        std::function<QString(QWidget *parent, const QString &suggested)> saveFileName;
        // Opens the file with the desktop's viewer; false when no viewer took it.
        std::function<bool(const QUrl &file)> openUrl;
    };
    // The platform's file dialog and QDesktopServices.
    static Desktop platformDesktop();

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
    void setDesktop(Desktop desktop) { m_desktop = std::move(desktop); }
    // "Save PDF": asks where (the default file offered), writes the report shown there and offers to open
    // it. False when not saved; the note line says where it went, or why not.
    bool savePdf();
    bool savePdfAs(const QString &file);
    // "Open PDF": the file saved last, in the desktop's viewer.
    bool openPdf();

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
    QString m_pdf; // the file saved last
    Desktop m_desktop = platformDesktop();
    QString m_station; // as the settings named it when the reading began
    // The widest each column of a table has been: columns never narrow, so they stay put as days change.
    QList<int> m_unitWidths, m_designWidths;

    QDateEdit *m_from = nullptr;
    QDateEdit *m_to = nullptr;
    QPushButton *m_cmdToday = nullptr;
    QPushButton *m_cmdSavePdf = nullptr;
    QPushButton *m_cmdOpenPdf = nullptr;
    QLabel *m_lblWho = nullptr;
    QLabel *m_lblNote = nullptr;
    QTableWidget *m_unitTable = nullptr;
    QChartView *m_resultChart = nullptr;
    QChartView *m_countedChart = nullptr;
    QChartView *m_yieldChart = nullptr;
    QTableWidget *m_designTable = nullptr;
};
