#include "app/frmVorn.h"

#include "app/FocusMark.h"
#include "app/MessagePane.h"
#include "app/WindowLayout.h"
#include "common/NumberText.h"
#include "common/Twips.h"
#include "link/CommandSender.h"
#include "ninepatch/StoredLayout.h"
#include "ninepatch/ctxPatchButton.h"
#include "settings/SettingsSchema.h"
#include "units/dUnit.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>

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

// Window positions are stored as the text of a single-precision number.
QString positionText(double twipsValue)
{
    return numtext::plain(double(float(twipsValue)));
}

} // namespace

frmVorn::frmVorn(Platform &platform, PortFolder *ports, QWidget *parent)
    : QWidget(parent)
    , m_platform(platform)
{
    setObjectName(QStringLiteral("frmVorn"));
    setWindowTitle(tr("TESSALORAN Dispenser"));
    buildControls();

    DesignBook::Controls designControls;
    designControls.lstDesign = m_lstDesign;
    designControls.txtDesign = m_txtDesign;
    for (int n = 1; n <= 10; ++n)
        designControls.txtNos.append(m_txtNos[n]);
    designControls.cmdAddDesign = m_cmdAddDesign;
    designControls.cmdRemoveDesign = m_cmdRemoveDesign;
    designControls.cmdDispense = m_cmdDispense;
    m_core = std::make_unique<ConsoleCore>(*this, platform, ports, designControls,
                                           CommandConsole::Controls{m_lstCommands, m_txtCommand, m_cmdExecCommand});
    m_core->panelMade(m_units.value(0), 0);

    m_tmrStatus.setInterval(StatusTimerInterval);
    connect(&m_tmrStatus, &LegacyTimer::timeout, this, &frmVorn::tmrStatus_Timer);
    addActions();
}

void frmVorn::addActions()
{
    // A controller plugged in after the start is found without a restart.
    auto *searchAgain = new QAction(tr("Search for the controller"), this);
    searchAgain->setShortcut(QKeySequence(Qt::Key_F5));
    searchAgain->setShortcutContext(Qt::WindowShortcut);
    addAction(searchAgain);
    m_lblStatus->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_lblStatus->addAction(searchAgain);
    connect(searchAgain, &QAction::triggered, this, &frmVorn::searchController);
    auto *consoleSettings = new QAction(tr("Console settings..."), this);
    m_lblStatus->addAction(consoleSettings);
    connect(consoleSettings, &QAction::triggered, this, &frmVorn::openConsoleSettings);
    auto *report = new QAction(tr("Shift report"), this);
    report->setShortcut(QKeySequence(Qt::Key_F2));
    report->setShortcutContext(Qt::WindowShortcut);
    addAction(report);
    m_lblStatus->addAction(report);
    connect(report, &QAction::triggered, this, &frmVorn::showShiftReport);

    // The design row and the command box from the keyboard; each button's tool tip names its key.
    const auto key = [this](const QKeySequence &keys, ctxPatchButton *button, const QString &tip, auto action) {
        auto *a = new QAction(tip, this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
        connect(a, &QAction::triggered, this, action);
        button->setToolTip(tr("%1 (%2)").arg(tip, keys.toString(QKeySequence::NativeText)));
        button->setAccessibleName(tip);
    };
    key(QKeySequence(Qt::Key_F9), m_cmdDispense, tr("Dispense"), [this] { designs().cmdDispense_Click(); });
    key(QKeySequence(Qt::ALT | Qt::Key_A), m_cmdAddDesign, tr("Add Design"),
        [this] { designs().cmdAddDesign_Click(); });
    key(QKeySequence(Qt::ALT | Qt::Key_R), m_cmdRemoveDesign, tr("Remove Design"),
        [this] { designs().cmdRemoveDesign_Click(); });
    key(QKeySequence(Qt::ALT | Qt::Key_E), m_cmdExecCommand, tr("Execute Command"),
        [this] { console().cmdExecCommand_Click(); });
    m_cmdOpenConsole->setAccessibleName(tr("Open Console"));
    m_cShow->setAccessibleName(tr("Message filter"));
    m_cClearOut->setAccessibleName(tr("Clear Output"));
    m_lstDesign->setAccessibleName(tr("Designs"));
    m_txtDesign->setAccessibleName(tr("Design name"));
    m_txtCommand->setAccessibleName(tr("Command"));
    m_lstCommands->setAccessibleName(tr("Command catalogue"));
    m_txtOut->setAccessibleName(tr("Messages"));

    // Tab goes down the design column, along the design row, to the command column and the pane; the
    // panels come after.
    const QList<QWidget *> order = {m_lstDesign, m_txtDesign,     m_txtNos[1],   m_txtNos[2],  m_txtNos[3],
                                    m_txtNos[4], m_txtNos[5],     m_txtNos[6],   m_txtNos[7],  m_txtNos[8],
                                    m_txtNos[9], m_txtNos[10],    m_cmdDispense, m_txtCommand, m_lstCommands,
                                    m_txtOut,    m_units.value(0)};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order.at(i - 1), order.at(i));
}

frmVorn::~frmVorn() = default;

void frmVorn::buildControls()
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(38, 42, 54));
    pal.setColor(QPalette::WindowText, QColor(224, 224, 224));
    setPalette(pal);

    // The controls stand on a canvas that the window scales to its size, and scrolls when it is smaller
    // than the content at its least size.
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("scroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(false);
    m_canvas = new QWidget;
    m_canvas->setObjectName(QStringLiteral("canvas"));
    m_scroll->setWidget(m_canvas);
    m_scroll->viewport()->setAutoFillBackground(false);

    // The buttons' captions, styles and looks come from the stored layout, applied once all exist.
    auto button = [](QWidget *parent, const char *name, const char *tip) {
        auto *b = new ctxPatchButton(parent);
        b->setObjectName(QLatin1String(name));
        if (tip)
            b->setToolTip(tr(tip));
        return b;
    };
    // Fonts are given at the drawn size and scaled with the window.
    WindowLayout::Controls placed;
    auto font = [&placed](QWidget *w, const char *family, double points) {
        w->setFont(makeFont(family, points));
        placed.fonts.append({w, points});
    };
    auto list = [this, &font](const char *name) {
        auto *l = new QListWidget(m_canvas);
        l->setObjectName(QLatin1String(name));
        font(l, "Verdana", 12);
        return l;
    };
    auto lineEdit = [&font](QWidget *parent, const char *name) {
        auto *e = new QLineEdit(parent);
        e->setObjectName(QLatin1String(name));
        font(e, "Verdana", 11.25);
        return e;
    };

    m_lstDesign = list("lstDesign");
    m_cmdRemoveDesign = button(m_canvas, "cmdRemoveDesign", QT_TR_NOOP("Remove Design"));
    m_cmdOpenConsole = button(m_canvas, "cmdOpenConsole", nullptr);
    m_txtCommand = lineEdit(m_canvas, "txtCommand");
    m_cmdExecCommand = button(m_canvas, "cmdExecCommand", QT_TR_NOOP("Execute Command"));
    m_lstCommands = list("lstCommands");

    m_picContainer = new QWidget(m_canvas);
    m_picContainer->setObjectName(QStringLiteral("picContainer"));
    auto *all = new dUnit(m_picContainer);
    all->setObjectName(QStringLiteral("Unit_0"));
    all->Move(0, 0, 2295, 2775);
    m_units.insert(0, all);

    m_picContainer2 = new QWidget(m_canvas);
    m_picContainer2->setObjectName(QStringLiteral("picContainer2"));
    m_txtDesign = lineEdit(m_picContainer2, "txtDesign");
    m_cmdDispense = button(m_picContainer2, "cmdDispense", nullptr);
    for (int n = 1; n <= 10; ++n) {
        m_txtNos[n] = lineEdit(m_picContainer2, "txtNos");
        m_txtNos[n]->setObjectName(QStringLiteral("txtNos_%1").arg(n));
        m_txtNos[n]->setText(n == 1 ? QStringLiteral("1") : QStringLiteral("0"));
    }
    m_cmdAddDesign = button(m_picContainer2, "cmdAddDesign", nullptr);

    m_txtOut = new MessagePane(m_canvas); // scales its own font, beneath the operator's zoom
    m_txtOut->setObjectName(QStringLiteral("txtOut"));
    m_txtOut->setFont(makeFont("Courier New", 8.25));

    m_lblStatus = new QLabel(m_canvas);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    font(m_lblStatus, "Segoe UI", 15.75);
    m_lblLink = new QLabel(m_canvas);
    m_lblLink->setObjectName(QStringLiteral("lblLink"));
    font(m_lblLink, "Segoe UI", 12);
    m_lblLink->setAlignment(Qt::AlignCenter);
    m_lblLink->setAutoFillBackground(true);
    showLink(Link::None, 0);

    m_cShow = button(m_canvas, "cShow", QT_TR_NOOP("Show All Messages"));
    m_cClearOut = button(m_canvas, "cClearOut", QT_TR_NOOP("Clear Output"));
    m_focusMark = new FocusMark(m_canvas);

    placed.lstDesign = m_lstDesign;
    placed.cmdRemoveDesign = m_cmdRemoveDesign;
    placed.cmdOpenConsole = m_cmdOpenConsole;
    placed.txtCommand = m_txtCommand;
    placed.cmdExecCommand = m_cmdExecCommand;
    placed.lstCommands = m_lstCommands;
    placed.picContainer = m_picContainer;
    placed.picContainer2 = m_picContainer2;
    placed.txtDesign = m_txtDesign;
    placed.cmdDispense = m_cmdDispense;
    placed.cmdAddDesign = m_cmdAddDesign;
    for (int n = 1; n <= 10; ++n)
        placed.txtNos[size_t(n)] = m_txtNos[n];
    placed.txtOut = m_txtOut;
    placed.lblStatus = m_lblStatus;
    placed.lblLink = m_lblLink;
    placed.cShow = m_cShow;
    placed.cClearOut = m_cClearOut;
    m_layout = std::make_unique<WindowLayout>(*this, *m_canvas, placed);
    m_layout->setScale(1.0, m_layout->canvasFor(1.0, QSize()));

    StoredLayout::apply(this, StoredLayout::MainWindow);
    connect(m_cShow, &ctxPatchButton::Click, this, &frmVorn::cShow_Click);
    connect(m_cClearOut, &ctxPatchButton::Click, this, &frmVorn::cClearOut_Click);

    // The non-visual parts: the count box of the "All Units" panel lives here, out of sight.
    m_holder = new QWidget(this);
    m_holder->setObjectName(QStringLiteral("holder"));
    m_holder->hide();
    m_txtNos[0] = lineEdit(m_holder, "txtNos_0");
}

double frmVorn::twipsLeft() const
{
    return m_layout->windowTwips().left;
}
double frmVorn::twipsTop() const
{
    return m_layout->windowTwips().top;
}
double frmVorn::twipsWidth() const
{
    return m_layout->windowTwips().width;
}
double frmVorn::twipsHeight() const
{
    return m_layout->windowTwips().height;
}

void frmVorn::load()
{
    setFilterMode(Setting(Key::ShowMessages).read() == QStringLiteral("A") ? MessageFilter::All
                                                                           : MessageFilter::Important);
    m_txtOut->setZoom(numtext::readInt32(Setting(Key::PaneZoom).read()));
    connect(m_txtOut, &MessagePane::zoomChanged, this,
            [](int steps) { Setting(Key::PaneZoom).write(QString::number(steps)); });

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
        width = int(WindowLayout::DefaultWidth);
    if (height <= 0)
        height = int(WindowLayout::DefaultHeight);
    const double d = m_layout->dpi();
    const QRect stored(twips::toPixels(left, d), twips::toPixels(top, d), twips::toPixels(width, d),
                       twips::toPixels(height, d));
    const QPoint at = onSomeScreen(stored) ? stored.topLeft() : primaryTopLeft();
    move(at);
    // The window opens no larger than the screen it opens on leaves room for; its content scrolls there.
    QSize size = stored.size();
    const QScreen *screen = QGuiApplication::screenAt(at);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    m_core->start();
}

void frmVorn::initControls()
{
    m_core->applySettings();
}

void frmVorn::showSettings()
{
    // The pass adds panels but removes none: fewer units take effect at the next start.
    m_noUnits = qMax(m_noUnits, qMin(numtext::readInt32(Setting(Key::NoUnits).read()), ConsoleCore::MaxUnits));

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
            unit->setScale(m_layout->scale());
            m_units.insert(n, unit);
            m_core->panelMade(unit, n);
            // The panels come after the pane, one Tab stop each.
            setTabOrder(m_units.value(n - 1), unit);
        }
        unit->setVisible(true);
        if (n == 0) {
            unit->setCaption1(tr("All Units"));
            unit->setAccessibleName(unit->caption1());
            unit->setCaption2(QString());
            unit->setCaption3(QString());
            unit->setCaption4(QString());
            continue;
        }
        unit->setCaption1(unitName(n).shown);
        unit->setAccessibleName(unit->caption1());
        // A screen reader says what a panel button does and to whom: "Id UNIT 2".
        for (ctxPatchButton *button : unit->findChildren<ctxPatchButton *>())
            button->setAccessibleName(button->Caption() + u' ' + unit->caption1());
        unit->setCaption2(tr("SIZE :") + Setting(Key::Size, n).read());

        const WindowLayout::TwipRect place = WindowLayout::panelRect(n, all->twipsWidth(), all->twipsHeight());
        unit->Move(place.left, place.top, place.width, place.height);

        const QString uid = Setting(Key::Uid, n).read();
        unit->setTag(uid);
        if (n <= 10)
            m_txtNos[n]->setProperty("Tag", uid);
        const QString key = QStringLiteral("U") + unit->Tag();
        if (!m_unitsByUID.contains(key))
            m_unitsByUID.insert(key, n);
    }
    // Only live boxes: a count box of a unit beyond the number of units takes no count.
    for (int n = 1; n <= 10; ++n) {
        const QString name = tr("%1 count").arg(unitName(n).shown);
        m_txtNos[n]->setEnabled(n <= m_noUnits);
        m_txtNos[n]->setToolTip(name);
        m_txtNos[n]->setAccessibleName(name);
    }
    // Units sharing a UID would both act on every line to it, and a unit without a valid UID gets no
    // command at all; the operator hears of it once per change.
    QString shared = CommandSender::sharedUid(*this).shown;
    for (int n = 1; n <= m_noUnits && shared.isEmpty(); ++n) {
        if (!CommandSender::isUnitAddress(m_units.value(n)->Tag()))
            shared = tr("%1 has no valid UID (a whole number from 1 to %2)")
                         .arg(unitName(n).shown)
                         .arg(CommandSender::MaxUid);
    }
    if (!shared.isEmpty() && shared != m_sharedUidSaid) {
        const QString text = tr("%1 - right-click a unit to set its UID").arg(shared);
        setStatus(text);
        prependOut(text + QStringLiteral("\r\n"));
    }
    m_sharedUidSaid = shared;
    layoutControls();
}

void frmVorn::layoutControls()
{
    m_layout->fit(m_scroll->maximumViewportSize(), style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_scroll));
    m_focusMark->follow();
}

double frmVorn::scale() const
{
    return m_layout->scale();
}

void frmVorn::resizeEvent(QResizeEvent *event)
{
    // A resize lays out; it reads no settings and touches no port.
    QWidget::resizeEvent(event);
    m_scroll->setGeometry(rect());
    layoutControls();
}

void frmVorn::closeEvent(QCloseEvent *event)
{
    saveWindowPosition();
    event->accept();
}

void frmVorn::saveWindowPosition()
{
    if (m_core->isClosed())
        return;
    Setting(Key::Left).write(positionText(twipsLeft()));
    Setting(Key::Top).write(positionText(twipsTop()));
    Setting(Key::Width).write(positionText(twipsWidth()));
    Setting(Key::Height).write(positionText(twipsHeight()));
    m_core->close();
    emit closed();
}

void frmVorn::showLink(Link link, int port)
{
    // Told apart by the words first, the colour second.
    QPalette pal = m_lblLink->palette();
    switch (link) {
    case Link::Found:
        m_lblLink->setText(tr("Port %1: controller").arg(port));
        pal.setColor(QPalette::Window, QColor(32, 128, 48));
        break;
    case Link::Searching:
        m_lblLink->setText(tr("Looking for the controller"));
        pal.setColor(QPalette::Window, QColor(200, 140, 0));
        break;
    case Link::None:
        m_lblLink->setText(tr("No controller - F5"));
        pal.setColor(QPalette::Window, QColor(176, 32, 32));
        break;
    }
    pal.setColor(QPalette::WindowText, Qt::white);
    m_lblLink->setPalette(pal);
}

QString frmVorn::linkText() const
{
    return m_lblLink->text();
}

void frmVorn::setBusy(bool busy)
{
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
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
    m_cShow->setToolTip(all ? tr("Show All Messages") : tr("Show Important Messages"));
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
    m_core->log(logText);
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

// --- the console behind the window --------------------------------------------------------------------

RunJournal *frmVorn::journal()
{
    return m_core->journal();
}
Comm1 &frmVorn::comm()
{
    return m_core->comm();
}
CommandSender &frmVorn::sender()
{
    return m_core->sender();
}
ResponseProcessor &frmVorn::receiver()
{
    return m_core->receiver();
}
UnitHandlers &frmVorn::unitHandlers()
{
    return m_core->unitHandlers();
}
DesignBook &frmVorn::designs()
{
    return m_core->designs();
}
CommandConsole &frmVorn::console()
{
    return m_core->console();
}
DailyLog &frmVorn::dailyLog()
{
    return m_core->dailyLog();
}
bool frmVorn::isClosed() const
{
    return m_core->isClosed();
}
void frmVorn::setUnsavedFolders(const QStringList &folders)
{
    m_core->setUnsavedFolders(folders);
}
void frmVorn::searchController()
{
    m_core->searchController();
}
bool frmVorn::isSearching() const
{
    return m_core->isSearching();
}
void frmVorn::openUnitSettings(int n)
{
    m_core->openUnitSettings(n);
}
void frmVorn::openConsoleSettings()
{
    m_core->openConsoleSettings();
}
void frmVorn::fillDesigns()
{
    m_core->designs().fillDesigns();
}
void frmVorn::showShiftReport()
{
    m_core->showShiftReport();
}
ShiftReportWindow *frmVorn::shiftReport() const
{
    return m_core->shiftReport();
}
