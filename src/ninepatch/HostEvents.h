#pragma once

#include <QPointF>
#include <QString>
#include <Qt>

class QKeyEvent;
class QWidget;

// Qt's input as the button's host events carry it: mouse buttons, shift keys, key and character codes,
// drop effects, and positions in the host's scale units.
namespace hostevents {

enum MouseButtonBit : int { MouseLeft = 1, MouseRight = 2, MouseMiddle = 4 };
enum ShiftBit : int { ShiftKey = 1, CtrlKey = 2, AltKey = 4 };
enum ScaleMode : int {
    ScaleTwip = 1,
    ScalePoint = 2,
    ScalePixel = 3,
    ScaleCharacter = 4,
    ScaleInch = 5,
    ScaleMillimeter = 6,
    ScaleCentimeter = 7,
};

// The button that changed, as one bit; 0 for any other.
int hostButton(Qt::MouseButton button);
// The buttons held, as bits.
int hostButtons(Qt::MouseButtons buttons);
int hostShift(Qt::KeyboardModifiers modifiers);
// Key codes as the host's key events know them (letters and digits are their capital ASCII codes); 0 for
// a key they have no code for.
int hostKeyCode(int key);
// The character a key press types, as a character code; 0 when it types none.
int characterCode(const QKeyEvent *event);

// The scale mode a host names ("Twip", "Pixel", ... in any letter case); Twip for any other name.
int scaleModeFromName(const QString &name);
// A distance in pixels in a scale mode; a character is 120 twips wide and 240 high.
double fromPixels(double pixels, int mode, double dpi, double twipsPerCharacter);
// The scale mode of a control's host: the "ScaleUnits" dynamic property of the nearest ancestor that has
// one; Twip when none has.
int hostScaleMode(const QWidget *control);
// A position on a control, in pixels, in its host's scale units.
QPointF toHostUnits(const QWidget *control, double x, double y);

} // namespace hostevents
