#pragma once

#include "common/LegacyTimer.h"
#include "host/ConsoleHost.h"

#include <QHash>
#include <QMap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

class Comm1;
namespace modMain {
class FindPort;
}
class CommandConsole;
class CommandSender;
class DesignBook;
class ResponseProcessor;
class UnitHandlers;
class DailyLog;
class ShiftReportWindow;
class MessagePane;
class PortFolder;
class Platform;
class QLabel;
class QLineEdit;
class QListWidget;
class QTimer;
class ctxPatchButton;
class dUnit;
class Fleet;

// The console's main window. It owns the widgets, the timers and the serial link, and wires the
// subsystems together; each subsystem does its work in its own folder through the ConsoleHost face.
class frmVorn : public QWidget, public ConsoleHost
{
    Q_OBJECT
public:
    static constexpr double DefaultWidth = 18000; // twips
    static constexpr double DefaultHeight = 11000; // twips
    static constexpr int StatusTimerInterval = 3000;
    static constexpr int ReceiveInterval = 400;

    // ports: the port numbers the platform's device list uses too; the window makes its own when none is given.
    explicit frmVorn(Platform &platform, PortFolder *ports = nullptr, QWidget *parent = nullptr);
    ~frmVorn() override;

    // The start-up sequence, run once before the window is first shown.
    void load();

    // The settings pass: panels, captions and UIDs from the settings, then the layout.
    void initControls();
    // The layout: the positions of the lower part of the window for its size.
    void layoutControls();

    // ConsoleHost
    int unitCount() const override { return m_noUnits; }
    UnitModel *unit(int n) override;
    std::optional<int> unitByUID(const QString &uid) const override;
    std::optional<QString> countText(int n) const override;
    void setCountText(int n, const QString &text) override;
    std::optional<QString> countTag(int n) const override;
    void prependOut(const QString &text) override;
    MessageFilter filterMode() const override;
    void setStatus(const QString &St, int Secs = 0) override;
    void ensureStatusTimerRunning() override;
    void log(const QString &logText) override;
    Platform &platform() override { return m_platform; }
    RunJournal *journal() override { return m_journal.get(); }

    // The panels, the log and the link, for the subsystems wired here and for tests.
    dUnit *unitPanel(int n) const;
    const QHash<QString, int> &unitsByUid() const { return m_unitsByUID; }
    Comm1 &comm() { return *m_comm; }
    CommandSender &sender() { return *m_sender; }
    ResponseProcessor &receiver() { return *m_receiver; }
    UnitHandlers &unitHandlers() { return *m_unitHandlers; }
    DesignBook &designs() { return *m_designs; }
    CommandConsole &console() { return *m_console; }
    DailyLog &dailyLog() { return *m_log; }
    MessagePane &pane() { return *m_txtOut; }
    LegacyTimer &statusTimer() { return m_tmrStatus; }
    QString statusText() const;
    // Whether the window has been closed (its state saved and its port closed).
    bool isClosed() const { return m_closed; }
    // Where log entries and journal rows still held at the close are saved, in this order: by default the
    // per-user data folder, then the system's temporary folder.
    void setUnsavedFolders(const QStringList &folders);

    // Window geometry in twips, as it is stored.
    double twipsLeft() const;
    double twipsTop() const;
    double twipsWidth() const;
    double twipsHeight() const;

    // The filter button's click.
    void cShow_Click();
    // The clear button's click.
    void cClearOut_Click();

    // The controller search: the configured port first, then the device list. It runs while the window
    // is on screen; F5 and the status line's context menu start it again.
    void searchController();
    bool isSearching() const;

    // The settings dialogs: a unit's own (its panel's context menu) and the console's (the status line's
    // context menu). Neither opens while a dispense run or a search is going.
    void openUnitSettings(int n);
    void openConsoleSettings();
    // Fill the design list and the command list from the settings.
    void fillDesigns();
    void fillCommands();
    // The shift report window (F2, and the status line's context menu); made when first asked for.
    void showShiftReport();
    ShiftReportWindow *shiftReport() const { return m_report; }

signals:
    // The window has been closed and its state saved.
    void closed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct TwipRect
    {
        double left, top, width, height;
    };
    double dpi() const;
    TwipRect twipsRect(const QWidget *w) const;
    // Places a child in twips; a negative width or height is refused and the child keeps its place.
    bool placeTwips(QWidget *w, double left, double top, double width, double height);
    void buildControls();
    void setFilterMode(MessageFilter filter);
    void tmrStatus_Timer();
    void saveWindowPosition();
    // Says on the status line how many log entries and journal rows wait for the Log folder.
    void reportHeld();
    // At the close: what the Log folder still does not take goes to the unsaved folders.
    void saveUnwritten();
    // The search itself, in its turn in the send queue.
    void startSearch();
    void searchFinished(qint32 port);
    // Whether the settings cannot be changed now (a dispense run or a search is going); if so, the status
    // line says why.
    bool settingsRefused();
    void applyUnitSettings(int n, const QString &uid, const QString &size);
    // Applied in its turn in the send queue: a new port must not take lines meant for the old one.
    void applyConsoleSettings(int units, int port);
    void storeConsoleSettings(int units, int port);

    Platform &m_platform;
    std::unique_ptr<PortFolder> m_ownPorts;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<DailyLog> m_log;
    // The day's runs file and the journal that fills it.
    std::unique_ptr<DailyLog> m_runs;
    std::unique_ptr<RunJournal> m_journal;
    std::unique_ptr<CommandSender> m_sender;
    std::unique_ptr<ResponseProcessor> m_receiver;
    std::unique_ptr<UnitHandlers> m_unitHandlers;
    std::unique_ptr<DesignBook> m_designs;
    std::unique_ptr<CommandConsole> m_console;
    std::unique_ptr<modMain::FindPort> m_search;
    std::unique_ptr<Fleet> m_fleet;

    QListWidget *m_lstDesign = nullptr;
    ctxPatchButton *m_cmdRemoveDesign = nullptr;
    ctxPatchButton *m_cmdOpenConsole = nullptr;
    QLineEdit *m_txtCommand = nullptr;
    ctxPatchButton *m_cmdExecCommand = nullptr;
    QListWidget *m_lstCommands = nullptr;
    QWidget *m_picContainer = nullptr;
    QWidget *m_picContainer2 = nullptr;
    QLineEdit *m_txtDesign = nullptr;
    ctxPatchButton *m_cmdDispense = nullptr;
    ctxPatchButton *m_cmdAddDesign = nullptr;
    MessagePane *m_txtOut = nullptr;
    QLabel *m_lblStatus = nullptr;
    ctxPatchButton *m_cShow = nullptr;
    MessageFilter m_filter = MessageFilter::All;
    ctxPatchButton *m_cClearOut = nullptr;
    QWidget *m_holder = nullptr;
    std::array<QLineEdit *, 11> m_txtNos{};

    QMap<int, dUnit *> m_units; // the control array Unit: 0 is "All Units"
    QHash<QString, int> m_unitsByUID;
    int m_noUnits = 0;
    // The last shared UID the operator was told of.
    QString m_sharedUidSaid;
    bool m_closed = false;
    QStringList m_unsavedFolders;
    // The number of held entries the status line last gave, and when (monotonic seconds).
    qsizetype m_heldShown = 0;
    double m_heldShownAt = 0;

    LegacyTimer m_tmrStatus;
    QTimer *m_timer1 = nullptr;
    ShiftReportWindow *m_report = nullptr; // a window of its own, owned as a child
};
