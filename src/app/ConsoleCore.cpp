#include "app/ConsoleCore.h"

#include "app/ConsoleSettingsDialog.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "fleet/Fleet.h"
#include "link/Comm1.h"
#include "link/CommandSender.h"
#include "link/PortFolder.h"
#include "link/ResponseProcessor.h"
#include "link/modMain.h"
#include "ninepatch/ctxPatchButton.h"
#include "records/DailyLog.h"
#include "records/RunJournal.h"
#include "records/SetAside.h"
#include "report/ShiftReportWindow.h"
#include "settings/SettingsSchema.h"
#include "settings/mSettings.h"
#include "units/UnitHandlers.h"
#include "units/UnitSettingsDialog.h"
#include "units/dUnit.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <cstdio>

using SettingsSchema::Key;
using SettingsSchema::Setting;

namespace {

// A port number as the serial control took it: the whole text must be a number, rounded half to even,
// within 16 bits. Anything else leaves the port number as it was.
std::optional<int> portNumber(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    const auto n = numtext::toInt32(v);
    if (!n || *n < -32768 || *n > 32767)
        return std::nullopt;
    return *n;
}

} // namespace

ConsoleCore::ConsoleCore(ConsoleView &view, Platform &platform, PortFolder *ports,
                         const DesignBook::Controls &designControls, const CommandConsole::Controls &consoleControls)
    : m_view(view)
    , m_platform(platform)
    , m_ownPorts(ports ? nullptr : std::make_unique<PortFolder>(platform.programFolder()))
    , m_comm(std::make_unique<Comm1>(ports ? *ports : *m_ownPorts))
    , m_log(std::make_unique<DailyLog>(platform.programFolder(), [&platform] { return platform.now(); }))
    , m_runs(std::make_unique<DailyLog>(
          platform.programFolder(), [&platform] { return platform.now(); },
          DailyLog::Format{QStringLiteral("Runs.csv"), RunJournal::Header, false}))
    , m_journal(std::make_unique<RunJournal>(
          [this](const QByteArray &row, QDate day) {
              if (day.isValid())
                  m_runs->append(row, day);
              else
                  m_runs->append(row);
              reportHeld();
              return m_runs->heldCount() == 0;
          },
          [this](const Said &message) { m_view.announce(message); }))
    , m_sender(std::make_unique<CommandSender>(view, *m_comm))
    , m_receiver(std::make_unique<ResponseProcessor>(view, *m_comm, *m_sender))
    , m_unitHandlers(std::make_unique<UnitHandlers>(view, *m_sender))
    , m_designs(std::make_unique<DesignBook>(view, *m_sender, designControls))
    , m_console(std::make_unique<CommandConsole>(*m_sender, consoleControls))
    , m_search(std::make_unique<modMain::FindPort>(*m_comm, platform))
    , m_unsavedFolders{QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), QDir::tempPath()}
{
    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(ReceiveInterval);
    connect(m_timer1, &QTimer::timeout, this, [this] {
        // Entries held while the log folder could not be written go out as soon as it can be again.
        m_log->flush();
        if (m_runs->flush())
            m_journal->heldRowsWritten();
        reportHeld();
        m_receiver->receiveStep();
    });
    // A settings file the console cannot read is never rewritten; the operator is told that the defaults
    // are in use (the status line may soon say something else, the pane keeps it).
    mSettings::setUnreadableHandler([this](const QString &fileName) {
        const QString text = tr("%1 could not be read: using defaults").arg(fileName);
        m_view.setStatus(text);
        m_view.prependOut(text + QStringLiteral("\r\n"));
    });
    // An operator action that fails is said, never swallowed: the console goes on with the next one.
    ctxPatchButton::setActionFailedHandler([this](const ctxPatchButton &button, const QString &what) {
        const QString name = button.Caption().isEmpty() ? button.objectName() : button.Caption();
        m_view.announce(said(QT_TRANSLATE_NOOP("Console", "%1 failed: %2"), name, what));
    });
    mSettings::setWriteFailedHandler([this](const QString &fileName) {
        m_view.announce(
            said(QT_TRANSLATE_NOOP("Console", "%1 could not be written: settings are not being saved"), fileName));
    });

    connect(m_search.get(), &modMain::FindPort::probingConfiguredPort, this,
            [this](qint32 port) { m_view.setStatus(tr("Looking for the controller on Port %1").arg(port)); });
    connect(m_search.get(), &modMain::FindPort::probingDeviceList, this, [this](int ports) {
        m_view.setStatus(ports == 1 ? tr("Looking for the controller: 1 port")
                                    : tr("Looking for the controller: %1 ports").arg(ports));
    });
    connect(m_search.get(), &modMain::FindPort::finished, this, &ConsoleCore::searchFinished);
    // A controller that goes away is said at once, not at the next command.
    m_receiver->setLinkFailedObserver([this] {
        if (m_link != ConsoleView::Link::Found)
            return;
        setLink(ConsoleView::Link::None);
        m_view.announce(said(QT_TRANSLATE_NOOP("Console", "Controller lost on Port %1 - press F5 to search again"),
                             m_comm->CommPort()));
    });

    // The publisher, when the settings ask for one: made before any journal row can be written (the
    // recovered ones included); it connects once the window is loaded.
    m_fleet = Fleet::make(view);
    if (m_fleet) {
        m_receiver->setLineObserver([this](const QString &line) { m_fleet->controllerLine(line); });
        m_journal->addSink(m_fleet.get());
    }
    recoverPending();
}

ConsoleCore::~ConsoleCore()
{
    if (m_report)
        m_journal->removeSink(m_report);
    if (m_fleet)
        m_journal->removeSink(m_fleet.get());
    m_fleet.reset(); // it reads the panels while it says goodbye
    mSettings::setUnreadableHandler({});
    mSettings::setWriteFailedHandler({});
    ctxPatchButton::setActionFailedHandler({});
}

void ConsoleCore::recoverPending()
{
    const QString pending = QDir(m_runs->folder()).filePath(QStringLiteral(".pending-Runs.csv"));
    m_journal->setPendingKeeper([this, keep = RunJournal::pendingFile(pending)](const QByteArray &rows) {
        keep(rows);
        if (m_report) // the open report counts the run in progress too
            m_report->journalWritten();
    });
    const QDate today = m_platform.now().date();
    const QByteArrayList rejected = m_journal->recover(
        RunJournal::readPending(pending),
        [this](QDate day) {
            QFile file(m_runs->fileFor(day));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        },
        today);
    // What is no row (a hand edit, zeros a power cut left) goes into no journal, and is kept where it can be seen.
    if (!rejected.isEmpty())
        log(setaside::note(rejected.size(), QStringLiteral("Log/.pending-Runs.csv"),
                           setaside::append(m_runs->folder(), QStringLiteral("pending"), today, rejected.join())));
}

void ConsoleCore::start()
{
    m_timer1->start();
    m_designs->fillDesigns();
    m_console->fillCommands();
    applySettings();
    if (m_fleet)
        m_fleet->start();
    // The search waits for the window to be on screen: the operator sees what it is doing meanwhile.
    QTimer::singleShot(0, this, &ConsoleCore::searchController);
}

void ConsoleCore::applySettings()
{
    if (const auto port = portNumber(Setting(Key::CommPort).read()))
        m_comm->setCommPort(*port);
    m_view.showSettings();
}

void ConsoleCore::panelMade(dUnit *panel, int n)
{
    m_unitHandlers->connectPanel(panel, n);
    if (n == 0)
        return;
    panel->setSettingsOffered(true);
    connect(panel, &dUnit::settingsRequested, this, [this, n] { openUnitSettings(n); });
    if (m_fleet)
        connect(&panel->model(), &UnitModel::changed, this, [this, n] { m_fleet->unitChanged(n); });
}

void ConsoleCore::showShiftReport()
{
    if (!m_report) {
        m_report = new ShiftReportWindow(
            m_platform.programFolder(), [this] { return m_platform.now(); }, &m_view.widget());
        m_journal->addSink(m_report); // an open report follows today's journal
    }
    m_report->show();
    m_report->raise();
    m_report->activateWindow();
}

void ConsoleCore::log(const QString &text)
{
    m_log->log(text);
    reportHeld();
}

void ConsoleCore::reportHeld()
{
    const QString prefix = tr("Log cannot be written: ");
    const qsizetype held = m_log->heldCount() + m_runs->heldCount();
    if (held == 0) {
        if (m_heldShown > 0 && m_view.statusText().startsWith(prefix))
            m_view.setStatus(QString());
        m_heldShown = 0;
        return;
    }
    // Refreshed as the number grows, but not for every entry of a busy line.
    const double now = m_platform.monotonicSeconds();
    if (held == m_heldShown || (m_heldShown > 0 && now - m_heldShownAt < 1.0))
        return;
    m_heldShown = held;
    m_heldShownAt = now;
    m_view.setStatus(prefix + (held == 1 ? tr("1 entry held") : tr("%1 entries held").arg(held)));
}

void ConsoleCore::saveUnwritten()
{
    if (m_runs->flush())
        m_journal->heldRowsWritten();
    m_log->flush();
    // The last resort: what the Log folder did not take goes where the operator can still find it.
    for (DailyLog *log : {m_log.get(), m_runs.get()}) {
        if (log->heldCount() == 0)
            continue;
        for (const QString &file : log->saveHeld(m_unsavedFolders))
            std::fprintf(stderr, "vorn: the Log folder could not be written; what it did not take is in %s\n",
                         qPrintable(QDir::toNativeSeparators(file)));
        if (log->heldCount() > 0)
            std::fprintf(stderr, "vorn: %lld entries could not be written anywhere and are lost\n",
                         static_cast<long long>(log->heldCount()));
    }
}

// --- the controller search ----------------------------------------------------------------------------

void ConsoleCore::searchController()
{
    // The search takes the link: what is waiting to go out goes first, in order.
    m_sender->queue().post({[this] {
                                startSearch();
                                return 0;
                            },
                            {}});
}

void ConsoleCore::startSearch()
{
    if (m_closed || m_search->isRunning())
        return;
    // The probe reads the live link: what it holds already goes through the receive path first, and text
    // waiting for its line end is a line of its own (the search may leave the link on another opening).
    m_receiver->endOfLink();
    m_sender->setSearching(true);
    m_view.setBusy(true);
    setLink(ConsoleView::Link::Searching);
    m_search->start(QString::number(m_comm->CommPort()));
}

void ConsoleCore::setLink(ConsoleView::Link link)
{
    m_link = link;
    m_view.showLink(link, m_comm->CommPort());
}

bool ConsoleCore::isSearching() const
{
    return m_search->isRunning();
}

void ConsoleCore::searchFinished(qint32 port)
{
    m_view.setBusy(false);
    m_sender->setSearching(false);
    setLink(port >= 1 ? ConsoleView::Link::Found : ConsoleView::Link::None);
    if (port >= 1) {
        m_sender->markControllerFound();
        m_view.setStatus(tr("Tessaloran Controller found on Port %1").arg(port), 3);
        Setting(Key::CommPort).write(QString::number(port));
    } else {
        m_view.setStatus(tr("No controller found - press F5 to search again"));
    }
    // The greeting, and whatever the controller said with it or while the search ran, is no less the
    // controller's word than what the poll takes.
    const modMain::FindPort::Received received = m_search->takeReceived();
    m_receiver->hand(received.ended, received.open);
}

// --- the settings dialogs -----------------------------------------------------------------------------

bool ConsoleCore::settingsRefused()
{
    QString why;
    if (m_designs->isDispensing())
        why = tr("Settings cannot be changed during a dispense run");
    else if (isSearching())
        why = tr("Settings cannot be changed while the controller is being looked for");
    if (!why.isEmpty())
        m_view.setStatus(why, 5);
    return !why.isEmpty();
}

void ConsoleCore::openUnitSettings(int n)
{
    if (settingsRefused())
        return;
    if (n < 1 || n > m_view.unitCount() || m_view.widget().findChild<UnitSettingsDialog *>())
        return;
    QMap<int, QString> others;
    for (int k = 1; k <= m_view.unitCount(); ++k) {
        if (k != n)
            others.insert(k, m_view.unit(k)->uid());
    }
    const UnitSettingsDialog::Values values{Setting(Key::Uid, n).read(), Setting(Key::Size, n).read(),
                                            Setting(Key::Init, n).read(), Setting(Key::Home, n).read()};
    auto *dialog = new UnitSettingsDialog(n, values, others, &m_view.widget());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, n, dialog] { applyUnitSettings(n, dialog->uid(), dialog->size()); });
    dialog->open();
}

void ConsoleCore::applyUnitSettings(int n, const QString &uid, const QString &size)
{
    // A run or a search may have started while the dialog was open: the panels stay as they are for it.
    if (settingsRefused())
        return;
    if (!Setting(Key::Uid, n).write(uid) || !Setting(Key::Size, n).write(size)) {
        m_view.announce(
            said(QT_TRANSLATE_NOOP("Console", "%1 settings not stored: Vorn.ini could not be written"), unitName(n)));
        return;
    }
    applySettings();
    m_view.setStatus(tr("%1 settings stored").arg(unitName(n).shown), 5);
}

void ConsoleCore::openConsoleSettings()
{
    if (settingsRefused())
        return;
    if (m_view.widget().findChild<ConsoleSettingsDialog *>())
        return;
    const int stored = numtext::readInt32(Setting(Key::NoUnits).read());
    auto *dialog = new ConsoleSettingsDialog(qBound(1, stored, MaxUnits), m_comm->CommPort(),
                                             m_comm->ports().knownPorts(), &m_view.widget());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (const auto port = dialog->port())
            applyConsoleSettings(dialog->units(), *port);
    });
    dialog->open();
}

void ConsoleCore::applyConsoleSettings(int units, int port)
{
    // A new port ends the link: what is waiting to go out goes first, on the port it was meant for.
    m_sender->queue().post({[this, units, port] {
                                storeConsoleSettings(units, port);
                                return 0;
                            },
                            {}});
}

void ConsoleCore::storeConsoleSettings(int units, int port)
{
    if (settingsRefused())
        return;
    const bool portChanged = port != m_comm->CommPort();
    const bool fewer = units < m_view.unitCount();
    if (!Setting(Key::NoUnits).write(QString::number(units)) || !Setting(Key::CommPort).write(QString::number(port))) {
        m_view.announce(
            said(QT_TRANSLATE_NOOP("Console", "Console settings not stored: Vorn.ini could not be written")));
        return;
    }
    if (portChanged) {
        setLink(ConsoleView::Link::Searching); // a closed port is no lost controller
        m_receiver->endOfLink();
        m_comm->setPortOpen(false); // the new number is taken by the settings pass, and probed
    }
    // The settings pass adds panels but removes none: fewer units are shown from the next start.
    applySettings();
    m_view.setStatus(fewer ? tr("The number of units takes effect at the next start") : tr("Console settings stored"),
                     5);
    if (portChanged)
        searchController();
}

// --- the close ----------------------------------------------------------------------------------------

void ConsoleCore::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_search->cancel();
    m_sender->setSearching(false);
    // What waits to go out is not sent any more: a dispense run says which units it did not reach, and
    // its journal rows say so too.
    m_sender->queue().clear();
    // What the controller said last, a line still waiting for its end among it, is logged and credited
    // before the journal's rows are written.
    const modMain::FindPort::Received received = m_search->takeReceived();
    m_receiver->hand(received.ended, received.open);
    m_receiver->endOfLink();
    m_comm->setPortOpen(false);
    m_timer1->stop();
    m_journal->finish();
    if (m_fleet)
        m_fleet->close();
    saveUnwritten();
    if (m_report)
        m_report->close();
}
