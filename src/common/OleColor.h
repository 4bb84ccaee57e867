#pragma once

#include <QColor>
#include <QPalette>

// Colours are stored as the number red + 256 * green + 65536 * blue. Values from &H80000000 up name a
// system colour by its index in the low byte, resolved through the application palette.
namespace olecolor {

constexpr qint32 rgb(int r, int g, int b)
{
    return r + 256 * g + 65536 * b;
}

constexpr bool isSystemColor(qint32 ole)
{
    return (quint32(ole) & 0x80000000u) != 0;
}

// System colour indices that the console's controls use.
constexpr qint32 ButtonShadow = qint32(0x80000010u);
constexpr qint32 ButtonText = qint32(0x80000012u);

// The colour for a stored value; system colours come from the given palette (the application's when
// omitted). Unknown system indices give the palette's window text colour.
QColor toColor(qint32 ole, const QPalette &palette);
QColor toColor(qint32 ole);

// The stored value of a colour; alpha is dropped.
inline qint32 fromColor(const QColor &c)
{
    return rgb(c.red(), c.green(), c.blue());
}

} // namespace olecolor
