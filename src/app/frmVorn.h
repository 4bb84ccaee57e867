#pragma once

#include "app/ConsoleCore.h"
#include "common/LegacyTimer.h"

#include <QHash>
#include <QMap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>

class Comm1;
class CommandConsole;
class CommandSender;
class ConsoleCore;
class DesignBook;
class ResponseProcessor;
class UnitHandlers;
class DailyLog;
class FocusMark;
class QScrollArea;
class ShiftReportWindow;
class MessagePane;
class PortFolder;
class Platform;
class QLabel;
class QLineEdit;
class QListWidget;
class ctxPatchButton;
class dUnit;
class WindowLayout;

// The console's main window: it shows the panels, the design row, the message pane and the status line,
// and passes the operator's actions on. The console's parts behind it and their wiring are ConsoleCore's;
// where every control stands is WindowLayout's.
class frmVorn : public QWidget, public ConsoleView
{
    Q_OBJECT
public:
    static constexpr int StatusTimerInterval = 3000;

    // ports: the port numbers the platform's device list uses too; the console makes its own when none is given.
    explicit frmVorn(Platform &platform, PortFolder *ports = nullptr, QWidget *parent = nullptr);
    ~frmVorn() override;

    // The start-up sequence, run once before the window is first shown.
    void load();

    // The settings pass: the port, then panels, captions and UIDs from the settings, then the layout.
    void initControls();
    // The layout: the scale for the window's size, then the positions of the lower part.
    void layoutControls();
    // How much larger than drawn the content is shown (at least its size in a window of the default size).
    double scale() const;

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
    RunJournal *journal() override;
    // ConsoleView
    QString statusText() const override;
    void showSettings() override;
    void setBusy(bool busy) override;
    QWidget &widget() override { return *this; }
    void showLink(Link link, int port) override;
    // What the link indicator says now.
    QString linkText() const;

    // The panels, and the console's parts behind the window, for tests.
    dUnit *unitPanel(int n) const;
    const QHash<QString, int> &unitsByUid() const { return m_unitsByUID; }
    ConsoleCore &core() { return *m_core; }
    Comm1 &comm();
    CommandSender &sender();
    ResponseProcessor &receiver();
    UnitHandlers &unitHandlers();
    DesignBook &designs();
    CommandConsole &console();
    DailyLog &dailyLog();
    MessagePane &pane() { return *m_txtOut; }
    LegacyTimer &statusTimer() { return m_tmrStatus; }
    // Whether the window has been closed (its state saved and its port closed).
    bool isClosed() const;
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

    // The controller search (F5 and the status line's context menu start it again).
    void searchController();
    bool isSearching() const;
    // The settings dialogs: a unit's own (its panel's context menu) and the console's (the status line's
    // context menu).
    void openUnitSettings(int n);
    void openConsoleSettings();
    // Fill the design list from the settings.
    void fillDesigns();
    // The shift report window (F2, and the status line's context menu).
    void showShiftReport();
    ShiftReportWindow *shiftReport() const;

signals:
    // The window has been closed and its state saved.
    void closed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void addActions();
    void setFilterMode(MessageFilter filter);
    void tmrStatus_Timer();
    void saveWindowPosition();

    Platform &m_platform;

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
    QLabel *m_lblLink = nullptr;
    ctxPatchButton *m_cShow = nullptr;
    MessageFilter m_filter = MessageFilter::All;
    ctxPatchButton *m_cClearOut = nullptr;
    QWidget *m_holder = nullptr;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_canvas = nullptr; // what the controls stand on
    FocusMark *m_focusMark = nullptr;
    std::array<QLineEdit *, 11> m_txtNos{};

    QMap<int, dUnit *> m_units; // the control array Unit: 0 is "All Units"
    QHash<QString, int> m_unitsByUID;
    int m_noUnits = 0;
    // The last shared UID the operator was told of.
    QString m_sharedUidSaid;

    LegacyTimer m_tmrStatus;
    std::unique_ptr<WindowLayout> m_layout;
    std::unique_ptr<ConsoleCore> m_core; // made once the controls exist; gone before they are
};
