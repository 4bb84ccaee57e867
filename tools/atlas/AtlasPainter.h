#pragma once

#include <QByteArray>
#include <QImage>

// Draws the style atlas of the patch buttons pixel by pixel with integer arithmetic only, so the same
// source always gives the same picture, and encodes it with fixed settings, so it gives the same bytes.
class AtlasPainter
{
public:
    static constexpr int Width = 231;
    static constexpr int Height = 159;

    // The atlas as 32-bit non-premultiplied ARGB.
    static QImage draw();
    // PNG bytes of an image with fixed settings (RGBA, maximum compression, no gamma, fixed density).
    static QByteArray encodePng(const QImage &image);
};
