#pragma once

#include "ninepatch/ButtonStateTable.h"

#include <QFont>
#include <QImage>
#include <QPalette>
#include <QSize>
#include <QString>
#include <QVariant>

#include <functional>

class QPainter;

// Building a button's face: functions of the per-state table, the control-wide look and a size, with no
// widget behind them. The face is straight (not premultiplied) ARGB, so two faces can be cross-faded
// byte by byte.
namespace buttonface {

constexpr qint32 HoverAndPressed = StateHover | StatePressed;

// How a caption is laid out for a set of text flags.
struct StringFormat
{
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool rightToLeft = false;
    bool vertical = false;
    bool noWrap = false;
    bool noClip = false;
};

// The control-wide values a face is built from.
struct Look
{
    QSize size;
    QString caption;
    QFont captionFont; // through pvPrepareFont
    QImage picture; // through pvPreparePicture; shown instead of the caption
    qint32 foreColor = 0;
    bool manualFocus = false;
    QPalette palette;
    // The face is drawn at size / scale and enlarged by it as a whole: corners, caption and picture.
    double scale = 1.0;
};

// Lets the host draw on a face being built; it may change the client rectangle and the caption.
using OwnerDraw = std::function<void(QPainter &painter, const QFont &font, int &clientLeft, int &clientTop,
                                     int &clientWidth, int &clientHeight, QString &caption)>;

// Whole pixels the way the drawing library rounds: to nearest, ties to even; 0 for what is no number.
double roundEven(double v);

// The entry that supplies the face for a state.
int pvResolveEntry(const ButtonStateTable &table, qint32 state);

// Builds the focus layer and the face for `eState` at `look.size`. The focus layer is reused when it
// exists, drawn from entry 8 when it does not, and dropped when the state has no focus. The caller's
// images are replaced only on success.
bool pvPrepareBitmap(const ButtonStateTable &table, qint32 eState, const Look &look, const OwnerDraw &ownerDraw,
                     QImage &focusLayer, QImage &face);

// Cross-fade in place, byte by byte: dst = (dst * dstWeight + src * srcWeight) / 255. Both are taken as
// 32-bit ARGB (not premultiplied); the parts outside the source stay as they are.
bool pvMergeBitmap(QImage &dst, const QImage &src, int dstWeight, int srcWeight);

// An OLE colour with an opacity as straight ARGB; system colours come from the palette.
QRgb pvTranslateColor(qint32 oleColour, double opacity, const QPalette &palette);
StringFormat pvPrepareStringFormat(qint32 flags);
// The font a face's caption is drawn with: the family (or the generic sans-serif one when no such family
// is installed), size in points, and the four attributes.
bool pvPrepareFont(const QFont &font, QFont &out);
// The picture as it is drawn, with the mask colour keyed out; null when there is none. Bitmaps
// (QImage, QPixmap) are opaque; icons keep their alpha; a QPicture is rendered at its own size.
bool pvPreparePicture(const QVariant &picture, qint32 maskColour, const QPalette &palette, QImage &out);
// Whether two Picture values hold the same picture, so setting it again changes nothing.
bool samePicture(const QVariant &a, const QVariant &b);

} // namespace buttonface
