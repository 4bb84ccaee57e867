#include "ninepatch/HostEvents.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QWidget>

namespace hostevents {

int hostButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return MouseLeft;
    case Qt::RightButton: return MouseRight;
    case Qt::MiddleButton: return MouseMiddle;
    default: return 0;
    }
}

int hostButtons(Qt::MouseButtons buttons)
{
    return (buttons & Qt::LeftButton ? MouseLeft : 0) | (buttons & Qt::RightButton ? MouseRight : 0)
        | (buttons & Qt::MiddleButton ? MouseMiddle : 0);
}

int hostShift(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? ShiftKey : 0) | (modifiers & Qt::ControlModifier ? CtrlKey : 0)
        | (modifiers & Qt::AltModifier ? AltKey : 0);
}

int hostKeyCode(int key)
{
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Clear: return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Print: return 42;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Help: return 47;
    case Qt::Key_Menu: return 93;
    case Qt::Key_NumLock: return 144;
    case Qt::Key_ScrollLock: return 145;
    default: return 0;
    }
}

int characterCode(const QKeyEvent *event)
{
    const QString text = event->text();
    if (!text.isEmpty())
        return text.at(0).unicode();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Space: return 32;
    default: return 0;
    }
}

int scaleModeFromName(const QString &name)
{
    static const char *const names[] = {"Twip", "Point", "Pixel", "Character", "Inch", "Millimeter", "Centimeter"};
    for (int i = 0; i < 7; ++i)
        if (name.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0)
            return i + 1;
    return ScaleTwip;
}

double fromPixels(double pixels, int mode, double dpi, double twipsPerCharacter)
{
    switch (mode) {
    case ScalePoint: return pixels * 72.0 / dpi;
    case ScalePixel: return pixels;
    case ScaleCharacter: return pixels * 1440.0 / dpi / twipsPerCharacter;
    case ScaleInch: return pixels / dpi;
    case ScaleMillimeter: return pixels * 25.4 / dpi;
    case ScaleCentimeter: return pixels * 2.54 / dpi;
    default: return pixels * 1440.0 / dpi;
    }
}

int hostScaleMode(const QWidget *control)
{
    for (const QWidget *w = control->parentWidget(); w; w = w->parentWidget()) {
        const QVariant units = w->property("ScaleUnits");
        if (units.isValid())
            return scaleModeFromName(units.toString());
    }
    return ScaleTwip;
}

QPointF toHostUnits(const QWidget *control, double x, double y)
{
    const int mode = hostScaleMode(control);
    const double dpiX = control->logicalDpiX() > 0 ? control->logicalDpiX() : 96.0;
    const double dpiY = control->logicalDpiY() > 0 ? control->logicalDpiY() : 96.0;
    return QPointF(fromPixels(x, mode, dpiX, 120.0), fromPixels(y, mode, dpiY, 240.0));
}

} // namespace hostevents
