#pragma once

#include <QtMath>

// Window geometry is kept in twips (1440 to the inch) and converted at the widget boundary with the
// window's logical DPI: 15 twips to a pixel at 96 DPI.
namespace twips {

constexpr double PerInch = 1440.0;

inline int toPixels(double tw, double dpi = 96.0)
{
    return qRound(tw * dpi / PerInch);
}
inline double fromPixels(int px, double dpi = 96.0)
{
    return px * PerInch / dpi;
}

} // namespace twips
