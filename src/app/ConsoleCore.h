#pragma once

#include "console/CommandConsole.h"
#include "designs/DesignBook.h"
#include "host/ConsoleHost.h"

#include <QObject>
#include <QStringList>
#include <memory>

class Comm1;
namespace modMain {
class FindPort;
}
class CommandSender;
class ResponseProcessor;
class UnitHandlers;
class DailyLog;
class RunJournal;
class ShiftReportWindow;
class PortFolder;
class Platform;
class QTimer;
class QWidget;
class dUnit;
class Fleet;

// What the console's parts need of the window beyond the ConsoleHost face.
class ConsoleView : public ConsoleHost
{
public:
    // What the status line says now.
    virtual QString statusText() const = 0;
    // The panels, their captions and UIDs as the settings give them, then the layout.
    virtual void showSettings() = 0;
    // Marks the window busy while the controller is looked for.
    virtual void setBusy(bool busy) = 0;
    // The window, as the parent of the dialogs and of the report window.
    virtual QWidget &widget() = 0;

    // What the window shows of the link, always in sight.
    enum class Link { Searching, Found, None };
    virtual void showLink(Link link, int port) = 0;
};

// The console behind its window: the serial link, the day's log and journal, the sender and the receiver,
// the unit handlers, the designs, the command console, the controller search and the publisher, wired
// together; the settings changes and the close sequence. The window shows; this does.
class ConsoleCore : public QObject
{
    Q_OBJECT
public:
    static constexpr int ReceiveInterval = 400;
    // More panels than this would not fit any screen; a larger setting is taken as this many.
    static constexpr int MaxUnits = 100;

    // ports: the port numbers the platform's device list uses too; made here when none is given. The
    // controls are the window's, made before this.
    ConsoleCore(ConsoleView &view, Platform &platform, PortFolder *ports, const DesignBook::Controls &designControls,
                const CommandConsole::Controls &consoleControls);
    ~ConsoleCore() override;

    // Once the window is placed: the lists filled, the receive timer and the publisher started, and the
    // search started as soon as the window is on screen.
    void start();
    // The settings pass: the port from the settings, then the window's panels.
    void applySettings();
    // A panel the window has made: its buttons to the handlers, its changes to the publisher.
    void panelMade(dUnit *panel, int n);

    // Appends one entry to the day's log (and says when entries are held).
    void log(const QString &text);

    // The controller search: the configured port first, then the device list. F5 and the status line's
    // context menu start it again.
    void searchController();
    bool isSearching() const;

    // The settings dialogs: a unit's own and the console's. Neither opens while a dispense run or a
    // search is going.
    void openUnitSettings(int n);
    void openConsoleSettings();
    // The shift report window (F2, and the status line's context menu); made when first asked for.
    void showShiftReport();
    ShiftReportWindow *shiftReport() const { return m_report; }

    // The close sequence: the search ended, the queue dropped, what the controller said last taken, the
    // port closed, the journal finished, the publisher closed, and what the Log folder did not take saved.
    void close();
    bool isClosed() const { return m_closed; }
    // Where log entries and journal rows still held at the close are saved, in this order.
    void setUnsavedFolders(const QStringList &folders) { m_unsavedFolders = folders; }

    Comm1 &comm() { return *m_comm; }
    CommandSender &sender() { return *m_sender; }
    ResponseProcessor &receiver() { return *m_receiver; }
    UnitHandlers &unitHandlers() { return *m_unitHandlers; }
    DesignBook &designs() { return *m_designs; }
    CommandConsole &console() { return *m_console; }
    DailyLog &dailyLog() { return *m_log; }
    RunJournal *journal() { return m_journal.get(); }

private:
    // Says on the status line how many log entries and journal rows wait for the Log folder.
    void reportHeld();
    // At the close: what the Log folder still does not take goes to the unsaved folders.
    void saveUnwritten();
    // The rows a crash or a power cut left pending go to the journal before anything else does.
    void recoverPending();
    void startSearch();
    void searchFinished(qint32 port);
    // Whether the settings cannot be changed now; if so, the status line says why.
    bool settingsRefused();
    void applyUnitSettings(int n, const QString &uid, const QString &size);
    // Applied in its turn in the send queue: a new port must not take lines meant for the old one.
    void applyConsoleSettings(int units, int port);
    void storeConsoleSettings(int units, int port);

    // What the link is known to be: found by the last search, lost since, or being looked for.
    void setLink(ConsoleView::Link link);

    ConsoleView &m_view;
    ConsoleView::Link m_link = ConsoleView::Link::None;
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
    QTimer *m_timer1 = nullptr;
    ShiftReportWindow *m_report = nullptr; // a window of its own, a child of the main window

    bool m_closed = false;
    QStringList m_unsavedFolders;
    // The number of held entries the status line last gave, and when (monotonic seconds).
    qsizetype m_heldShown = 0;
    double m_heldShownAt = 0;
};
