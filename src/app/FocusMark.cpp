#include "app/FocusMark.h"

#include <QApplication>
#include <QPainter>
#include <QPen>

FocusMark::FocusMark(QWidget *canvas)
    : QWidget(canvas)
{
    setObjectName(QStringLiteral("focusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this, &FocusMark::follow);
}

void FocusMark::follow()
{
    QWidget *canvas = parentWidget();
    QWidget *focused = QApplication::focusWidget();
    if (!focused || focused == this || !canvas->isAncestorOf(focused) || !focused->isVisible()) {
        m_marked = nullptr;
        hide();
        return;
    }
    m_marked = focused;
    const QRect around(focused->mapTo(canvas, QPoint(0, 0)), focused->size());
    setGeometry(around.adjusted(-Thickness, -Thickness, Thickness, Thickness));
    raise();
    show();
    update();
}

void FocusMark::paintEvent(QPaintEvent *)
{
    // Solid amber: it stands out on every face and on the window's dark background.
    QPainter painter(this);
    painter.setPen(QPen(QColor(255, 191, 0), Thickness));
    painter.setBrush(Qt::NoBrush);
    const double half = Thickness / 2.0;
    painter.drawRect(QRectF(rect()).adjusted(half, half, -half, -half));
}
