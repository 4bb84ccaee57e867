#include "ctxPatchButton.h"

#include "AnimationClock.h"
#include "ButtonStyles.h"
#include "HostEvents.h"
#include "PropertyBag.h"
#include "StyleAtlas.h"
#include "cPatchImage.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMetaMethod>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPicture>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

using namespace hostevents;

namespace {

constexpr qint32 HoverAndPressed = ctxPatchButton::StateHover | ctxPatchButton::StatePressed;

// The colour the control shows when its face cannot be drawn (a pale yellow, &HE0FFFF).
constexpr qint32 FallbackFace = 0xE0FFFF;

// Whole pixels the way the drawing library rounds: to nearest, ties to even.
double roundEven(double v)
{
    return std::isfinite(v) ? std::nearbyint(v) : 0.0;
}

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}

double unitRange(double v)
{
    if (std::isnan(v))
        return 1.0;
    return std::clamp(v, 0.0, 1.0);
}

bool samePicture(const QVariant &a, const QVariant &b)
{
    if (a.metaType() != b.metaType())
        return false;
    if (!a.isValid())
        return true;
    switch (a.typeId()) {
    case QMetaType::QImage: return a.value<QImage>().cacheKey() == b.value<QImage>().cacheKey();
    case QMetaType::QPixmap: return a.value<QPixmap>().cacheKey() == b.value<QPixmap>().cacheKey();
    case QMetaType::QIcon: return a.value<QIcon>().cacheKey() == b.value<QIcon>().cacheKey();
    default: break;
    }
    if (a.metaType() == QMetaType::fromType<QPicture>()) {
        const QPicture pa = a.value<QPicture>();
        const QPicture pb = b.value<QPicture>();
        return pa.size() == pb.size() && std::memcmp(pa.data(), pb.data(), pa.size()) == 0;
    }
    return a == b;
}

// A picture with its own alpha keeps it; one without any (every alpha byte 0) is opaque art.
void keepOrFillAlpha(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0)
                return;
    }
    image = image.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// creation

ctxPatchButton::ctxPatchButton(QWidget *parent)
    : QWidget(parent)
    , m_clock(&AnimationClock::system())
{
    // Keyboard focus comes from Tab and from a press that lands on the visible face; a press on a
    // transparent part must not focus the button.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
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
    pvRefresh();
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
    pvRefresh();
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
    pvRefresh();
    reportChange("Caption");
}

void ctxPatchButton::setForeColor(qint32 colour)
{
    if (colour == m_foreColor)
        return;
    m_foreColor = colour;
    pvRefresh();
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
    QImage converted;
    m_pictureImage = pvPreparePicture(m_picture, m_maskColor, palette(), converted) ? converted : QImage();
    pvRefresh();
    reportChange("Picture");
}

void ctxPatchButton::setMaskColor(qint32 colour)
{
    if (colour == m_maskColor)
        return;
    m_maskColor = colour;
    QImage converted;
    m_pictureImage = pvPreparePicture(m_picture, m_maskColor, palette(), converted) ? converted : QImage();
    pvRefresh();
    reportChange("MaskColor");
}

void ctxPatchButton::setAutoRedraw(bool autoRedraw)
{
    if (autoRedraw == m_autoRedraw)
        return;
    m_autoRedraw = autoRedraw;
    pvRefresh();
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

void ctxPatchButton::setOLEDropMode(qint32 mode)
{
    m_oleDropMode = qint16(mode);
    setAcceptDrops(m_oleDropMode == 1);
    reportChange("OLEDropMode");
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

template<typename T>
T ctxPatchButton::readEntry(int eState, bool *ok, T ButtonStateAttributes::*field) const
{
    const ButtonStateAttributes *e = entry(eState, ok);
    return e ? e->*field : ButtonStateAttributes{}.*field;
}

template<typename T>
bool ctxPatchButton::writeEntry(int eState, const T &value, T ButtonStateAttributes::*field)
{
    ButtonStateAttributes *e = entry(eState, nullptr);
    if (!e)
        return false;
    if (!(e->*field == value)) {
        e->*field = value;
        pvRefresh();
    }
    return true;
}

void ctxPatchButton::entryImageChanged(const ButtonStateAttributes *changed)
{
    // The focus layer is drawn from entry 8 and otherwise survives until it is dropped.
    if (changed == &m_table[8])
        m_focusLayer = QImage();
    pvRefresh();
}

QByteArray ctxPatchButton::ButtonImageArray(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ImageArray);
}

bool ctxPatchButton::setButtonImageArray(const QByteArray &bytes, int eState)
{
    ButtonStateAttributes *e = entry(eState, nullptr);
    if (!e)
        return false;
    try {
        e->ImageArray = bytes;
        auto image = std::make_shared<cPatchImage>();
        e->Image = image->LoadFromByteArray(bytes) ? image : nullptr;
    } catch (...) {
        e->Image = nullptr;
    }
    entryImageChanged(e);
    return true;
}

QImage ctxPatchButton::ButtonImageBitmap(int eState, bool *ok) const
{
    const ButtonStateAttributes *e = entry(eState, ok);
    return e && e->Image ? e->Image->Bitmap() : QImage();
}

bool ctxPatchButton::setButtonImageBitmap(const QImage &image, int eState)
{
    ButtonStateAttributes *e = entry(eState, nullptr);
    if (!e)
        return false;
    try {
        auto patch = std::make_shared<cPatchImage>();
        e->Image = patch->LoadFromBitmap(image.copy()) ? patch : nullptr;
    } catch (...) {
        e->Image = nullptr;
    }
    entryImageChanged(e);
    return true;
}

double ctxPatchButton::ButtonImageOpacity(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ImageOpacity);
}
bool ctxPatchButton::setButtonImageOpacity(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::ImageOpacity);
}
double ctxPatchButton::ButtonImageZoom(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ImageZoom);
}
bool ctxPatchButton::setButtonImageZoom(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::ImageZoom);
}
std::optional<QFont> ctxPatchButton::ButtonTextFont(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::TextFont);
}
bool ctxPatchButton::setButtonTextFont(const std::optional<QFont> &font, int eState)
{
    return writeEntry(eState, font, &ButtonStateAttributes::TextFont);
}
qint32 ctxPatchButton::ButtonTextFlags(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::TextFlags);
}
bool ctxPatchButton::setButtonTextFlags(qint32 value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::TextFlags);
}
qint32 ctxPatchButton::ButtonTextColor(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::TextColor);
}
bool ctxPatchButton::setButtonTextColor(qint32 value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::TextColor);
}
double ctxPatchButton::ButtonTextOpacity(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::TextOpacity);
}
bool ctxPatchButton::setButtonTextOpacity(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::TextOpacity);
}
double ctxPatchButton::ButtonTextOffsetX(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::TextOffsetX);
}
bool ctxPatchButton::setButtonTextOffsetX(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::TextOffsetX);
}
double ctxPatchButton::ButtonTextOffsetY(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::TextOffsetY);
}
bool ctxPatchButton::setButtonTextOffsetY(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::TextOffsetY);
}
qint32 ctxPatchButton::ButtonShadowColor(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ShadowColor);
}
bool ctxPatchButton::setButtonShadowColor(qint32 value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::ShadowColor);
}
double ctxPatchButton::ButtonShadowOpacity(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ShadowOpacity);
}
bool ctxPatchButton::setButtonShadowOpacity(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::ShadowOpacity);
}
double ctxPatchButton::ButtonShadowOffsetX(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ShadowOffsetX);
}
bool ctxPatchButton::setButtonShadowOffsetX(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::ShadowOffsetX);
}
double ctxPatchButton::ButtonShadowOffsetY(int eState, bool *ok) const
{
    return readEntry(eState, ok, &ButtonStateAttributes::ShadowOffsetY);
}
bool ctxPatchButton::setButtonShadowOffsetY(double value, int eState)
{
    return writeEntry(eState, value, &ButtonStateAttributes::ShadowOffsetY);
}

int ctxPatchButton::pvResolveEntry(const ButtonStateTable &table, qint32 state)
{
    // Bits beyond the four known ones name no entry; such a state falls back like a missing image.
    const auto hasImage = [&table](qint32 index) {
        return index >= 0 && index < ButtonStateEntries && table[size_t(index)].Image != nullptr;
    };
    if ((state & StateDisabled) && hasImage(4))
        return 4;
    qint32 t = state & ~StateFocused;
    if (!hasImage(t))
        t &= ~StateHover;
    if (!hasImage(t))
        t &= ~StatePressed;
    return hasImage(t) ? int(t) : 0;
}

double ctxPatchButton::faceOpacityFor(qint32 state) const
{
    return m_opacity * m_table[size_t(pvResolveEntry(m_table, state))].ImageOpacity;
}

// ---------------------------------------------------------------------------------------------------------
// persistence

void ctxPatchButton::InitProperties()
{
    try {
        setButtonStyle(0);
        setEnabledState(true);
        setOpacity(1.0);
        setAnimationDuration(0.0);
        setCaption(objectName());
        setFont(QFont()); // the host's font
        setForeColor(DefaultForeColor);
        setManualFocus(false);
        setMaskColor(DefaultMaskColor);
        setAutoRedraw(false);
    } catch (...) {}
}

void ctxPatchButton::ReadProperties(const PropertyBag &bag)
{
    try {
        setButtonStyle(bag.ReadProperty(QStringLiteral("Style"), 0).toInt());
        setEnabledState(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool());
        setOpacity(bag.ReadProperty(QStringLiteral("Opacity"), 1.0).toDouble());
        setAnimationDuration(bag.ReadProperty(QStringLiteral("AnimationDuration"), 0.0).toDouble());
        setCaption(bag.ReadProperty(QStringLiteral("Caption"), QString()).toString());
        const QVariant storedFont = bag.ReadProperty(QStringLiteral("Font"), QFont());
        // Without a stored font the button keeps following its host's font.
        setFont(bag.contains(QStringLiteral("Font")) ? storedFont.value<QFont>() : QFont());
        setForeColor(bag.ReadProperty(QStringLiteral("ForeColor"), DefaultForeColor).toInt());
        setManualFocus(bag.ReadProperty(QStringLiteral("ManualFocus"), false).toBool());
        setMaskColor(bag.ReadProperty(QStringLiteral("MaskColor"), DefaultMaskColor).toInt());
        setAutoRedraw(bag.ReadProperty(QStringLiteral("AutoRedraw"), false).toBool());
    } catch (...) {}
}

void ctxPatchButton::WriteProperties(PropertyBag &bag) const
{
    try {
        const QFont ambient = parentWidget() ? parentWidget()->font() : QApplication::font();
        bag.WriteProperty(QStringLiteral("Style"), m_style, 0);
        bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
        bag.WriteProperty(QStringLiteral("Opacity"), m_opacity, 1.0);
        bag.WriteProperty(QStringLiteral("AnimationDuration"), m_animationDuration, 0.0);
        bag.WriteProperty(QStringLiteral("Caption"), m_caption, QString());
        bag.WriteProperty(QStringLiteral("Font"), font(), ambient);
        bag.WriteProperty(QStringLiteral("ForeColor"), m_foreColor, DefaultForeColor);
        bag.WriteProperty(QStringLiteral("ManualFocus"), m_manualFocus, false);
        bag.WriteProperty(QStringLiteral("MaskColor"), m_maskColor, DefaultMaskColor);
        bag.WriteProperty(QStringLiteral("AutoRedraw"), m_autoRedraw, false);
    } catch (...) {}
}

// ---------------------------------------------------------------------------------------------------------
// converting fonts, colours, text flags and pictures

bool ctxPatchButton::pvPrepareFont(const QFont &font, QFont &out)
{
    try {
        QFont made;
        const QString family = font.family();
        if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
            made = QFont(family);
        } else {
            made = QFont(QStringLiteral("Sans Serif"));
            made.setStyleHint(QFont::SansSerif);
        }
        double points = font.pointSizeF();
        if (points <= 0)
            points = font.pixelSize() * 72.0 / 96.0;
        if (!(points > 0))
            return false;
        made.setPointSizeF(points);
        made.setBold(font.bold());
        made.setItalic(font.italic());
        made.setUnderline(font.underline());
        made.setStrikeOut(font.strikeOut());
        out = made;
        return true;
    } catch (...) {
        return false;
    }
}

ctxPatchButton::StringFormat ctxPatchButton::pvPrepareStringFormat(qint32 flags)
{
    StringFormat f;
    switch (flags & 3) {
    case 1: f.alignment = Qt::AlignHCenter; break;
    case 2: f.alignment = Qt::AlignRight; break;
    default: f.alignment = Qt::AlignLeft; break;
    }
    switch ((flags / 4) & 3) {
    case 1: f.alignment |= Qt::AlignVCenter; break;
    case 2: f.alignment |= Qt::AlignBottom; break;
    default: f.alignment |= Qt::AlignTop; break;
    }
    // The layout flags the text drawing understands: right to left, vertical, no wrapping, no clipping.
    const qint32 formatFlags = flags / 16;
    f.rightToLeft = formatFlags & 0x0001;
    f.vertical = formatFlags & 0x0002;
    f.noWrap = formatFlags & 0x1000;
    f.noClip = formatFlags & 0x4000;
    return f;
}

QRgb ctxPatchButton::pvTranslateColor(qint32 oleColour, double opacity, const QPalette &palette)
{
    const QColor c = olecolor::toColor(oleColour, palette);
    const double scaled = std::isnan(opacity) ? 0.0 : std::clamp(opacity * 255.0, 0.0, 255.0);
    return qRgba(c.red(), c.green(), c.blue(), int(std::nearbyint(scaled)));
}

bool ctxPatchButton::pvPreparePicture(const QVariant &picture, qint32 maskColour, const QPalette &palette, QImage &out)
{
    try {
        QImage image;
        if (picture.typeId() == QMetaType::QImage || picture.typeId() == QMetaType::QPixmap) {
            // A bitmap carries no alpha: its transparency is the mask colour's job.
            const QImage bitmap =
                picture.typeId() == QMetaType::QImage ? picture.value<QImage>() : picture.value<QPixmap>().toImage();
            if (!bitmap.isNull())
                image = bitmap.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
        } else if (picture.typeId() == QMetaType::QIcon) {
            const QIcon icon = picture.value<QIcon>();
            // The largest size the icon holds; an icon that names none is drawn at the usual 32 x 32.
            QSize size;
            const QList<QSize> sizes = icon.availableSizes();
            for (const QSize &s : sizes)
                if (!size.isValid() || qint64(s.width()) * s.height() > qint64(size.width()) * size.height())
                    size = s;
            if (!size.isValid() || size.isEmpty())
                size = QSize(32, 32);
            if (!icon.isNull()) {
                image = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
                keepOrFillAlpha(image);
            }
        } else if (picture.metaType() == QMetaType::fromType<QPicture>()) {
            const QPicture metafile = picture.value<QPicture>();
            const QRect bounds = metafile.boundingRect();
            if (!bounds.isEmpty() && bounds.width() <= 8192 && bounds.height() <= 8192) {
                QImage section(bounds.size(), QImage::Format_ARGB32_Premultiplied);
                if (!section.isNull()) {
                    section.fill(0);
                    QPainter p(&section);
                    p.drawPicture(-bounds.topLeft(), metafile);
                    p.end();
                    image = section.convertToFormat(QImage::Format_ARGB32);
                    keepOrFillAlpha(image);
                }
            }
        }
        if (!image.isNull() && maskColour != -1) {
            const QRgb key = olecolor::toColor(maskColour, palette).rgb() | 0xFF000000u;
            for (int y = 0; y < image.height(); ++y) {
                auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    if (row[x] == key)
                        row[x] = 0;
            }
        }
        out = image;
        return true;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------------------------------------
// painting

bool ctxPatchButton::pvCreateDib(int width, int height, QImage &dib)
{
    if (width <= 0 || height <= 0)
        return false;
    QImage made(width, height, QImage::Format_ARGB32_Premultiplied);
    if (made.isNull())
        return false;
    made.fill(0);
    dib = made;
    return true;
}

bool ctxPatchButton::pvPrepareAttribs(double opacity)
{
    if (!std::isfinite(opacity))
        return false;
    m_faceOpacity = opacity;
    return true;
}

void ctxPatchButton::drawCaption(QPainter &painter, const QString &caption, const QFont &font, QRgb colour,
                                 const QRectF &rect, const StringFormat &format) const
{
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor::fromRgba(colour));
    if (format.rightToLeft)
        painter.setLayoutDirection(Qt::RightToLeft);
    QRectF box = rect;
    if (format.vertical) {
        // Lines run top to bottom: lay them out in a box turned a quarter clockwise.
        painter.translate(rect.right(), rect.top());
        painter.rotate(90);
        box = QRectF(0, 0, rect.height(), rect.width());
    }
    int flags = int(format.alignment);
    if (!format.noWrap)
        flags |= Qt::TextWordWrap;
    if (format.noClip)
        flags |= Qt::TextDontClip;
    painter.drawText(box, flags, caption);
    painter.restore();
}

bool ctxPatchButton::pvPrepareBitmap(qint32 eState, QImage &focusLayer, QImage &face)
{
    try {
        const int w = width();
        const int h = height();
        if (w <= 0 || h <= 0)
            return false;

        QImage focus = focusLayer;
        if (eState & StateFocused) {
            if ((eState & HoverAndPressed) == HoverAndPressed && !m_manualFocus) {
                focus = QImage();
            } else if (focus.isNull() && m_table[8].Image) {
                focus = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
                if (focus.isNull())
                    return false;
                focus.fill(0);
                QPainter fp(&focus);
                m_table[8].Image->DrawToGraphics(&fp, 0, 0, w, h);
            }
        } else {
            focus = QImage();
        }

        const ButtonStateAttributes &e = m_table[size_t(pvResolveEntry(m_table, eState))];
        QFont captionFont = m_captionFont;
        if (e.TextFont && !pvPrepareFont(*e.TextFont, captionFont))
            captionFont = m_captionFont;

        // Straight ARGB, so cross-fades can mix the bytes of two faces directly.
        QImage made(w, h, QImage::Format_ARGB32);
        if (made.isNull())
            return false;
        made.fill(0);
        QPainter p(&made);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);

        const double zoom = e.ImageZoom;
        if (zoom != 1.0 && std::isfinite(zoom)) {
            p.setTransform(QTransform::fromTranslate(-w / 2.0, -h / 2.0) * QTransform::fromScale(zoom, zoom)
                           * QTransform::fromTranslate(w / 2.0, h / 2.0));
        }

        int clientLeft = 0;
        int clientTop = 0;
        int clientWidth = w;
        int clientHeight = h;
        if (e.Image) {
            e.Image->DrawToGraphics(&p, 0, 0, w, h);
            e.Image->CalcClientRect(w, h, clientLeft, clientTop, clientWidth, clientHeight);
        }

        QString caption = m_caption;
        emit OwnerDraw(&p, captionFont, eState, clientLeft, clientTop, clientWidth, clientHeight, caption,
                       m_pictureImage);

        if (clientWidth >= 1 && clientHeight >= 1) {
            if (!m_pictureImage.isNull()) {
                const double x = clientLeft + (clientWidth - m_pictureImage.width()) / 2.0;
                const double y = clientTop + (clientHeight - m_pictureImage.height()) / 2.0;
                p.drawImage(QPointF(roundEven(x), roundEven(y)), m_pictureImage);
            } else {
                // The caption ends at its first zero character, as text handed on by length-less strings does.
                const qsizetype end = caption.indexOf(QChar(0));
                if (end >= 0)
                    caption.truncate(end);
                if (!caption.isEmpty()) {
                    const qint32 colour = e.TextColor == -1 ? m_foreColor : e.TextColor;
                    const StringFormat format = pvPrepareStringFormat(e.TextFlags);
                    QRectF layout(clientLeft, clientTop, clientWidth, clientHeight);
                    if ((eState & HoverAndPressed) == HoverAndPressed)
                        layout.translate(roundEven(e.TextOffsetX), roundEven(e.TextOffsetY));
                    if (!(e.ShadowOffsetX == 0 && e.ShadowOffsetY == 0 && e.Image)) {
                        drawCaption(
                            p, caption, captionFont, pvTranslateColor(e.ShadowColor, e.ShadowOpacity, palette()),
                            layout.translated(finiteOr(e.ShadowOffsetX, 0), finiteOr(e.ShadowOffsetY, 0)), format);
                    }
                    drawCaption(p, caption, captionFont, pvTranslateColor(colour, e.TextOpacity, palette()), layout,
                                format);
                }
            }
        }
        p.end();
        focusLayer = focus;
        face = made;
        return true;
    } catch (...) {
        return false;
    }
}

bool ctxPatchButton::pvMergeBitmap(QImage &dst, const QImage &src, int dstWeight, int srcWeight)
{
    try {
        if (dst.isNull() || src.isNull())
            return false;
        if (dst.format() != QImage::Format_ARGB32)
            dst = dst.convertToFormat(QImage::Format_ARGB32);
        const QImage source = src.format() == QImage::Format_ARGB32 ? src : src.convertToFormat(QImage::Format_ARGB32);
        if (dst.isNull() || source.isNull())
            return false;
        const qsizetype dstStride = dst.bytesPerLine();
        const qsizetype srcStride = source.bytesPerLine();
        const qsizetype columns = std::min(dstStride, srcStride);
        const int rows = std::min(dst.height(), source.height());
        if (dstWeight >= 0 && srcWeight >= 0 && dstWeight + srcWeight <= 255) {
            // Every fade frame comes this way: no result can leave 0..255, so the loop needs no clamp
            // and the compiler can run it over many bytes at once.
            const quint32 dw = quint32(dstWeight);
            const quint32 sw = quint32(srcWeight);
            for (int row = 0; row < rows; ++row) {
                uchar *d = dst.scanLine(row);
                const uchar *s = source.constScanLine(row);
                for (qsizetype c = 0; c < columns; ++c)
                    d[c] = uchar((d[c] * dw + s[c] * sw) / 255u);
            }
            return true;
        }
        const qint64 dw = dstWeight;
        const qint64 sw = srcWeight;
        for (int row = 0; row < rows; ++row) {
            uchar *d = dst.scanLine(row);
            const uchar *s = source.constScanLine(row);
            for (qsizetype c = 0; c < columns; ++c) {
                const qint64 v = (qint64(d[c]) * dw + qint64(s[c]) * sw) / 255;
                d[c] = uchar(std::clamp<qint64>(v, 0, 255));
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool ctxPatchButton::pvPaintControl(QPainter &painter)
{
    try {
        // A hidden button is resized without a resize event; its layers are then of the old size.
        if (!m_face.isNull() && m_face.size() != size())
            sizeChanged();
        if (!m_prepared) {
            m_prepared = true;
            pvPrepareBitmap(m_state, m_focusLayer, m_face);
            pvPrepareAttribs(faceOpacityFor(m_state));
        }
        if (m_face.isNull())
            return false;

        const QImage *shown = &m_face;
        if (!m_previousFace.isNull()) {
            const int a = int(std::floor(m_progress * 255.0 + 0.5));
            if (a < 255) {
                if (m_blend.size() == m_previousFace.size() && m_blend.format() == m_previousFace.format()
                    && m_blend.bytesPerLine() == m_previousFace.bytesPerLine()) {
                    std::memcpy(m_blend.bits(), m_previousFace.constBits(), size_t(m_previousFace.sizeInBytes()));
                } else {
                    m_blend = m_previousFace.copy();
                }
                if (a > 0)
                    pvMergeBitmap(m_blend, m_face, 255 - a, a);
                shown = &m_blend;
            }
        }

        const QRect whole(0, 0, width(), height());
        painter.save();
        painter.setOpacity(1.0);
        if (!m_focusLayer.isNull())
            painter.drawImage(whole, m_focusLayer);
        painter.setOpacity(unitRange(m_faceOpacity));
        painter.drawImage(whole, *shown);
        painter.restore();
        return true;
    } catch (...) {
        return false;
    }
}

bool ctxPatchButton::paintTo(QPainter &painter)
{
    bool ok = false;
    try {
        if (!m_face.isNull() && m_face.size() != size())
            sizeChanged();
        if (m_autoRedraw) {
            if (m_cache.isNull()) {
                QImage dib;
                if (pvCreateDib(width(), height(), dib)) {
                    QPainter dp(&dib);
                    ok = pvPaintControl(dp);
                    dp.end();
                    if (ok)
                        m_cache = dib;
                }
            } else {
                ok = true;
            }
            if (ok)
                painter.drawImage(0, 0, m_cache);
        } else {
            ok = pvPaintControl(painter);
        }
    } catch (...) {
        ok = false;
    }
    if (!ok) {
        // What stands in for the button when its face cannot be drawn.
        m_cache = QImage();
        painter.save();
        painter.setOpacity(1.0);
        painter.resetTransform();
        painter.fillRect(rect(), olecolor::toColor(FallbackFace));
        if (width() > 5 && height() > 5) {
            painter.setPen(olecolor::toColor(olecolor::ButtonShadow, palette()));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(2, 2, width() - 6, height() - 6);
        }
        painter.restore();
    }
    return ok;
}

void ctxPatchButton::paintEvent(QPaintEvent *)
{
    try {
        QPainter painter(this);
        paintTo(painter);
    } catch (...) {}
}

QImage ctxPatchButton::render() const
{
    QImage out(size(), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    out.fill(0);
    QPainter painter(&out);
    // Composing the face on demand only fills the painting caches.
    const_cast<ctxPatchButton *>(this)->paintTo(painter);
    painter.end();
    return out;
}

void ctxPatchButton::pvRefresh()
{
    m_prepared = false;
    m_cache = QImage();
    update();
}

void ctxPatchButton::Refresh()
{
    try {
        m_cache = QImage();
        bool ok = true;
        if (m_autoRedraw) {
            QImage dib;
            ok = pvCreateDib(width(), height(), dib);
            if (ok) {
                QPainter dp(&dib);
                ok = pvPaintControl(dp);
                dp.end();
            }
            if (ok)
                m_cache = dib;
        }
        if (ok)
            update();
    } catch (...) {}
}

void ctxPatchButton::Repaint()
{
    try {
        if (m_prepared) {
            pvPrepareBitmap(m_state, m_focusLayer, m_face);
            pvPrepareAttribs(faceOpacityFor(m_state));
        }
        Refresh();
    } catch (...) {}
}

// ---------------------------------------------------------------------------------------------------------
// states and animation

void ctxPatchButton::setAnimationClock(const AnimationClock *clock)
{
    m_clock = clock ? clock : &AnimationClock::system();
}

double ctxPatchButton::pvTimer() const
{
    return m_clock->monotonicSeconds();
}

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
        if (!pvPrepareBitmap(m_state, m_focusLayer, fresh))
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

int ctxPatchButton::hostScaleMode() const
{
    for (const QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        const QVariant units = w->property("ScaleUnits");
        if (units.isValid())
            return scaleModeFromName(units.toString());
    }
    return ScaleTwip;
}

double ctxPatchButton::toHostX(double pixels) const
{
    const double dpi = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
    return fromPixels(pixels, hostScaleMode(), dpi, 120.0);
}

double ctxPatchButton::toHostY(double pixels) const
{
    const double dpi = logicalDpiY() > 0 ? logicalDpiY() : 96.0;
    return fromPixels(pixels, hostScaleMode(), dpi, 240.0);
}

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
    emit MouseDown(b, s, toHostX(x), toHostY(y));
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

void ctxPatchButton::pvHandleClick()
{
    pvState(StatePressed, true);
    pvState(StatePressed, false);
    repaint();
    emit Click();
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
            emit DblClick();
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
        emit MouseMove(b, s, toHostX(x), toHostY(y));
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
        emit MouseUp(b, s, toHostX(x), toHostY(y));
        if (!self || b == -1)
            return;
        if (b & MouseLeft)
            pvState(StatePressed, false);
        const bool inside = insideRect(x, y);
        if (b != 0 && inside) {
            if (m_downButton & b & MouseLeft) {
                repaint();
                emit Click();
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
            pvRefresh();
            reportChange("Font");
            break;
        case QEvent::PaletteChange: {
            // System colours come from the palette: the caption and the picture's mask may have changed.
            QImage converted;
            m_pictureImage = pvPreparePicture(m_picture, m_maskColor, palette(), converted) ? converted : QImage();
            pvRefresh();
            break;
        }
        default: break;
        }
    } catch (...) {}
    QWidget::changeEvent(event);
}

void ctxPatchButton::sizeChanged()
{
    // Every layer is built at the control's size: a fade between two sizes has nothing to show.
    m_focusLayer = QImage();
    m_previousFace = QImage();
    m_frameTimer->stop();
    m_progress = 1.0;
    pvRefresh();
}

void ctxPatchButton::resizeEvent(QResizeEvent *event)
{
    sizeChanged();
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

void ctxPatchButton::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void ctxPatchButton::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_oleDropMode != 1) {
        event->ignore();
        return;
    }
    try {
        int effect = hostEffects(event->possibleActions());
        int b = hostButtons(event->buttons());
        int s = hostShift(event->modifiers());
        int state = event->type() == QEvent::DragEnter ? 0 : 2; // entering, over
        emit OLEDragOver(event->mimeData(), effect, b, s, toHostX(event->position().x()),
                         toHostY(event->position().y()), state);
        applyDropEffect(event, effect);
    } catch (...) {
        event->ignore();
    }
}

void ctxPatchButton::dropEvent(QDropEvent *event)
{
    if (m_oleDropMode != 1) {
        event->ignore();
        return;
    }
    try {
        int effect = hostEffects(event->possibleActions());
        int b = hostButtons(event->buttons());
        int s = hostShift(event->modifiers());
        emit OLEDragDrop(event->mimeData(), effect, b, s, toHostX(event->position().x()),
                         toHostY(event->position().y()));
        applyDropEffect(event, effect);
    } catch (...) {
        event->ignore();
    }
}
