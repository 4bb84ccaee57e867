#include "ninepatch/ctxPatchButton.h"

#include "ninepatch/ButtonFace.h"
#include "ninepatch/ButtonStyles.h"
#include "ninepatch/HostEvents.h"
#include "ninepatch/cPatchImage.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace buttonface;
using namespace hostevents;

// ---------------------------------------------------------------------------------------------------------
// creation

ctxPatchButton::ctxPatchButton(QWidget *parent)
    : QWidget(parent)
{
    // Keyboard focus comes from Tab and from a press that lands on the visible face; a press on a
    // transparent part must not focus the button.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    installAccessibility();
    m_frameTimer = new QTimer(this);
    m_frameTimer->setSingleShot(true);
    m_frameTimer->setInterval(0);
    connect(m_frameTimer, &QTimer::timeout, this, &ctxPatchButton::TimerProc);
    pvPrepareFont(font(), m_captionFont);
    if (!isEnabled())
        m_state = StateDisabled;
}

ctxPatchButton::~ctxPatchButton() = default;

void ctxPatchButton::reportChange(const char *name)
{
    emit propertyChanged(QString::fromLatin1(name));
}

// ---------------------------------------------------------------------------------------------------------
// control-wide properties

void ctxPatchButton::setButtonStyle(int style)
{
    if (style == m_style)
        return;
    m_style = style;
    try {
        // A focus ring drawn from the old table would outlive the style it belongs to.
        m_focusLayer = QImage();
        buttonstyles::ControlLook look;
        if (buttonstyles::pvSetStyle(style, m_table, look)) {
            if (look.animationDuration)
                setAnimationDuration(*look.animationDuration);
            setForeColor(look.foreColor);
        }
    } catch (...) {}
    invalidate(Stale::Face);
    reportChange("Style");
}

bool ctxPatchButton::Enabled() const
{
    return !testAttribute(Qt::WA_ForceDisabled);
}

void ctxPatchButton::setEnabledState(bool enabled)
{
    if (enabled == Enabled())
        return;
    setEnabled(enabled); // the disabled bit follows in changeEvent
    reportChange("Enabled");
}

void ctxPatchButton::setOpacity(double opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    invalidate(Stale::Face);
    reportChange("Opacity");
}

void ctxPatchButton::setAnimationDuration(double seconds)
{
    m_animationDuration = seconds;
    reportChange("AnimationDuration");
}

void ctxPatchButton::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    updateAccessKey();
    invalidate(Stale::Face);
    reportChange("Caption");
}

void ctxPatchButton::setForeColor(qint32 colour)
{
    if (colour == m_foreColor)
        return;
    m_foreColor = colour;
    invalidate(Stale::Face);
    reportChange("ForeColor");
}

void ctxPatchButton::setManualFocus(bool manual)
{
    m_manualFocus = manual;
    reportChange("ManualFocus");
}

void ctxPatchButton::setPicture(const QVariant &picture)
{
    if (samePicture(picture, m_picture))
        return;
    m_picture = picture;
    preparePicture();
    invalidate(Stale::Face);
    reportChange("Picture");
}

void ctxPatchButton::setMaskColor(qint32 colour)
{
    if (colour == m_maskColor)
        return;
    m_maskColor = colour;
    preparePicture();
    invalidate(Stale::Face);
    reportChange("MaskColor");
}

void ctxPatchButton::setAutoRedraw(bool autoRedraw)
{
    if (autoRedraw == m_autoRedraw)
        return;
    m_autoRedraw = autoRedraw;
    invalidate(Stale::Face);
    reportChange("AutoRedraw");
}

void ctxPatchButton::setButtonState(qint32 state)
{
    try {
        if (const qint32 gone = m_state & ~state)
            pvState(gone, false);
        if (const qint32 added = state & ~m_state)
            pvState(added, true);
    } catch (...) {}
    reportChange("ButtonState");
}

void ctxPatchButton::setValue(bool value)
{
    if (!value)
        return;
    try {
        pvHandleClick();
    } catch (...) {}
}

bool ctxPatchButton::frameTimerActive() const
{
    return m_frameTimer->isActive();
}

// ---------------------------------------------------------------------------------------------------------
// per-state attributes

const ButtonStateAttributes *ctxPatchButton::entry(int eState, bool *ok) const
{
    const qint32 index = eState < 0 ? m_state : eState;
    const bool valid = index >= 0 && index < ButtonStateEntries;
    if (ok)
        *ok = valid;
    return valid ? &m_table[size_t(index)] : nullptr;
}

ButtonStateAttributes *ctxPatchButton::entry(int eState, bool *ok)
{
    return const_cast<ButtonStateAttributes *>(std::as_const(*this).entry(eState, ok));
}

bool ctxPatchButton::setButtonImageArray(const QByteArray &bytes, int eState)
{
    return setEntryImage(eState, [&bytes](ButtonStateAttributes &e, cPatchImage &image) {
        e.ImageArray = bytes;
        return image.LoadFromByteArray(bytes);
    });
}

QImage ctxPatchButton::ButtonImageBitmap(int eState, bool *ok) const
{
    const ButtonStateAttributes *e = entry(eState, ok);
    return e && e->Image ? e->Image->Bitmap() : QImage();
}

bool ctxPatchButton::setButtonImageBitmap(const QImage &image, int eState)
{
    return setEntryImage(
        eState, [&image](ButtonStateAttributes &, cPatchImage &patch) { return patch.LoadFromBitmap(image.copy()); });
}

bool ctxPatchButton::setEntryImage(int eState, const std::function<bool(ButtonStateAttributes &, cPatchImage &)> &load)
{
    ButtonStateAttributes *e = entry(eState, nullptr);
    if (!e)
        return false;
    try {
        auto image = std::make_shared<cPatchImage>();
        e->Image = load(*e, *image) ? image : nullptr;
    } catch (...) {
        e->Image = nullptr;
    }
    // The focus layer is drawn from entry 8 and otherwise survives until it is dropped.
    if (e == &m_table[8])
        m_focusLayer = QImage();
    invalidate(Stale::Face);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// states and animation

void ctxPatchButton::pvState(qint32 mask, bool set)
{
    const qint32 old = m_state;
    qint32 now = old;
    if (set) {
        if ((old & mask) != mask)
            now = old | mask;
    } else if (old & mask) {
        now = old & ~mask;
    }
    if (now == old)
        return;
    m_state = now;
    if (m_prepared)
        pvStartAnimation(m_animationDuration, faceOpacityFor(old), faceOpacityFor(now));
}

bool ctxPatchButton::pvStartAnimation(double duration, double opacityStart, double opacityEnd)
{
    try {
        QImage fresh;
        if (!buildFace(fresh))
            return false;
        m_previousFace = m_face;
        m_face = fresh;
        // A duration that is not a number of seconds would fade forever.
        const double seconds = std::isfinite(duration) ? duration : 0.0;
        m_animationStart = pvTimer();
        m_animationEnd = m_animationStart + seconds;
        m_opacityStart = opacityStart;
        m_opacityEnd = opacityEnd;
        return pvAnimateState(0.0, opacityStart, opacityEnd);
    } catch (...) {
        return false;
    }
}

bool ctxPatchButton::pvAnimateState(double elapsed, double opacityStart, double opacityEnd)
{
    try {
        double opacity = opacityEnd;
        m_progress = 1.0;
        const double total = m_animationEnd - m_animationStart;
        const double at = std::max(elapsed, 0.0);
        if (total > 0.000001 && at <= total) {
            opacity = opacityStart + (opacityEnd - opacityStart) * at / total;
            m_progress = at / total;
        }
        if (!pvPrepareAttribs(opacity)) {
            m_previousFace = QImage();
            return false;
        }
        Refresh();
        if (m_progress < 1.0)
            m_frameTimer->start(std::max(m_clock->frameIntervalMs(), 0));
        else
            m_frameTimer->stop(); // a frame still queued has nothing left to show
        return true;
    } catch (...) {
        return false;
    }
}

void ctxPatchButton::TimerProc()
{
    try {
        pvAnimateState(pvTimer() - m_animationStart, m_opacityStart, m_opacityEnd);
    } catch (...) {}
}

void ctxPatchButton::CancelMode()
{
    try {
        pvState(HoverAndPressed, false);
    } catch (...) {}
    m_downButton = 0;
}

// ---------------------------------------------------------------------------------------------------------
// input

bool ctxPatchButton::insideRect(double x, double y) const
{
    return x >= 0 && x < width() && y >= 0 && y < height();
}

int ctxPatchButton::pvHitTest(double x, double y) const
{
    if (m_face.isNull() || !std::isfinite(x) || !std::isfinite(y))
        return HitHit;
    const double rx = roundEven(x);
    const double ry = roundEven(y);
    if (rx < 0 || ry < 0 || rx >= m_face.width() || ry >= m_face.height())
        return HitHit;
    const int alpha = qAlpha(m_face.pixel(int(rx), int(ry)));
    return alpha == 255 ? HitHit : alpha == 0 ? HitOutside : HitTransparent;
}

bool ctxPatchButton::pvRegisterCancelMode()
{
    QPointer<ctxPatchButton> self(this);
    bool handled = false;
    emit RegisterCancelMode(this, handled);
    if (!self)
        return false;
    if (handled)
        return true;
    // A host that wants to end hovers itself offers a RegisterCancelMode method; most offer none.
    for (QWidget *host = parentWidget(); host; host = host->parentWidget()) {
        const QMetaObject *meta = host->metaObject();
        int index = meta->indexOfMethod("RegisterCancelMode(ctxPatchButton*)");
        if (index >= 0) {
            meta->method(index).invoke(host, Qt::DirectConnection, Q_ARG(ctxPatchButton *, this));
            break;
        }
        index = meta->indexOfMethod("RegisterCancelMode(QWidget*)");
        if (index >= 0) {
            meta->method(index).invoke(host, Qt::DirectConnection, Q_ARG(QWidget *, this));
            break;
        }
        index = meta->indexOfMethod("RegisterCancelMode(QObject*)");
        if (index >= 0) {
            meta->method(index).invoke(host, Qt::DirectConnection, Q_ARG(QObject *, this));
            break;
        }
    }
    return true;
}

void ctxPatchButton::pvHandleMouseDown(int button, int shift, double x, double y)
{
    QPointer<ctxPatchButton> self(this);
    int b = button;
    int s = shift;
    const QPointF at = toHostUnits(this, x, y);
    emit MouseDown(b, s, at.x(), at.y());
    if (!self)
        return;
    m_downButton = qint16(b);
    m_downShift = s;
    m_downX = x;
    m_downY = y;
    if (b != MouseLeft || pvHitTest(x, y) == HitOutside)
        return;
    pvRegisterCancelMode();
    if (!self)
        return;
    pvState(m_manualFocus ? StatePressed : StatePressed | StateFocused, true);
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
}

void ctxPatchButton::press()
{
    if (isEnabled())
        pvHandleClick();
}

void ctxPatchButton::pvHandleClick()
{
    pvState(StatePressed, true);
    pvState(StatePressed, false);
    repaint();
    emitAction(&ctxPatchButton::Click);
}

namespace {
ctxPatchButton::ActionFailed &actionFailed()
{
    static ctxPatchButton::ActionFailed handler;
    return handler;
}
} // namespace

void ctxPatchButton::setActionFailedHandler(ActionFailed handler)
{
    actionFailed() = std::move(handler);
}

void ctxPatchButton::emitAction(void (ctxPatchButton::*signal)())
{
    QString what;
    try {
        (this->*signal)();
        return;
    } catch (const std::exception &e) {
        what = QString::fromLocal8Bit(e.what());
    } catch (...) {
        what = QStringLiteral("unknown error");
    }
    if (actionFailed())
        actionFailed()(*this, what);
}

void ctxPatchButton::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    try {
        pvHandleMouseDown(hostButton(event->button()), hostShift(event->modifiers()), event->position().x(),
                          event->position().y());
    } catch (...) {}
}

void ctxPatchButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        mousePressEvent(event);
        return;
    }
    event->accept();
    try {
        QPointer<ctxPatchButton> self(this);
        pvHandleMouseDown(MouseLeft, m_downShift, m_downX, m_downY);
        if (self)
            emitAction(&ctxPatchButton::DblClick);
    } catch (...) {}
}

void ctxPatchButton::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    try {
        QPointer<ctxPatchButton> self(this);
        const double x = event->position().x();
        const double y = event->position().y();
        int b = hostButtons(event->buttons());
        int s = hostShift(event->modifiers());
        const QPointF at = toHostUnits(this, x, y);
        emit MouseMove(b, s, at.x(), at.y());
        if (!self || b == -1)
            return;
        if (insideRect(x, y)) {
            if (!(m_state & StateHover)) {
                pvRegisterCancelMode();
                if (!self)
                    return;
                pvState(StateHover, true);
            }
            pvState(StatePressed, (b & MouseLeft) != 0);
        } else {
            pvState(StatePressed, false);
        }
    } catch (...) {}
}

void ctxPatchButton::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    try {
        QPointer<ctxPatchButton> self(this);
        const double x = event->position().x();
        const double y = event->position().y();
        int b = hostButton(event->button());
        int s = hostShift(event->modifiers());
        const QPointF at = toHostUnits(this, x, y);
        emit MouseUp(b, s, at.x(), at.y());
        if (!self || b == -1)
            return;
        if (b & MouseLeft)
            pvState(StatePressed, false);
        const bool inside = insideRect(x, y);
        if (b != 0 && inside) {
            if (m_downButton & b & MouseLeft) {
                repaint();
                emitAction(&ctxPatchButton::Click);
            } else if (m_downButton & b & MouseRight) {
                emit ContextMenu();
            }
        }
        if (!inside && self)
            pvState(StateHover, false);
    } catch (...) {}
}

void ctxPatchButton::leaveEvent(QEvent *event)
{
    // No host of this console takes over ending hovers, so the button ends its own when the pointer
    // leaves it; with a button held the release decides.
    try {
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            pvState(StateHover, false);
    } catch (...) {}
    QWidget::leaveEvent(event);
}

void ctxPatchButton::keyPressEvent(QKeyEvent *event)
{
    try {
        QPointer<ctxPatchButton> self(this);
        emit KeyDown(hostKeyCode(event->key()), hostShift(event->modifiers()));
        if (!self)
            return;
        int ascii = characterCode(event);
        if (ascii == 0) {
            event->ignore();
            return;
        }
        emit KeyPress(ascii);
        if (!self)
            return;
        if (ascii == 13 || ascii == 32) {
            pvHandleClick();
            event->accept();
            return;
        }
        event->ignore();
    } catch (...) {}
}

void ctxPatchButton::keyReleaseEvent(QKeyEvent *event)
{
    try {
        emit KeyUp(hostKeyCode(event->key()), hostShift(event->modifiers()));
    } catch (...) {}
    event->ignore();
}

void ctxPatchButton::updateAccessKey()
{
    if (m_accessKeyId != 0)
        releaseShortcut(m_accessKeyId);
    m_accessKeyId = 0;
    const QKeySequence key = QKeySequence::mnemonic(m_caption);
    if (!key.isEmpty())
        m_accessKeyId = grabShortcut(key);
}

bool ctxPatchButton::event(QEvent *event)
{
    if (event->type() == QEvent::Shortcut) {
        auto *shortcut = static_cast<QShortcutEvent *>(event);
        if (m_accessKeyId != 0 && shortcut->shortcutId() == m_accessKeyId) {
            try {
                QPointer<ctxPatchButton> self(this);
                const QString keys = shortcut->key().toString(QKeySequence::PortableText);
                int ascii = keys.isEmpty() ? 0 : keys.back().unicode();
                emit AccessKeyPress(ascii);
                if (self && ascii != 0)
                    pvHandleClick();
            } catch (...) {}
            return true;
        }
    }
    return QWidget::event(event);
}

void ctxPatchButton::focusInEvent(QFocusEvent *event)
{
    try {
        if (!m_manualFocus)
            pvState(StateFocused, true);
    } catch (...) {}
    QWidget::focusInEvent(event);
}

void ctxPatchButton::focusOutEvent(QFocusEvent *event)
{
    try {
        if (!m_manualFocus)
            pvState(StateFocused, false);
    } catch (...) {}
    QWidget::focusOutEvent(event);
}

void ctxPatchButton::changeEvent(QEvent *event)
{
    try {
        switch (event->type()) {
        case QEvent::EnabledChange: pvState(StateDisabled, !isEnabled()); break;
        case QEvent::FontChange:
            pvPrepareFont(font(), m_captionFont);
            invalidate(Stale::Face);
            reportChange("Font");
            break;
        case QEvent::PaletteChange: {
            // System colours come from the palette: the caption and the picture's mask may have changed.
            preparePicture();
            invalidate(Stale::Face);
            break;
        }
        default: break;
        }
    } catch (...) {}
    QWidget::changeEvent(event);
}

void ctxPatchButton::resizeEvent(QResizeEvent *event)
{
    invalidate(Stale::Size);
    QWidget::resizeEvent(event);
}

void ctxPatchButton::hideEvent(QHideEvent *event)
{
    // Cancelling first: its own fade must not be left half done for when the button shows again.
    CancelMode();
    m_previousFace = QImage();
    m_frameTimer->stop();
    m_progress = 1.0;
    QWidget::hideEvent(event);
}
