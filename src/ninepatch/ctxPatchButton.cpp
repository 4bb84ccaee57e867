#include "ctxPatchButton.h"

#include "OleColor.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

ctxPatchButton::ctxPatchButton(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

void ctxPatchButton::setCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

void ctxPatchButton::setStyle(int style)
{
    m_style = style;
    update();
}

void ctxPatchButton::setOpacity(double opacity)
{
    m_opacity = qBound(0.0, opacity, 1.0);
    update();
}

void ctxPatchButton::setAnimationDuration(double seconds)
{
    m_animationDuration = qMax(0.0, seconds);
}

void ctxPatchButton::setForeColor(qint32 colour)
{
    m_foreColor = colour;
    update();
}

QColor ctxPatchButton::faceColour() const
{
    // The centre colours of the flat faces the console's styles use.
    switch (m_style) {
    case 6: return {83, 130, 204};
    case 8: return {111, 184, 38};
    case 9: return {192, 30, 38};
    case 10: return {235, 193, 51};
    case 11: return {94, 173, 239};
    case 13: return {53, 58, 64};
    default: return {128, 128, 128};
    }
}

QImage ctxPatchButton::render() const
{
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QColor face = faceColour();
    if (m_pressed)
        face = face.darker(120);
    else if (m_hover)
        face = face.lighter(110);
    p.setOpacity(isEnabled() ? m_opacity : m_opacity * 0.65);
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.setOpacity(isEnabled() ? 1.0 : 0.5);
    p.setPen(olecolor::toColor(m_foreColor, palette()));
    p.setFont(font());
    p.drawText(rect().translated(0, m_pressed ? 1 : 0), Qt::AlignCenter, m_caption);
    return image;
}

void ctxPatchButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, render());
}

void ctxPatchButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    update();
}

void ctxPatchButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    m_pressed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit Click();
}

void ctxPatchButton::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ctxPatchButton::enterEvent(QEnterEvent *event)
{
    m_hover = true;
    update();
    QWidget::enterEvent(event);
}

void ctxPatchButton::leaveEvent(QEvent *event)
{
    m_hover = false;
    update();
    QWidget::leaveEvent(event);
}

void ctxPatchButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}
