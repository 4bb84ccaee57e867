#include "app/frmVorn.h"

#include "app/ConsoleSettingsDialog.h"
#include "app/MessagePane.h"
#include "common/NumberText.h"
#include "common/OleColor.h"
#include "common/Platform.h"
#include "common/Twips.h"
#include "console/CommandConsole.h"
#include "designs/DesignBook.h"
#include "fleet/Fleet.h"
#include "link/Comm1.h"
#include "link/CommandSender.h"
#include "link/PortFolder.h"
#include "link/ResponseProcessor.h"
#include "link/modMain.h"
#include "ninepatch/StoredLayout.h"
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

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>

using SettingsSchema::Key;
using SettingsSchema::Setting;

namespace {

// A window stored wholly off every screen (a screen that is gone, a hand-edited file) could never be seen
// or moved back by the operator.
bool onSomeScreen(const QRect &frame)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return true;
    for (const QScreen *screen : screens) {
        if (screen->availableGeometry().intersects(frame))
            return true;
    }
    return false;
}

QPoint primaryTopLeft()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    return primary ? primary->availableGeometry().topLeft() : QPoint();
}

// Spacing of the lower part of the window, in twips.
constexpr double Gap = 200;
// Where "+" stands in the design row when the row is wide enough.
constexpr double AddDesignLeft = 13800;

// More panels than this would not fit any screen; a larger setting is taken as this many.
constexpr int MaxUnits = 100;

QFont makeFont(const char *family, double points)
{
    QFont f{QString::fromLatin1(family)};
    f.setPointSizeF(points);
    // Where the face is missing (wine, Linux, a trimmed Windows) one of the same kind stands in: the
    // message pane's columns need a fixed pitch.
    const bool fixed = qstrcmp(family, "Courier New") == 0;
    f.setStyleHint(fixed ? QFont::TypeWriter : QFont::SansSerif);
    if (fixed && !QFontInfo(f).fixedPitch()) { // the hint alone is not always heard (Windows)
        const QStringList families = QFontDatabase::families();
        const auto found = std::find_if(families.cbegin(), families.cend(),
                                        [](const QString &name) { return QFontDatabase::isFixedPitch(name); });
        if (found != families.cend())
            f.setFamily(*found);
    }
    return f;
}

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

// Window positions are stored as the text of a single-precision number.
QString positionText(double twipsValue)
{
    return numtext::plain(double(float(twipsValue)));
}

} // namespace

frmVorn::frmVorn(Platform &platform, PortFolder *ports, QWidget *parent)
    : QWidget(parent)
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
          [this](const QString &message) { setStatus(message); }))
    , m_sender(std::make_unique<CommandSender>(*this, *m_comm))
    , m_receiver(std::make_unique<ResponseProcessor>(*this, *m_comm, *m_sender))
    , m_unitHandlers(std::make_unique<UnitHandlers>(*this, *m_sender))
    , m_search(std::make_unique<modMain::FindPort>(*m_comm, platform))
{
    setObjectName(QStringLiteral("frmVorn"));
    setWindowTitle(QStringLiteral("TESSALORAN Dispenser"));
    buildControls();

    DesignBook::Controls designControls;
    designControls.lstDesign = m_lstDesign;
    designControls.txtDesign = m_txtDesign;
    for (int n = 1; n <= 10; ++n)
        designControls.txtNos.append(m_txtNos[n]);
    designControls.cmdAddDesign = m_cmdAddDesign;
    designControls.cmdRemoveDesign = m_cmdRemoveDesign;
    designControls.cmdDispense = m_cmdDispense;
    m_designs = std::make_unique<DesignBook>(*this, *m_sender, designControls);
    m_console = std::make_unique<CommandConsole>(
        *m_sender, CommandConsole::Controls{m_lstCommands, m_txtCommand, m_cmdExecCommand});

    m_tmrStatus.setInterval(StatusTimerInterval);
    connect(&m_tmrStatus, &LegacyTimer::timeout, this, &frmVorn::tmrStatus_Timer);

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
        const QString text = fileName + QStringLiteral(" could not be read: using defaults");
        setStatus(text);
        prependOut(text + QStringLiteral("\r\n"));
    });
    // An operator action that fails is said, never swallowed: the console goes on with the next one.
    ctxPatchButton::setActionFailedHandler([this](const ctxPatchButton &button, const QString &what) {
        const QString name = button.Caption().isEmpty() ? button.objectName() : button.Caption();
        announce(name + QStringLiteral(" failed: ") + what);
    });
    mSettings::setWriteFailedHandler([this](const QString &fileName) {
        announce(fileName + QStringLiteral(" could not be written: settings are not being saved"));
    });

    connect(m_search.get(), &modMain::FindPort::probingConfiguredPort, this, [this](qint32 port) {
        setStatus(QStringLiteral("Looking for the controller on Port ") + QString::number(port));
    });
    connect(m_search.get(), &modMain::FindPort::probingDeviceList, this, [this](int ports) {
        setStatus(QStringLiteral("Looking for the controller: ") + QString::number(ports)
                  + (ports == 1 ? QStringLiteral(" port") : QStringLiteral(" ports")));
    });
    connect(m_search.get(), &modMain::FindPort::finished, this, &frmVorn::searchFinished);
    // A controller plugged in after the start is found without a restart.
    auto *searchAgain = new QAction(QStringLiteral("Search for the controller"), this);
    searchAgain->setShortcut(QKeySequence(Qt::Key_F5));
    searchAgain->setShortcutContext(Qt::WindowShortcut);
    addAction(searchAgain);
    m_lblStatus->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_lblStatus->addAction(searchAgain);
    connect(searchAgain, &QAction::triggered, this, &frmVorn::searchController);
    auto *consoleSettings = new QAction(QStringLiteral("Console settings..."), this);
    m_lblStatus->addAction(consoleSettings);
    connect(consoleSettings, &QAction::triggered, this, &frmVorn::openConsoleSettings);
    auto *report = new QAction(QStringLiteral("Shift report"), this);
    report->setShortcut(QKeySequence(Qt::Key_F2));
    report->setShortcutContext(Qt::WindowShortcut);
    addAction(report);
    m_lblStatus->addAction(report);
    connect(report, &QAction::triggered, this, &frmVorn::showShiftReport);

    // The publisher, when the settings ask for one: made before any journal row can be written (the
    // recovered ones included); it connects once the window is loaded.
    m_fleet = Fleet::make(*this);
    if (m_fleet) {
        m_receiver->setLineObserver([this](const QString &line) { m_fleet->controllerLine(line); });
        m_journal->addSink(m_fleet.get());
    }

    m_unsavedFolders = {QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), QDir::tempPath()};
    // The rows a crash or a power cut left pending go to the journal before anything else does.
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

void frmVorn::showShiftReport()
{
    if (!m_report) {
        m_report = new ShiftReportWindow(
            m_platform.programFolder(), [this] { return m_platform.now(); }, this);
        m_journal->addSink(m_report); // an open report follows today's journal
    }
    m_report->show();
    m_report->raise();
    m_report->activateWindow();
}

frmVorn::~frmVorn()
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

void frmVorn::setUnsavedFolders(const QStringList &folders)
{
    m_unsavedFolders = folders;
}

void frmVorn::reportHeld()
{
    static const QString prefix = QStringLiteral("Log cannot be written: ");
    const qsizetype held = m_log->heldCount() + m_runs->heldCount();
    if (held == 0) {
        if (m_heldShown > 0 && statusText().startsWith(prefix))
            setStatus(QString());
        m_heldShown = 0;
        return;
    }
    // Refreshed as the number grows, but not for every entry of a busy line.
    const double now = m_platform.monotonicSeconds();
    if (held == m_heldShown || (m_heldShown > 0 && now - m_heldShownAt < 1.0))
        return;
    m_heldShown = held;
    m_heldShownAt = now;
    setStatus(prefix + QString::number(held)
              + (held == 1 ? QStringLiteral(" entry held") : QStringLiteral(" entries held")));
}

void frmVorn::saveUnwritten()
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

void frmVorn::buildControls()
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(38, 42, 54));
    pal.setColor(QPalette::WindowText, QColor(224, 224, 224));
    setPalette(pal);

    // The buttons' captions, styles and looks come from the stored layout, applied once all exist.
    auto button = [](QWidget *parent, const char *name, const char *tip) {
        auto *b = new ctxPatchButton(parent);
        b->setObjectName(QLatin1String(name));
        if (tip)
            b->setToolTip(QLatin1String(tip));
        return b;
    };
    auto list = [this](const char *name) {
        auto *l = new QListWidget(this);
        l->setObjectName(QLatin1String(name));
        l->setFont(makeFont("Verdana", 12));
        return l;
    };
    auto lineEdit = [](QWidget *parent, const char *name) {
        auto *e = new QLineEdit(parent);
        e->setObjectName(QLatin1String(name));
        e->setFont(makeFont("Verdana", 11.25));
        return e;
    };

    m_lstDesign = list("lstDesign");
    placeTwips(m_lstDesign, 120, 600, 2895, 4890);
    m_cmdRemoveDesign = button(this, "cmdRemoveDesign", "Remove Design");
    placeTwips(m_cmdRemoveDesign, 2640, 240, 375, 375);
    m_cmdOpenConsole = button(this, "cmdOpenConsole", nullptr);
    placeTwips(m_cmdOpenConsole, 360, 5520, 2415, 615);
    m_txtCommand = lineEdit(this, "txtCommand");
    placeTwips(m_txtCommand, 120, 6240, 2500, 405);
    m_cmdExecCommand = button(this, "cmdExecCommand", "Execute Command");
    placeTwips(m_cmdExecCommand, 2640, 6255, 375, 375);
    m_lstCommands = list("lstCommands");
    placeTwips(m_lstCommands, 120, 6720, 2895, 3540);

    m_picContainer = new QWidget(this);
    m_picContainer->setObjectName(QStringLiteral("picContainer"));
    placeTwips(m_picContainer, 3360, 600, 15495, 6135);
    auto *all = new dUnit(m_picContainer);
    all->setObjectName(QStringLiteral("Unit_0"));
    all->Move(0, 0, 2295, 2775);
    m_units.insert(0, all);
    m_unitHandlers->connectPanel(all, 0);

    m_picContainer2 = new QWidget(this);
    m_picContainer2->setObjectName(QStringLiteral("picContainer2"));
    placeTwips(m_picContainer2, 3480, 6360, 14295, 1455);
    m_txtDesign = lineEdit(m_picContainer2, "txtDesign");
    placeTwips(m_txtDesign, 240, 240, 2055, 405);
    m_cmdDispense = button(m_picContainer2, "cmdDispense", nullptr);
    placeTwips(m_cmdDispense, 240, 780, 2055, 500);
    for (int n = 1; n <= 10; ++n) {
        m_txtNos[n] = lineEdit(m_picContainer2, "txtNos");
        m_txtNos[n]->setObjectName(QStringLiteral("txtNos_%1").arg(n));
        m_txtNos[n]->setText(n == 1 ? QStringLiteral("1") : QStringLiteral("0"));
        placeTwips(m_txtNos[n], 2520 + ((n - 1) % 5) * 2310, n <= 5 ? 240 : 840, 2055, 405);
    }
    m_cmdAddDesign = button(m_picContainer2, "cmdAddDesign", nullptr);
    placeTwips(m_cmdAddDesign, AddDesignLeft, 240, 375, 375);

    m_txtOut = new MessagePane(this);
    m_txtOut->setObjectName(QStringLiteral("txtOut"));
    m_txtOut->setFont(makeFont("Courier New", 8.25));
    placeTwips(m_txtOut, 3360, 6600, 13935, 3255);

    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setFont(makeFont("Segoe UI", 15.75));
    placeTwips(m_lblStatus, 3360, 9960, 13935, 480);

    m_cShow = button(this, "cShow", "Show All Messages");
    placeTwips(m_cShow, 17400, 8520, 500, 500);
    m_cClearOut = button(this, "cClearOut", "Clear Output");
    placeTwips(m_cClearOut, 0, 0, 500, 500);
    StoredLayout::apply(this, StoredLayout::MainWindow);
    connect(m_cShow, &ctxPatchButton::Click, this, &frmVorn::cShow_Click);
    connect(m_cClearOut, &ctxPatchButton::Click, this, &frmVorn::cClearOut_Click);

    // The non-visual parts: the count box of the "All Units" panel lives here, out of sight.
    m_holder = new QWidget(this);
    m_holder->setObjectName(QStringLiteral("holder"));
    m_holder->hide();
    m_txtNos[0] = lineEdit(m_holder, "txtNos_0");
}

double frmVorn::dpi() const
{
    return logicalDpiX() > 0 ? logicalDpiX() : 96.0;
}

frmVorn::TwipRect frmVorn::twipsRect(const QWidget *w) const
{
    const double d = dpi();
    const QRect g = w->geometry();
    return {twips::fromPixels(g.x(), d), twips::fromPixels(g.y(), d), twips::fromPixels(g.width(), d),
            twips::fromPixels(g.height(), d)};
}

bool frmVorn::placeTwips(QWidget *w, double left, double top, double width, double height)
{
    if (!w || !std::isfinite(left + top + width + height) || width < 0 || height < 0)
        return false;
    const double d = dpi();
    w->setGeometry(twips::toPixels(left, d), twips::toPixels(top, d), twips::toPixels(width, d),
                   twips::toPixels(height, d));
    return true;
}

double frmVorn::twipsLeft() const
{
    return twips::fromPixels(x(), dpi());
}
double frmVorn::twipsTop() const
{
    return twips::fromPixels(y(), dpi());
}
double frmVorn::twipsWidth() const
{
    return twips::fromPixels(width(), dpi());
}
double frmVorn::twipsHeight() const
{
    return twips::fromPixels(height(), dpi());
}

void frmVorn::load()
{
    m_timer1->start();

    fillDesigns();
    fillCommands();

    setFilterMode(Setting(Key::ShowMessages).read() == QStringLiteral("A") ? MessageFilter::All
                                                                           : MessageFilter::Important);

    auto readPos = [](Key key) { return numtext::readInt32(Setting(key).read()); };
    int left = readPos(Key::Left);
    int top = readPos(Key::Top);
    int width = readPos(Key::Width);
    int height = readPos(Key::Height);
    if (left < 0)
        left = 0;
    if (top < 0)
        top = 0;
    // A window without width or height could not be seen, let alone resized back by the operator.
    if (width <= 0)
        width = int(DefaultWidth);
    if (height <= 0)
        height = int(DefaultHeight);
    const double d = dpi();
    const QRect stored(twips::toPixels(left, d), twips::toPixels(top, d), twips::toPixels(width, d),
                       twips::toPixels(height, d));
    move(onSomeScreen(stored) ? stored.topLeft() : primaryTopLeft());
    resize(stored.size());
    initControls();
    if (m_fleet)
        m_fleet->start();

    // The search waits for the window to be on screen: the operator sees what it is doing meanwhile.
    QTimer::singleShot(0, this, &frmVorn::searchController);
}

void frmVorn::searchController()
{
    // The search takes the link: what is waiting to go out goes first, in order.
    m_sender->queue().post({[this] {
                                startSearch();
                                return 0;
                            },
                            {}});
}

void frmVorn::startSearch()
{
    if (m_closed || m_search->isRunning())
        return;
    // The probe reads the live link: what it holds already goes through the receive path first, and text
    // waiting for its line end is a line of its own (the search may leave the link on another opening).
    m_receiver->endOfLink();
    m_sender->setSearching(true);
    setCursor(Qt::BusyCursor);
    m_search->start(QString::number(m_comm->CommPort()));
}

bool frmVorn::isSearching() const
{
    return m_search->isRunning();
}

void frmVorn::searchFinished(qint32 port)
{
    unsetCursor();
    m_sender->setSearching(false);
    if (port >= 1) {
        m_sender->markControllerFound();
        setStatus(QStringLiteral("Tessaloran Controller found on Port ") + QString::number(port), 3);
        Setting(Key::CommPort).write(QString::number(port));
    } else {
        setStatus(QStringLiteral("No controller found - press F5 to search again"));
    }
    // The greeting, and whatever the controller said with it or while the search ran, is no less the
    // controller's word than what the poll takes.
    const modMain::FindPort::Received received = m_search->takeReceived();
    m_receiver->hand(received.ended, received.open);
}

bool frmVorn::settingsRefused()
{
    QString why;
    if (m_designs->isDispensing())
        why = QStringLiteral("Settings cannot be changed during a dispense run");
    else if (isSearching())
        why = QStringLiteral("Settings cannot be changed while the controller is being looked for");
    if (!why.isEmpty())
        setStatus(why, 5);
    return !why.isEmpty();
}

void frmVorn::openUnitSettings(int n)
{
    if (settingsRefused())
        return;
    if (n < 1 || n > m_noUnits || findChild<UnitSettingsDialog *>())
        return;
    QMap<int, QString> others;
    for (int k = 1; k <= m_noUnits; ++k) {
        if (k != n)
            others.insert(k, m_units.value(k)->Tag());
    }
    const UnitSettingsDialog::Values values{Setting(Key::Uid, n).read(), Setting(Key::Size, n).read(),
                                            Setting(Key::Init, n).read(), Setting(Key::Home, n).read()};
    auto *dialog = new UnitSettingsDialog(n, values, others, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this,
            [this, n, dialog] { applyUnitSettings(n, dialog->uid(), dialog->size()); });
    dialog->open();
}

void frmVorn::applyUnitSettings(int n, const QString &uid, const QString &size)
{
    // A run or a search may have started while the dialog was open: the panels stay as they are for it.
    if (settingsRefused())
        return;
    const QString unit = QStringLiteral("UNIT ") + QString::number(n);
    if (!Setting(Key::Uid, n).write(uid) || !Setting(Key::Size, n).write(size)) {
        announce(unit + QStringLiteral(" settings not stored: Vorn.ini could not be written"));
        return;
    }
    initControls();
    setStatus(unit + QStringLiteral(" settings stored"), 5);
}

void frmVorn::openConsoleSettings()
{
    if (settingsRefused())
        return;
    if (findChild<ConsoleSettingsDialog *>())
        return;
    const int stored = numtext::readInt32(Setting(Key::NoUnits).read());
    auto *dialog =
        new ConsoleSettingsDialog(qBound(1, stored, MaxUnits), m_comm->CommPort(), m_comm->ports().knownPorts(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (const auto port = dialog->port())
            applyConsoleSettings(dialog->units(), *port);
    });
    dialog->open();
}

void frmVorn::applyConsoleSettings(int units, int port)
{
    // A new port ends the link: what is waiting to go out goes first, on the port it was meant for.
    m_sender->queue().post({[this, units, port] {
                                storeConsoleSettings(units, port);
                                return 0;
                            },
                            {}});
}

void frmVorn::storeConsoleSettings(int units, int port)
{
    if (settingsRefused())
        return;
    const bool portChanged = port != m_comm->CommPort();
    const bool fewer = units < m_noUnits;
    if (!Setting(Key::NoUnits).write(QString::number(units)) || !Setting(Key::CommPort).write(QString::number(port))) {
        announce(QStringLiteral("Console settings not stored: Vorn.ini could not be written"));
        return;
    }
    if (portChanged) {
        m_receiver->endOfLink();
        m_comm->setPortOpen(false); // the new number is taken by the layout pass, and probed
    }
    // The layout pass adds panels but removes none: fewer units are shown from the next start.
    initControls();
    setStatus(fewer ? QStringLiteral("The number of units takes effect at the next start")
                    : QStringLiteral("Console settings stored"),
              5);
    if (portChanged)
        searchController();
}

void frmVorn::initControls()
{
    if (const auto port = portNumber(Setting(Key::CommPort).read()))
        m_comm->setCommPort(*port);

    // The pass adds panels but removes none: fewer units take effect at the next start.
    m_noUnits = qMax(m_noUnits, qMin(numtext::readInt32(Setting(Key::NoUnits).read()), MaxUnits));

    dUnit *all = m_units.value(0);
    // A UID changed since the last pass must not leave the unit reachable under the old one.
    m_unitsByUID.clear();
    for (int n = 0; n <= m_noUnits; ++n) {
        dUnit *unit = m_units.value(n);
        if (!unit) {
            unit = new dUnit(m_picContainer);
            unit->setObjectName(QStringLiteral("Unit_%1").arg(n));
            // A fresh panel shows no count or information until the controller says something.
            unit->setCaption3(QString());
            unit->setCaption4(QString());
            m_units.insert(n, unit);
            m_unitHandlers->connectPanel(unit, n);
            unit->setSettingsOffered(true);
            connect(unit, &dUnit::settingsRequested, this, [this, n] { openUnitSettings(n); });
            if (m_fleet)
                connect(&unit->model(), &UnitModel::changed, this, [this, n] { m_fleet->unitChanged(n); });
        }
        unit->setVisible(true);
        if (n == 0) {
            unit->setCaption1(QStringLiteral("All Units"));
            unit->setCaption2(QString());
            unit->setCaption3(QString());
            unit->setCaption4(QString());
            continue;
        }
        unit->setCaption1(QStringLiteral("UNIT ") + QString::number(n));
        unit->setCaption2(QStringLiteral("SIZE :") + Setting(Key::Size, n).read());

        const double W = all->twipsWidth();
        const double H = all->twipsHeight();
        unit->Move(double(((n - 1) % 5) + 1) * (W + 200), double((n - 1) / 5) * (H + 400), W, H);

        const QString uid = Setting(Key::Uid, n).read();
        unit->setTag(uid);
        if (n <= 10)
            m_txtNos[n]->setProperty("Tag", uid);
        const QString key = QStringLiteral("U") + unit->Tag();
        if (!m_unitsByUID.contains(key))
            m_unitsByUID.insert(key, n);
    }
    // Units sharing a UID would both act on every line to it, and a unit without a valid UID gets no
    // command at all; the operator hears of it once per change.
    QString shared = CommandSender::sharedUid(*this);
    for (int n = 1; n <= m_noUnits && shared.isEmpty(); ++n) {
        if (!CommandSender::isUnitAddress(m_units.value(n)->Tag()))
            shared = QStringLiteral("UNIT %1 has no valid UID (a whole number from 1 to %2)")
                         .arg(n)
                         .arg(CommandSender::MaxUid);
    }
    if (!shared.isEmpty() && shared != m_sharedUidSaid) {
        const QString text = shared + QStringLiteral(" - right-click a unit to set its UID");
        setStatus(text);
        prependOut(text + QStringLiteral("\r\n"));
    }
    m_sharedUidSaid = shared;
    layoutControls();
}

void frmVorn::layoutControls()
{
    const TwipRect unitArea = twipsRect(m_picContainer);
    const double innerW = twipsWidth();
    const double innerH = twipsHeight();
    placeTwips(m_picContainer2, unitArea.left, unitArea.top + unitArea.height + Gap, innerW - unitArea.left - 800,
               twipsRect(m_picContainer2).height);
    const TwipRect designRow = twipsRect(m_picContainer2);
    // "+" keeps its place when the row is wide enough for it, else it stands at the row's right edge.
    const TwipRect add = twipsRect(m_cmdAddDesign);
    placeTwips(m_cmdAddDesign, qMax(0.0, qMin(AddDesignLeft, designRow.width - add.width)), add.top, add.width,
               add.height);
    placeTwips(m_txtOut, designRow.left, designRow.top + designRow.height + Gap, designRow.width,
               twipsRect(m_txtOut).height);
    {
        const TwipRect out = twipsRect(m_txtOut);
        placeTwips(m_txtOut, out.left, out.top, out.width, innerH - out.top - twipsRect(m_lblStatus).height - 400);
    }
    const TwipRect out = twipsRect(m_txtOut);
    placeTwips(m_lblStatus, out.left, out.top + out.height + Gap, out.width, twipsRect(m_lblStatus).height);
    const TwipRect filterButton = twipsRect(m_cShow);
    placeTwips(m_cShow, out.left + out.width + 10, out.top, filterButton.width, filterButton.height);
    const TwipRect shown = twipsRect(m_cShow);
    placeTwips(m_cClearOut, shown.left, shown.top + shown.height + 100, shown.width, shown.height);
}

void frmVorn::resizeEvent(QResizeEvent *event)
{
    // A resize lays out; it reads no settings and touches no port.
    QWidget::resizeEvent(event);
    layoutControls();
}

void frmVorn::closeEvent(QCloseEvent *event)
{
    saveWindowPosition();
    event->accept();
}

void frmVorn::saveWindowPosition()
{
    if (m_closed)
        return;
    m_closed = true;
    Setting(Key::Left).write(positionText(twipsLeft()));
    Setting(Key::Top).write(positionText(twipsTop()));
    Setting(Key::Width).write(positionText(twipsWidth()));
    Setting(Key::Height).write(positionText(twipsHeight()));
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
    emit closed();
}

// --- status line and message pane ---------------------------------------------------------------------

void frmVorn::setStatus(const QString &St, int Secs)
{
    m_lblStatus->setText(St);
    m_tmrStatus.setEnabled(false);
    m_tmrStatus.setInterval(qint64(Secs) * 1000); // above the timer's limit the previous interval stays
    m_tmrStatus.setEnabled(true);
}

QString frmVorn::statusText() const
{
    return m_lblStatus->text();
}

void frmVorn::ensureStatusTimerRunning()
{
    m_tmrStatus.setEnabled(true);
}

void frmVorn::tmrStatus_Timer()
{
    m_lblStatus->setText(QString());
    m_tmrStatus.setEnabled(false);
    for (int n = 1; n <= m_noUnits; ++n) {
        if (dUnit *u = m_units.value(n); u && u->model().state() != UnitState::Idle)
            u->model().setState(UnitState::Answered);
    }
}

void frmVorn::setFilterMode(MessageFilter filter)
{
    m_filter = filter;
    const bool all = filter == MessageFilter::All;
    m_cShow->setCaption(all ? QStringLiteral("A") : QStringLiteral("F"));
    m_cShow->setButtonStyle(all ? 8 : 10);
    m_cShow->setToolTip(all ? QStringLiteral("Show All Messages") : QStringLiteral("Show Important Messages"));
}

MessageFilter frmVorn::filterMode() const
{
    return m_filter;
}

void frmVorn::cShow_Click()
{
    setFilterMode(m_filter == MessageFilter::All ? MessageFilter::Important : MessageFilter::All);
    Setting(Key::ShowMessages).write(m_filter == MessageFilter::All ? QStringLiteral("A") : QStringLiteral("F"));
}

void frmVorn::cClearOut_Click()
{
    m_txtOut->clearOut();
}

void frmVorn::prependOut(const QString &text)
{
    m_txtOut->prepend(text);
}

void frmVorn::log(const QString &logText)
{
    m_log->log(logText);
    reportHeld();
}

// --- panels and count boxes ---------------------------------------------------------------------------

dUnit *frmVorn::unitPanel(int n) const
{
    return m_units.value(n);
}

UnitModel *frmVorn::unit(int n)
{
    const dUnit *panel = m_units.value(n);
    return panel ? &panel->model() : nullptr;
}

std::optional<int> frmVorn::unitByUID(const QString &uid) const
{
    const auto it = m_unitsByUID.constFind(QStringLiteral("U") + uid);
    if (it == m_unitsByUID.constEnd())
        return std::nullopt;
    return *it;
}

std::optional<QString> frmVorn::countText(int n) const
{
    if (n < 0 || n > 10)
        return std::nullopt;
    return m_txtNos[n]->text();
}

void frmVorn::setCountText(int n, const QString &text)
{
    if (n >= 0 && n <= 10)
        m_txtNos[n]->setText(text);
}

std::optional<QString> frmVorn::countTag(int n) const
{
    if (n < 0 || n > 10)
        return std::nullopt;
    return m_txtNos[n]->property("Tag").toString();
}

// --- calls into the other subsystems ------------------------------------------------------------------

void frmVorn::fillDesigns()
{
    m_designs->fillDesigns();
}

void frmVorn::fillCommands()
{
    m_console->fillCommands();
}
