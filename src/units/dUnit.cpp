#include "units/dUnit.h"

#include "common/OleColor.h"
#include "common/Twips.h"
#include "ninepatch/StoredLayout.h"
#include "ninepatch/ctxPatchButton.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

using namespace unitlayout;

namespace {

void setColour(QWidget *w, QPalette::ColorRole role, qint32 colour)
{
    QPalette p = w->palette();
    p.setColor(role, olecolor::toColor(colour));
    w->setPalette(p);
}

// The panel's lines are drawn in this size when they fit, and smaller when they would be cut.
constexpr double LinePoints = 15.75;

QLabel *makeLabel(QLabel *label, const char *name, const QString &text, qint32 textColour)
{
    label->setObjectName(QLatin1String(name));
    label->setText(text);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont f(QStringLiteral("Segoe UI"));
    f.setStyleHint(QFont::SansSerif); // where Segoe UI is missing
    f.setPointSizeF(LinePoints);
    label->setFont(f);
    setColour(label, QPalette::WindowText, textColour);
    return label;
}

// A line is never cut: its text takes the largest size up to the panel's that fits the label.
void fitText(QLabel *label, double points)
{
    QFont f = label->font();
    for (; points > 4; points *= 0.9) {
        f.setPointSizeF(points);
        const QFontMetricsF metrics(f);
        if (metrics.horizontalAdvance(label->text()) <= label->width() && metrics.height() <= label->height() + 1)
            break;
    }
    if (f.pointSizeF() != label->font().pointSizeF())
        label->setFont(f);
}

// The buttons and their tool tips; their captions, styles and looks come from the stored layout.
struct ButtonEntry
{
    Child child;
    const char *name;
    const char *tip;
};

const ButtonEntry buttonTable[] = {
    {cInit, "cInit", QT_TRANSLATE_NOOP("dUnit", "Init this UNIT")},
    {cHome, "cHome", QT_TRANSLATE_NOOP("dUnit", "Home This Unit")},
    {cFlush, "cFlush", QT_TRANSLATE_NOOP("dUnit", "Flush And Count All")},
    {cUpd, "cUpd", QT_TRANSLATE_NOOP("dUnit", "Update this UNIT")},
    {cSave, "cSave", QT_TRANSLATE_NOOP("dUnit", "Save Settings to UNIT")},
    {cStop, "cStop", QT_TRANSLATE_NOOP("dUnit", "STOP Current Operation")},
    {cYes, "cYes", QT_TRANSLATE_NOOP("dUnit", "Last Output was OK")},
    {cNo, "cNo", QT_TRANSLATE_NOOP("dUnit", "Last Output was NOT OK")},
};

} // namespace

void NameLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

// Puts children in device pixels and reads back what was really applied, in twips.
class dUnit::PixelTarget : public Target
{
public:
    explicit PixelTarget(const dUnit &unit)
        : m_unit(unit)
        , m_dpi(unit.dpi())
    {}
    void place(Child c, const Rect &r) override
    {
        m_unit.m_children[c]->setGeometry(twips::toPixels(r.left, m_dpi), twips::toPixels(r.top, m_dpi),
                                          twips::toPixels(r.width, m_dpi), twips::toPixels(r.height, m_dpi));
    }
    Rect get(Child c) const override { return m_unit.childRect(c); }

private:
    const dUnit &m_unit;
    double m_dpi;
};

dUnit::dUnit(QWidget *parent)
    : QWidget(parent)
    , m_model(new UnitModel(this))
{
    m_model->setName(QStringLiteral("UNIT1"));
    m_model->setSize(QStringLiteral("1.0"));
    m_model->setCount(tr("Stock : 0"));
    m_model->setInfo(tr("Stock : 0"));
    build();
}

dUnit::dUnit(UnitModel &model, QWidget *parent)
    : QWidget(parent)
    , m_model(&model)
{
    build();
}

void dUnit::build()
{
    m_shadow = new QWidget(this);
    m_shadow->setObjectName(QStringLiteral("picShadow"));
    m_shadow->setAutoFillBackground(true);

    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("Unit"));
    m_body->setAutoFillBackground(true);
    setColour(m_body, QPalette::Window, olecolor::rgb(56, 62, 79));

    const qint32 grey = olecolor::rgb(224, 224, 224);
    m_lblName = new NameLabel(m_body);
    makeLabel(m_lblName, "lblName", m_model->name(), grey);
    m_lblSize = makeLabel(new QLabel(m_body), "lblSize", sizeLine(), grey);
    m_lblCount = makeLabel(new QLabel(m_body), "lblCount", m_model->countLine(), grey);
    m_lblInfo = makeLabel(new QLabel(m_body), "lblInfo", m_model->infoLine(), olecolor::rgb(255, 0, 0));
    connect(m_lblName, &NameLabel::doubleClicked, this, &dUnit::checkClicked);
    drawState();
    drawChecked();
    const auto show = [this](QLabel *label, const QString &text) {
        label->setText(text);
        fitText(label, LinePoints * m_scale);
    };
    connect(m_model, &UnitModel::nameChanged, this, [this, show] { show(m_lblName, m_model->name()); });
    connect(m_model, &UnitModel::sizeChanged, this, [this, show] { show(m_lblSize, sizeLine()); });
    connect(m_model, &UnitModel::uidChanged, this, [this, show] { show(m_lblSize, sizeLine()); });
    connect(m_model, &UnitModel::countChanged, this, [this, show] { show(m_lblCount, m_model->countLine()); });
    connect(m_model, &UnitModel::infoChanged, this, [this, show] { show(m_lblInfo, m_model->infoLine()); });
    connect(m_model, &UnitModel::stateChanged, this, &dUnit::drawState);
    connect(m_model, &UnitModel::checkedChanged, this, &dUnit::drawChecked);

    m_children[UnitBody] = m_body;
    m_children[picShadow] = m_shadow;
    m_children[lblName] = m_lblName;
    m_children[lblSize] = m_lblSize;
    m_children[lblCount] = m_lblCount;
    m_children[lblInfo] = m_lblInfo;

    for (const ButtonEntry &entry : buttonTable) {
        auto *b = new ctxPatchButton(m_body);
        b->setObjectName(QLatin1String(entry.name));
        b->setToolTip(tr(entry.tip));
        // The panel is the Tab stop; the arrow keys move among its buttons.
        b->setFocusPolicy(Qt::NoFocus);
        m_children[entry.child] = b;
    }
    m_current = button(cInit);
    StoredLayout::apply(this, StoredLayout::UnitPanel);
    connect(button(cInit), &ctxPatchButton::Click, this, &dUnit::Init);
    connect(button(cUpd), &ctxPatchButton::Click, this, &dUnit::Update);
    connect(button(cHome), &ctxPatchButton::Click, this, &dUnit::Home);
    connect(button(cSave), &ctxPatchButton::Click, this, &dUnit::Save);
    connect(button(cFlush), &ctxPatchButton::Click, this, &dUnit::Flush);
    connect(button(cStop), &ctxPatchButton::Click, this, &dUnit::STOPall);
    connect(button(cYes), &ctxPatchButton::Click, this, &dUnit::ReportOK);
    connect(button(cNo), &ctxPatchButton::Click, this, &dUnit::ReportNotOK);

    resize(twips::toPixels(InitialWidth, dpi()), twips::toPixels(InitialHeight, dpi()));
    layoutChildren();

    // The panel takes the focus, so the keyboard reaches its menu too.
    setFocusPolicy(Qt::StrongFocus);
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("unitMenu"));
    connect(m_menu->addAction(QString()), &QAction::triggered, this, &dUnit::settingsRequested);
}

void dUnit::offerSettings(const QPoint &globalPos)
{
    if (!m_settingsOffered)
        return;
    m_menu->actions().constFirst()->setText(tr("%1 settings...").arg(caption1()));
    m_menu->popup(globalPos);
}

void dUnit::contextMenuEvent(QContextMenuEvent *event)
{
    // A right click on a button is the button's own.
    for (QWidget *w = childAt(event->pos()); w && w != this; w = w->parentWidget()) {
        if (qobject_cast<ctxPatchButton *>(w))
            return;
    }
    offerSettings(event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : mapToGlobal(rect().center()));
    event->accept();
}

void dUnit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        offerSettings(mapToGlobal(rect().center()));
        return;
    }
    if (moveAmongButtons(event->key()))
        return;
    QWidget::keyPressEvent(event);
}

bool dUnit::moveAmongButtons(int key)
{
    // To the nearest button that way, keeping to the row or column where there is one.
    const QPoint step = key == Qt::Key_Left ? QPoint(-1, 0)
        : key == Qt::Key_Right              ? QPoint(1, 0)
        : key == Qt::Key_Up                 ? QPoint(0, -1)
        : key == Qt::Key_Down               ? QPoint(0, 1)
                                            : QPoint();
    if (step.isNull() || !m_current)
        return false;
    const QPoint from = m_current->geometry().center();
    ctxPatchButton *best = nullptr;
    int bestScore = 0;
    for (QWidget *child : m_children) {
        auto *b = qobject_cast<ctxPatchButton *>(child);
        if (!b || b == m_current || !b->isVisible())
            continue;
        const QPoint d = b->geometry().center() - from;
        const int along = d.x() * step.x() + d.y() * step.y();
        const int across = qAbs(d.x() * step.y()) + qAbs(d.y() * step.x());
        if (along <= 0)
            continue;
        const int score = along + 2 * across;
        if (!best || score < bestScore) {
            best = b;
            bestScore = score;
        }
    }
    if (best) {
        m_current = best;
        best->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

void dUnit::focusInEvent(QFocusEvent *event)
{
    // The focus goes on to the button last moved to, which Space and Enter then press.
    QWidget::focusInEvent(event);
    if (m_current && m_current->isVisible())
        m_current->setFocus(event->reason());
}

bool dUnit::focusNextPrevChild(bool next)
{
    // From one of its buttons, Tab and Shift+Tab leave the panel: to the stop after (or before) the panel
    // itself, wherever its buttons stand in the focus chain.
    const QWidget *focused = QApplication::focusWidget();
    if (!focused || focused == this || !isAncestorOf(focused))
        return QWidget::focusNextPrevChild(next);
    const auto step = [next](QWidget *w) { return next ? w->nextInFocusChain() : w->previousInFocusChain(); };
    for (QWidget *w = step(this); w && w != this; w = step(w)) {
        if (!isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()
            && w->window() == window()) {
            w->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
    return false;
}

ctxPatchButton *dUnit::button(Child c) const
{
    return qobject_cast<ctxPatchButton *>(m_children[c]);
}

qint32 dUnit::colourOf(UnitState state)
{
    switch (state) {
    case UnitState::Answering: return Answered;
    case UnitState::Answered: return AnsweredEarlier;
    case UnitState::Stuck: return Stuck;
    case UnitState::Idle:
    case UnitState::Other: break;
    }
    return Idle;
}

void dUnit::drawState()
{
    setColour(m_shadow, QPalette::Window,
              m_model->state() == UnitState::Other ? m_otherColour : colourOf(m_model->state()));
}

void dUnit::drawChecked()
{
    setColour(m_lblName, QPalette::WindowText, m_model->isChecked() ? CheckedColour : UncheckedColour);
}

bool dUnit::isChecked() const
{
    return m_model->isChecked();
}
void dUnit::setChecked(bool checked)
{
    m_model->setChecked(checked);
}

QString dUnit::caption1() const
{
    return m_model->name();
}
void dUnit::setCaption1(const QString &text)
{
    m_model->setName(text);
}
QString dUnit::caption2() const
{
    return m_model->size();
}
void dUnit::setCaption2(const QString &text)
{
    m_model->setSize(text);
}
QString dUnit::caption3() const
{
    return m_model->countLine();
}
void dUnit::setCaption3(const QString &text)
{
    m_model->setCount(text);
}
QString dUnit::caption4() const
{
    return m_model->infoLine();
}
void dUnit::setCaption4(const QString &text)
{
    m_model->setInfo(text);
}

QString dUnit::Tag() const
{
    return m_model->uid();
}
void dUnit::setTag(const QString &tag)
{
    m_model->setUid(tag);
}

qint32 dUnit::State() const
{
    return m_model->state() == UnitState::Other ? m_otherColour : colourOf(m_model->state());
}

void dUnit::setState(qint32 c)
{
    for (const UnitState state : {UnitState::Idle, UnitState::Answering, UnitState::Answered, UnitState::Stuck}) {
        if (c == colourOf(state)) {
            m_model->setState(state);
            return;
        }
    }
    m_otherColour = c;
    if (m_model->state() == UnitState::Other)
        drawState();
    else
        m_model->setState(UnitState::Other);
}

QString dUnit::sizeLine() const
{
    // The UID is shown beside the size, so a wrong one can be spotted; the model's size line stays as set.
    const QString uid = m_model->uid();
    return uid.isEmpty() ? m_model->size() : tr("%1   UID %2").arg(m_model->size(), uid);
}

double dUnit::dpi() const
{
    return (logicalDpiX() > 0 ? logicalDpiX() : 96.0) * m_scale;
}

void dUnit::setScale(double scale)
{
    if (!(scale > 0) || scale == m_scale)
        return;
    // The panel keeps the place and size in twips it was given, and everything in it grows with them.
    m_scale = scale;
    for (QWidget *child : m_children) {
        if (auto *b = qobject_cast<ctxPatchButton *>(child))
            b->setScale(scale);
    }
    const Rect place = m_place;
    Move(place.left, place.top, place.width, place.height);
    layoutChildren();
}

void dUnit::Move(double left, double top, double width, double height)
{
    const double d = dpi();
    if (width < 0 || height < 0)
        return;
    m_place = {left, top, width, height};
    setGeometry(twips::toPixels(left, d), twips::toPixels(top, d), twips::toPixels(width, d),
                twips::toPixels(height, d));
    // A hidden widget gets its resize event only when shown; its children are placed now all the same.
    if (!isVisible())
        layoutChildren();
}

double dUnit::twipsWidth() const
{
    return twips::fromPixels(width(), dpi());
}
double dUnit::twipsHeight() const
{
    return twips::fromPixels(height(), dpi());
}

Rect dUnit::childRect(Child c) const
{
    const QRect g = m_children[c]->geometry();
    const double d = dpi();
    return {twips::fromPixels(g.x(), d), twips::fromPixels(g.y(), d), twips::fromPixels(g.width(), d),
            twips::fromPixels(g.height(), d)};
}

void dUnit::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void dUnit::layoutChildren()
{
    PixelTarget target(*this);
    unitlayout::apply(twipsWidth(), twipsHeight(), target);
    for (QLabel *label : {static_cast<QLabel *>(m_lblName), m_lblSize, m_lblCount, m_lblInfo})
        fitText(label, LinePoints * m_scale);
}
