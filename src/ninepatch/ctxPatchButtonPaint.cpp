// The painting of ctxPatchButton. It goes through three steps: invalidate forgets what no longer matches
// the button, compose builds what is missing, present puts the result on a painter.

#include "ninepatch/ctxPatchButton.h"

#include "common/OleColor.h"
#include "ninepatch/ButtonFace.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace buttonface;

namespace {

// The colour the control shows when its face cannot be drawn (a pale yellow, &HE0FFFF).
constexpr qint32 FallbackFace = 0xE0FFFF;

double unitRange(double v)
{
    if (std::isnan(v))
        return 1.0;
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

void ctxPatchButton::invalidate(Stale what)
{
    // Frame: only the control composed for AutoRedraw (Refresh composes it again itself). Face: something
    // that alters the look changed, so the face is built again at the next paint. Size: every layer is
    // built at the control's size, so a fade between two sizes has nothing to show either.
    if (what == Stale::Size) {
        m_focusLayer = QImage();
        m_previousFace = QImage();
        m_frameTimer->stop();
        m_progress = 1.0;
    }
    m_cache = QImage();
    if (what != Stale::Frame) {
        m_prepared = false;
        update();
    }
}

bool ctxPatchButton::compose()
{
    // Brings up to date what present() draws: the face of the current state when it was invalidated, the
    // cross-fade of the moment and, with AutoRedraw, the whole control in one image. False when there is
    // no face to show. A hidden button is resized without a resize event: its layers are of the old size.
    if (!m_face.isNull() && m_face.size() != size())
        invalidate(Stale::Size);
    if (m_autoRedraw && !m_cache.isNull())
        return true;
    if (!m_prepared) {
        m_prepared = true;
        buildFace(m_face);
        pvPrepareAttribs(faceOpacityFor(m_state));
    }
    if (m_face.isNull())
        return false;
    m_showBlend = false;
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
            m_showBlend = true;
        }
    }
    if (m_autoRedraw) {
        QImage frame(size(), QImage::Format_ARGB32_Premultiplied);
        if (frame.isNull())
            return false;
        frame.fill(0);
        QPainter painter(&frame);
        drawLayers(painter);
        painter.end();
        m_cache = frame;
    }
    return true;
}

void ctxPatchButton::drawLayers(QPainter &painter) const
{
    // The focus layer is always opaque; only the face takes the opacity.
    const QRect whole(0, 0, width(), height());
    painter.save();
    painter.setOpacity(1.0);
    if (!m_focusLayer.isNull())
        painter.drawImage(whole, m_focusLayer);
    painter.setOpacity(unitRange(m_faceOpacity));
    painter.drawImage(whole, m_showBlend ? m_blend : m_face);
    painter.restore();
}

void ctxPatchButton::present(QPainter &painter)
{
    // Puts the composed control on the painter, or what stands in for it when it cannot be composed.
    bool ok = false;
    try {
        ok = compose();
        if (ok && m_autoRedraw)
            painter.drawImage(0, 0, m_cache);
        else if (ok)
            drawLayers(painter);
    } catch (...) {
        ok = false;
    }
    if (ok)
        return;
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

bool ctxPatchButton::pvPrepareAttribs(double opacity)
{
    if (!std::isfinite(opacity))
        return false;
    m_faceOpacity = opacity;
    return true;
}

void ctxPatchButton::paintEvent(QPaintEvent *)
{
    try {
        QPainter painter(this);
        present(painter);
    } catch (...) {}
}

QImage ctxPatchButton::render() const
{
    QImage out(size(), QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    out.fill(0);
    QPainter painter(&out);
    // Composing on demand only fills the painting caches.
    const_cast<ctxPatchButton *>(this)->present(painter);
    painter.end();
    return out;
}

void ctxPatchButton::Refresh()
{
    try {
        invalidate(Stale::Frame);
        if (!m_autoRedraw || compose())
            update();
    } catch (...) {}
}

void ctxPatchButton::Repaint()
{
    try {
        if (m_prepared) { // built again at once, without a fade
            invalidate(Stale::Face);
            compose();
        }
        Refresh();
    } catch (...) {}
}

bool ctxPatchButton::buildFace(QImage &face)
{
    const Look look{size(), m_caption, m_captionFont, m_pictureImage, m_foreColor, m_manualFocus, palette(), m_scale};
    const qint32 state = m_state;
    return pvPrepareBitmap(
        m_table, state, look,
        [this, state](QPainter &p, const QFont &font, int &left, int &top, int &width, int &height, QString &caption) {
            emit OwnerDraw(&p, font, state, left, top, width, height, caption, m_pictureImage);
        },
        m_focusLayer, face);
}

void ctxPatchButton::setScale(double scale)
{
    if (!std::isfinite(scale) || scale <= 0 || scale == m_scale)
        return;
    m_scale = scale;
    invalidate(Stale::Size);
}

void ctxPatchButton::preparePicture()
{
    QImage converted;
    m_pictureImage = pvPreparePicture(m_picture, m_maskColor, palette(), converted) ? converted : QImage();
}

double ctxPatchButton::faceOpacityFor(qint32 state) const
{
    return m_opacity * m_table[size_t(pvResolveEntry(m_table, state))].ImageOpacity;
}
