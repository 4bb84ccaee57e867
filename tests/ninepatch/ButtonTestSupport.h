#pragma once

#include "ctxPatchButton.h"

#include <QBuffer>
#include <QImage>

#include <memory>

namespace buttontest {

constexpr QRgb Frame = 0x00FFFFFFu; // fixed marker and frame corner: transparent white
constexpr QRgb Stretch = 0xFF000000u;

// A nine-patch picture of one colour whose single middle row and column stretch. With `corner` > 0
// it keeps fixed corners of that size in `cornerColour` (and the edges between them in `colour`).
inline QImage solidPatch(QRgb colour, int corner = 0, QRgb cornerColour = 0)
{
    const int side = 2 * corner + 3;
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Frame);
    for (int y = 1; y < side - 1; ++y)
        for (int x = 1; x < side - 1; ++x) {
            const bool inCorner = (x <= corner || x >= side - 1 - corner) && (y <= corner || y >= side - 1 - corner);
            image.setPixel(x, y, inCorner && corner > 0 ? cornerColour : colour);
        }
    image.setPixel(corner + 1, 0, Stretch);
    image.setPixel(0, corner + 1, Stretch);
    return image;
}

inline QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Puts the animation on a clock the test moves; the monotonic clock comes back at the end.
class ManualClock
{
public:
    ManualClock()
        : m_now(std::make_shared<double>(1000.0))
    {
        auto now = m_now;
        ctxPatchButton::setClock([now] { return *now; });
    }
    ~ManualClock() { ctxPatchButton::setClock({}); }
    ManualClock(const ManualClock &) = delete;
    ManualClock &operator=(const ManualClock &) = delete;

    void advance(double seconds) { *m_now += seconds; }
    double now() const { return *m_now; }
    std::shared_ptr<double> handle() const { return m_now; }

private:
    std::shared_ptr<double> m_now;
};

// Straight ARGB copies, so pixels compare as the colours they are.
inline QImage straight(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace buttontest
