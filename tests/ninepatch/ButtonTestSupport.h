#pragma once

#include "AnimationClock.h"
#include "StyleAtlas.h"
#include "cPatchImage.h"
#include "ctxPatchButton.h"

#include <QBuffer>
#include <QImage>

#include <memory>

namespace buttontest {

constexpr QRgb Frame = 0x00FFFFFFu; // fixed marker and frame corner: transparent white
constexpr QRgb Stretch = 0xFF000000u;
constexpr QRgb Red = 0xFFFF0000u, Green = 0xFF00FF00u, Blue = 0xFF0000FFu, White = 0xFFFFFFFFu;

// A one-colour nine-patch whose middle row and column stretch; `corner` > 0 gives fixed corners of
// that size in `cornerColour`.
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

// A clock the test moves, on the 0 ms frame timer, so a fade draws its frames as fast as the loop runs.
// Each reading counts and moves the clock on by `step`.
struct ManualClock : AnimationClock
{
    double monotonicSeconds() const override
    {
        ++reads;
        return now += step;
    }
    int frameIntervalMs() const override { return 0; }
    mutable double now = 1000.0;
    double step = 0.0;
    mutable int reads = 0;
};

// Straight ARGB copies, so pixels compare as the colours they are.
inline QImage straight(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32);
}

inline bool near(QRgb a, QRgb b, int tolerance = 2)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance && qAbs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

inline StyleAtlas::Family family(QStringView name)
{
    return name == u"flat" ? StyleAtlas::Flat : name == u"tall" ? StyleAtlas::Tall : StyleAtlas::Card;
}

inline std::shared_ptr<cPatchImage> cell(QStringView familyName, int index)
{
    const StyleAtlas::Family f = family(familyName);
    return StyleAtlas::instance().pvResExtract(index, f.top, f.cellWidth, f.cellHeight);
}

} // namespace buttontest
