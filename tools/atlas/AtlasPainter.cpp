#include "atlas/AtlasPainter.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

namespace {

// Every transparent pixel, the frame corners and the fixed marker pixels: transparent white, so the
// top-left and top-right corners agree and no run is ever read as tiled.
constexpr QRgb Clear = 0x00FFFFFFu;
// Marker pixel of a stretched run.
constexpr QRgb Stretch = 0xFF000000u;

struct Rgb
{
    int r;
    int g;
    int b;
};

Rgb scaled(Rgb c, int num, int den)
{
    return Rgb{c.r * num / den, c.g * num / den, c.b * num / den};
}
Rgb lighter(Rgb c, int den)
{
    return Rgb{c.r + (255 - c.r) / den, c.g + (255 - c.g) / den, c.b + (255 - c.b) / den};
}

// Antialiasing by counting samples on a 16 x 16 grid per pixel. Sample and shape coordinates are in
// units of 1/32 pixel, sample centres odd and shape edges even, so no sample sits on an edge.
constexpr int Grid = 16;
constexpr int Unit = 2 * Grid;
constexpr int Samples = Grid * Grid;

struct RoundRect
{
    int x0, y0, x1, y1, radius; // whole pixels, right and bottom exclusive

    bool contains(qint64 x, qint64 y) const
    {
        const qint64 l = qint64(x0) * Unit, t = qint64(y0) * Unit, r = qint64(x1) * Unit, b = qint64(y1) * Unit;
        if (x < l || x >= r || y < t || y >= b)
            return false;
        const qint64 rad = qint64(radius) * Unit;
        const qint64 cx = std::clamp(x, l + rad, r - rad);
        const qint64 cy = std::clamp(y, t + rad, b - rad);
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= rad * rad;
    }

    RoundRect grown(int by, int down) const
    {
        return RoundRect{x0 - by, y0 - by + down, x1 + by, y1 + by + down, radius + by};
    }
};

using Shape = std::function<bool(qint64, qint64)>;

Shape fill(RoundRect rr)
{
    return [rr](qint64 x, qint64 y) { return rr.contains(x, y); };
}

Shape band(RoundRect outer, RoundRect inner)
{
    return [outer, inner](qint64 x, qint64 y) { return outer.contains(x, y) && !inner.contains(x, y); };
}

int coverage(const Shape &shape, int px, int py)
{
    int n = 0;
    for (int j = 0; j < Grid; ++j)
        for (int i = 0; i < Grid; ++i)
            n += shape(qint64(px) * Unit + 2 * i + 1, qint64(py) * Unit + 2 * j + 1) ? 1 : 0;
    return n;
}

// Source-over of a straight-alpha colour onto a straight-alpha pixel, in integers with rounding.
QRgb over(QRgb dst, Rgb c, int alpha)
{
    if (alpha <= 0)
        return dst;
    const int da = qAlpha(dst);
    const int keep = da * (255 - alpha); // destination weight, scaled by 255
    const int outA255 = alpha * 255 + keep; // result alpha, scaled by 255
    const int outA = (outA255 + 127) / 255;
    if (outA == 0)
        return dst;
    const auto mix = [&](int sc, int dc) { return (sc * alpha * 255 + dc * keep + outA255 / 2) / outA255; };
    return qRgba(mix(c.r, qRed(dst)), mix(c.g, qGreen(dst)), mix(c.b, qBlue(dst)), outA);
}

// A cell's inner area (inside its one-pixel marker frame) that shapes are painted into.
class Cell
{
public:
    Cell(QImage &atlas, int x, int y, int w, int h)
        : m_atlas(atlas)
        , m_x(x + 1)
        , m_y(y + 1)
        , m_w(w - 2)
        , m_h(h - 2)
    {}

    // Paints a shape; the colour may depend on the inner row (gradients).
    void paint(const Shape &shape, const std::function<Rgb(int)> &colourOfRow, int alpha)
    {
        for (int v = 0; v < m_h; ++v)
            for (int u = 0; u < m_w; ++u) {
                const int cov = coverage(shape, u, v);
                if (cov == 0)
                    continue;
                const int a = (cov * alpha + Samples / 2) / Samples;
                QRgb *px = reinterpret_cast<QRgb *>(m_atlas.scanLine(m_y + v)) + (m_x + u);
                *px = over(*px, colourOfRow(v), a);
            }
    }
    void paint(const Shape &shape, Rgb colour, int alpha)
    {
        paint(
            shape, [colour](int) { return colour; }, alpha);
    }

private:
    QImage &m_atlas;
    int m_x, m_y, m_w, m_h;
};

// Marker runs of one direction: fixed, stretched, fixed.
struct Runs
{
    int before, middle, after;
};

void drawMarkers(QImage &atlas, int x, int y, int w, int h, Runs across, Runs down)
{
    const auto pixelOf = [](const Runs &runs, int i) { // i counts from 0 after the corner
        return (i >= runs.before && i < runs.before + runs.middle) ? Stretch : Clear;
    };
    for (int i = 0; i < w - 2; ++i) {
        const QRgb p = pixelOf(across, i);
        atlas.setPixel(x + 1 + i, y, p);
        atlas.setPixel(x + 1 + i, y + h - 1, p); // bottom row: the content margins
    }
    for (int i = 0; i < h - 2; ++i) {
        const QRgb p = pixelOf(down, i);
        atlas.setPixel(x, y + 1 + i, p);
        atlas.setPixel(x + w - 1, y + 1 + i, p); // right column: the content margins
    }
    for (const auto &[cx, cy] :
         {std::pair{x, y}, std::pair{x + w - 1, y}, std::pair{x, y + h - 1}, std::pair{x + w - 1, y + h - 1}})
        atlas.setPixel(cx, cy, Clear);
}

// ---- Flat family: 21 x 21 cells, corners 9 pixels, a one-pixel stretched middle. ----

constexpr int FlatSize = 21;
constexpr RoundRect FlatFace{2, 2, 17, 17, 4};
constexpr RoundRect FlatFaceInside{3, 3, 16, 16, 3};
constexpr RoundRect FlatRingOuter{0, 0, 19, 19, 6};
// The ring reaches one pixel under the face so no seam shows between them.
constexpr RoundRect FlatRingInner{3, 3, 16, 16, 3};
constexpr int OutlineInsideAlpha = 10;
constexpr int FlatRingAlpha = 128;

enum class Look { Solid, Outline, Ring };

struct FlatCell
{
    Look look;
    Rgb colour;
    Rgb border; // solid faces: a one-pixel edge in this colour when `bordered`
    bool bordered = false;
};

std::vector<FlatCell> flatCells()
{
    std::vector<FlatCell> cells;
    const auto group = [&cells](Rgb face) {
        cells.push_back({Look::Solid, face, {}, false});
        cells.push_back({Look::Outline, face, face, false});
        cells.push_back({Look::Solid, scaled(face, 7, 8), {}, false});
        cells.push_back({Look::Solid, scaled(face, 3, 4), {}, false});
        cells.push_back({Look::Ring, face, {}, false});
    };
    group({83, 130, 204}); // blue 0..4
    // White 5..10: white faces would vanish on a white window without an edge.
    const Rgb edge{200, 200, 200};
    cells.push_back({Look::Solid, {255, 255, 255}, edge, true});
    cells.push_back({Look::Outline, {255, 255, 255}, {160, 160, 160}, false});
    cells.push_back({Look::Solid, {246, 246, 246}, edge, true});
    cells.push_back({Look::Solid, {135, 142, 149}, {}, false});
    cells.push_back({Look::Solid, {230, 229, 229}, edge, true});
    cells.push_back({Look::Ring, {160, 160, 160}, {}, false});
    group({111, 184, 38}); // green 11..15
    group({192, 30, 38}); // red 16..20
    group({235, 193, 51}); // yellow 21..25
    group({94, 173, 239}); // light blue 26..30
    group({248, 249, 250}); // near-white 31..35
    // Near-white on white needs a visible edge, outline and ring of a darker tone.
    const Rgb nearWhiteEdge = scaled({248, 249, 250}, 3, 4);
    for (int i : {31, 33, 34}) {
        cells[std::size_t(i)].border = nearWhiteEdge;
        cells[std::size_t(i)].bordered = true;
    }
    cells[32].border = nearWhiteEdge;
    cells[35].colour = nearWhiteEdge;
    group({53, 58, 64}); // dark 36..40
    return cells;
}

void drawFlat(QImage &atlas)
{
    const auto cells = flatCells();
    for (std::size_t index = 0; index < cells.size(); ++index) {
        const int offset = int(index) * FlatSize;
        const int x = offset % AtlasPainter::Width;
        const int y = FlatSize * (offset / AtlasPainter::Width);
        drawMarkers(atlas, x, y, FlatSize, FlatSize, {9, 1, 9}, {9, 1, 9});
        Cell cell(atlas, x, y, FlatSize, FlatSize);
        const FlatCell &c = cells[index];
        switch (c.look) {
        case Look::Solid:
            cell.paint(fill(FlatFace), c.colour, 255);
            if (c.bordered)
                cell.paint(band(FlatFace, FlatFaceInside), c.border, 255);
            break;
        case Look::Outline:
            cell.paint(fill(FlatFaceInside), c.colour, OutlineInsideAlpha);
            cell.paint(band(FlatFace, FlatFaceInside), c.border, 255);
            break;
        case Look::Ring: cell.paint(band(FlatRingOuter, FlatRingInner), c.colour, FlatRingAlpha); break;
        }
    }
}

// ---- Tall family: 19 x 52 cells at y 84; corners 8 x 9, a 32-pixel stretched middle row. ----

constexpr int TallTop = 84;
constexpr int TallWidth = 19;
constexpr int TallHeight = 52;
constexpr RoundRect TallFace{2, 2, 15, 48, 4};
constexpr RoundRect TallFaceInside{3, 3, 14, 47, 3};
constexpr RoundRect TallRingOuter{0, 0, 17, 50, 6};
constexpr RoundRect TallRingInner{3, 3, 14, 47, 3};
constexpr Rgb FocusBlue{56, 131, 251};
constexpr int BlueRingAlpha = 64;

void drawTall(QImage &atlas)
{
    const Rgb grey{240, 240, 240};
    const Rgb green{82, 182, 83};
    const Rgb red{174, 31, 49};
    const std::array<Rgb, 10> faces{grey,
                                    Rgb{229, 229, 229},
                                    Rgb{214, 214, 214},
                                    Rgb{244, 244, 244},
                                    green,
                                    scaled(green, 7, 8),
                                    scaled(green, 3, 4),
                                    red,
                                    lighter(red, 8),
                                    scaled(red, 7, 8)};
    for (int index = 0; index <= 10; ++index) {
        const int x = index * TallWidth;
        drawMarkers(atlas, x, TallTop, TallWidth, TallHeight, {8, 1, 8}, {9, 32, 9});
        Cell cell(atlas, x, TallTop, TallWidth, TallHeight);
        if (index == 10) {
            cell.paint(band(TallRingOuter, TallRingInner), FocusBlue, BlueRingAlpha);
            continue;
        }
        const Rgb face = faces[std::size_t(index)];
        // A gentle top-to-bottom gradient that passes through the face colour at the middle row.
        const auto gradient = [face](int row) {
            const int d = (25 - row) * 3 / 8;
            return Rgb{std::clamp(face.r + d, 0, 255), std::clamp(face.g + d, 0, 255), std::clamp(face.b + d, 0, 255)};
        };
        cell.paint(fill(TallFace), gradient, 255);
        cell.paint(band(TallFace, TallFaceInside), scaled(face, 3, 4), 255);
    }
}

// ---- Card family: 21 x 23 cells at y 136; a deeper bottom edge holds the shadow. ----

constexpr int CardTop = 136;
constexpr int CardWidth = 21;
constexpr int CardHeight = 23;
constexpr RoundRect CardFace{2, 2, 17, 17, 4};
constexpr RoundRect CardFaceInside{3, 3, 16, 16, 3};
constexpr RoundRect CardRingOuter{0, 0, 19, 19, 6};
constexpr RoundRect CardRingInner{3, 3, 16, 16, 3};

struct CardShadow
{
    int down; // offset below the face
    int spread; // number of grown outlines, one pixel apart
    int alpha; // added by each outline; spread * alpha stays at most 10
};

void drawCards(QImage &atlas)
{
    const std::array<CardShadow, 7> shadows{CardShadow{1, 1, 8}, CardShadow{1, 2, 4}, CardShadow{2, 2, 5},
                                            CardShadow{0, 0, 0}, CardShadow{0, 2, 3}, CardShadow{2, 1, 10},
                                            CardShadow{1, 2, 5}};
    const Rgb white{255, 255, 255};
    for (int index = 0; index <= 7; ++index) {
        const int x = index * CardWidth;
        drawMarkers(atlas, x, CardTop, CardWidth, CardHeight, {9, 1, 9}, {9, 1, 11});
        Cell cell(atlas, x, CardTop, CardWidth, CardHeight);
        if (index == 7) {
            cell.paint(band(CardRingOuter, CardRingInner), FocusBlue, BlueRingAlpha);
            continue;
        }
        const CardShadow s = shadows[std::size_t(index)];
        // The shadow is summed first and laid down once, so overlapping outlines add up exactly.
        if (s.spread > 0) {
            for (int v = 0; v < CardHeight - 2; ++v)
                for (int u = 0; u < CardWidth - 2; ++u) {
                    int sum = 0;
                    for (int g = 1; g <= s.spread; ++g)
                        sum += coverage(fill(CardFace.grown(g, s.down)), u, v) * s.alpha;
                    const int a = (sum + Samples / 2) / Samples;
                    if (a > 0)
                        atlas.setPixel(x + 1 + u, CardTop + 1 + v, qRgba(0, 0, 0, a));
                }
        }
        cell.paint(fill(CardFace), white, 255);
        if (s.spread == 0)
            cell.paint(band(CardFace, CardFaceInside), Rgb{220, 220, 220}, 255);
    }
}

} // namespace

QImage AtlasPainter::draw()
{
    QImage atlas(Width, Height, QImage::Format_ARGB32);
    atlas.fill(Clear);
    drawFlat(atlas);
    drawTall(atlas);
    drawCards(atlas);
    return atlas;
}

QByteArray AtlasPainter::encodePng(const QImage &image)
{
    QImage copy = image.convertToFormat(QImage::Format_ARGB32);
    // The density would otherwise follow the screen of the running process.
    copy.setDotsPerMeterX(3780);
    copy.setDotsPerMeterY(3780);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0); // maximum compression
    if (!writer.write(copy))
        return QByteArray();
    return bytes;
}
