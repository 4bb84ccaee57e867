#pragma once

#include <QPointer>
#include <QWidget>

// A clearly visible mark around the control that has the keyboard focus: a thick amber frame drawn over
// the canvas the controls stand on, following the focus, the layout and the scroll.
class FocusMark : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Thickness = 3; // pixels, outside the control

    explicit FocusMark(QWidget *canvas);

    // Places the mark around the control with the focus now (hidden when it is not on the canvas).
    void follow();
    // The control the mark is around, if any.
    QWidget *marked() const { return m_marked; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QWidget> m_marked;
};
