#include "ninepatch/cPatchImage.h"

#include <QBrush>
#include <QBuffer>
#include <QImageReader>
#include <QPaintDevice>
#include <QPainter>
#include <QVarLengthArray>

#include <algorithm>
#include <climits>
#include <exception>

namespace ninepatch {

bool ParseMarkerLine(const QRgb *first, qsizetype step, int count, QRgb colourA, QRgb colourB, PatchSegments &segments)
{
    segments.clear();
    segments.append(PatchSegment{});
    if (!first || step == 0 || count < 1)
        return false;

    const auto kindOf = [colourA, colourB](QRgb pixel) {
        if (pixel == colourA)
            return qint32(KindFixed);
        if (pixel == colourB)
            return qint32(KindTiled);
        return qint32(KindStretched);
    };

    int start = 0;
    qint32 kind = kindOf(first[0]);
    const auto close = [&](int end) {
        segments.append(PatchSegment{kind, start + 1, end - start});
        if (kind == KindFixed)
            segments[0].Size += end - start;
        else
            segments[0].Pos += 1;
    };
    for (int i = 1; i < count; ++i) {
        const qint32 next = kindOf(first[qsizetype(i) * step]);
        if (next != kind) {
            close(i);
            start = i;
            kind = next;
        }
    }
    close(count);
    return true;
}

bool marginsFromLine(const PatchSegments &segments, int &first, int &last)
{
    first = 0;
    last = 0;
    if (segments.size() != 4 || segments[1].Kind != KindFixed || segments[2].Kind == KindFixed
        || segments[3].Kind != KindFixed)
        return false;
    first = segments[1].Size;
    last = segments[3].Size;
    return true;
}

namespace {

// Fills out[0..runs-1]; see runLengths. Shared with drawing, which must not allocate per call.
void fillRunLengths(const PatchSegments &segments, int target, int *out)
{
    const qsizetype runs = segments.size() - 1;
    if (runs <= 0)
        return;
    const qint64 nonFixed = segments[0].Pos;
    const qint64 fixedTotal = segments[0].Size;
    const qint64 spare = (nonFixed > 0 && target > fixedTotal) ? target - fixedTotal : 0;
    // Boundaries of the k-th share at round(spare * k / nonFixed): equal to a pixel, no gaps.
    const auto boundary = [&](qint64 k) { return nonFixed > 0 ? (2 * spare * k + nonFixed) / (2 * nonFixed) : 0; };
    qint64 k = 0;
    for (qsizetype i = 0; i < runs; ++i) {
        const PatchSegment &run = segments[i + 1];
        if (run.Kind == KindFixed) {
            out[i] = run.Size;
        } else {
            out[i] = int(boundary(k + 1) - boundary(k));
            ++k;
        }
    }
}

// A half-open interval on one axis, in 64 bits so that positions near INT_MAX cannot overflow.
struct Span
{
    qint64 begin;
    qint64 end;
    bool empty() const { return end <= begin; }
};

Span intersect(Span a, Span b)
{
    return Span{std::max(a.begin, b.begin), std::min(a.end, b.end)};
}

QString procedureSource(const QString &procedure)
{
    return QStringLiteral("cPatchImage.") + procedure;
}

bool tooLarge(const QSize &size)
{
    return size.width() > ninepatch::MaxImageSide || size.height() > ninepatch::MaxImageSide
        || qint64(size.width()) * size.height() > ninepatch::MaxImagePixels;
}

QString tooLargeText(const QSize &size)
{
    return QStringLiteral("The image is too large for a nine-patch (%1 x %2 pixels).")
        .arg(size.width())
        .arg(size.height());
}

// Decodes what a reader offers, refusing sizes that would not fit before any pixel is allocated.
bool readImage(QImageReader &reader, QImage &image, QString &description)
{
    const QSize announced = reader.size();
    if (announced.isValid() && tooLarge(announced)) {
        description = tooLargeText(announced);
        return false;
    }
    if (!reader.read(&image) || image.isNull()) {
        description = reader.errorString();
        if (description.isEmpty())
            description = QStringLiteral("The picture could not be decoded.");
        image = QImage();
        return false;
    }
    return true;
}

} // namespace

QList<int> runLengths(const PatchSegments &segments, int target)
{
    QList<int> lengths(std::max<qsizetype>(segments.size() - 1, 0));
    fillRunLengths(segments, target, lengths.data());
    return lengths;
}

} // namespace ninepatch

using namespace ninepatch;

cPatchImage::cPatchImage()
{
    Terminate();
}

cPatchImage::~cPatchImage() = default;

void cPatchImage::Terminate()
{
    m_bitmap = QImage();
    m_premultiplied = QImage();
    m_width = 0;
    m_height = 0;
    m_horizontal = PatchSegments{PatchSegment{}};
    m_vertical = PatchSegments{PatchSegment{}};
    m_margins = QMargins();
}

void cPatchImage::fail(const QString &procedure, Error inner)
{
    m_error.source = procedureSource(procedure);
    if (!inner.source.isEmpty())
        m_error.source += QLatin1Char('\n') + inner.source;
    m_error.description = inner.description;
    Terminate();
}

bool cPatchImage::LoadFromFile(const QString &sFileName)
{
    Terminate();
    m_error = Error{};
    Error inner;
    try {
        QImageReader reader(sFileName);
        reader.setDecideFormatFromContent(true);
        QImage image;
        if (!readImage(reader, image, inner.description)) {
            fail(QStringLiteral("LoadFromFile"), inner);
            return false;
        }
        if (!takeImage(image, inner)) {
            fail(QStringLiteral("LoadFromFile"), inner);
            return false;
        }
        return true;
    } catch (const std::exception &e) {
        inner.description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        inner.description = QStringLiteral("Unknown failure.");
    }
    fail(QStringLiteral("LoadFromFile"), inner);
    return false;
}

bool cPatchImage::LoadFromBitmap(const QImage &hBitmap)
{
    Terminate();
    m_error = Error{};
    Error inner;
    try {
        if (hBitmap.isNull()) {
            inner.description = QStringLiteral("No image was given.");
        } else if (takeImage(hBitmap, inner)) {
            return true;
        }
    } catch (const std::exception &e) {
        inner.description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        inner.description = QStringLiteral("Unknown failure.");
    }
    fail(QStringLiteral("LoadFromBitmap"), inner);
    return false;
}

bool cPatchImage::LoadFromByteArray(const QByteArray &bytes)
{
    Terminate();
    m_error = Error{};
    Error inner;
    try {
        QImage image;
        if (BitmapFromByteArray(bytes, image, inner) && takeImage(image, inner))
            return true;
    } catch (const std::exception &e) {
        inner.description = QString::fromLocal8Bit(e.what());
    } catch (...) {
        inner.description = QStringLiteral("Unknown failure.");
    }
    fail(QStringLiteral("LoadFromByteArray"), inner);
    return false;
}

bool cPatchImage::BitmapFromByteArray(const QByteArray &bytes, QImage &image, Error &error)
{
    image = QImage();
    error.source = procedureSource(QStringLiteral("BitmapFromByteArray"));
    if (bytes.isEmpty()) {
        error.description = QStringLiteral("The picture data is empty.");
        return false;
    }
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) {
        error.description = buffer.errorString();
        return false;
    }
    QImageReader reader(&buffer);
    if (!readImage(reader, image, error.description))
        return false;
    error = Error{};
    return true;
}

bool cPatchImage::takeImage(const QImage &image, Error &error)
{
    if (tooLarge(image.size())) {
        error.description = tooLargeText(image.size());
        return false;
    }
    // Exact colour comparisons of markers need straight (non-premultiplied) ARGB.
    m_bitmap = image.convertToFormat(QImage::Format_ARGB32);
    if (m_bitmap.isNull()) {
        error.description = QStringLiteral("The image could not be converted to 32-bit ARGB.");
        return false;
    }
    return ParseDataFrame(error);
}

bool cPatchImage::ParseDataFrame(Error &error)
{
    error.source = procedureSource(QStringLiteral("ParseDataFrame"));
    const int w = m_bitmap.width();
    const int h = m_bitmap.height();
    if (w < MinImageSide || h < MinImageSide) {
        error.description = QStringLiteral("The image is too small for a marker frame (%1 x %2 pixels).").arg(w).arg(h);
        return false;
    }
    m_width = w;
    m_height = h;

    const QImage &image = m_bitmap; // read without detaching
    const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    const auto *top = reinterpret_cast<const QRgb *>(image.constScanLine(0));
    const auto *second = reinterpret_cast<const QRgb *>(image.constScanLine(1));
    const auto *bottom = reinterpret_cast<const QRgb *>(image.constScanLine(h - 1));
    const QRgb colourA = top[0];
    const QRgb colourB = top[w - 1];

    if (!ParseMarkerLine(top + 1, 1, w - 2, colourA, colourB, m_horizontal)
        || !ParseMarkerLine(second, stride, h - 2, colourA, colourB, m_vertical)) {
        error.description = QStringLiteral("The marker frame could not be read.");
        return false;
    }

    m_margins = QMargins();
    PatchSegments scratch;
    int first = 0;
    int last = 0;
    if (ParseMarkerLine(bottom + 1, 1, w - 2, colourA, colourB, scratch) && marginsFromLine(scratch, first, last)) {
        m_margins.setLeft(first);
        m_margins.setRight(last);
    }
    if (ParseMarkerLine(second + (w - 1), stride, h - 2, colourA, colourB, scratch)
        && marginsFromLine(scratch, first, last)) {
        m_margins.setTop(first);
        m_margins.setBottom(last);
    }

    if (!ClearDataFrame(colourA)) {
        error.description = QStringLiteral("The marker frame could not be hidden.");
        return false;
    }
    m_premultiplied = m_bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (m_premultiplied.isNull()) {
        error.description = QStringLiteral("The image could not be prepared for drawing.");
        return false;
    }
    error = Error{};
    return true;
}

bool cPatchImage::ClearDataFrame(QRgb colourA)
{
    if (m_bitmap.isNull() || m_bitmap.format() != QImage::Format_ARGB32)
        return false;
    const int w = m_bitmap.width();
    const int h = m_bitmap.height();
    // Written as pixels rather than painted, so the frame holds exactly A even where A is transparent.
    auto *topRow = reinterpret_cast<QRgb *>(m_bitmap.scanLine(0));
    auto *bottomRow = reinterpret_cast<QRgb *>(m_bitmap.scanLine(h - 1));
    std::fill(topRow, topRow + w, colourA);
    std::fill(bottomRow, bottomRow + w, colourA);
    for (int y = 1; y < h - 1; ++y) {
        auto *row = reinterpret_cast<QRgb *>(m_bitmap.scanLine(y));
        row[0] = colourA;
        row[w - 1] = colourA;
    }
    return true;
}

bool cPatchImage::CalcBoundingBox(int ClientWidth, int ClientHeight, int &Width, int &Height, int &ClientX,
                                  int &ClientY) const
{
    const auto fit = [](qint64 before, qint64 client, qint64 after, qint64 fixedTotal) {
        return int(std::clamp<qint64>(std::max(before + client + after, fixedTotal), INT_MIN, INT_MAX));
    };
    Width = fit(m_margins.left(), ClientWidth, m_margins.right(), m_horizontal.value(0).Size);
    Height = fit(m_margins.top(), ClientHeight, m_margins.bottom(), m_vertical.value(0).Size);
    ClientX = m_margins.left();
    ClientY = m_margins.top();
    return true;
}

void cPatchImage::CalcClientRect(int BoxWidth, int BoxHeight, int &X, int &Y, int &Width, int &Height) const
{
    const auto inner = [](qint64 box, qint64 before, qint64 after) {
        return int(std::clamp<qint64>(box - before - after, 0, INT_MAX));
    };
    X = m_margins.left();
    Y = m_margins.top();
    Width = inner(BoxWidth, m_margins.left(), m_margins.right());
    Height = inner(BoxHeight, m_margins.top(), m_margins.bottom());
}

bool cPatchImage::DrawToDC(QPaintDevice *hDstDC, int lX, int lY, int lWidth, int lHeight) const
{
    if (!hDstDC || m_premultiplied.isNull())
        return false;
    try {
        QPainter painter(hDstDC);
        if (!painter.isActive())
            return false;
        return DrawToGraphics(&painter, lX, lY, lWidth, lHeight);
    } catch (...) {
        return false;
    }
}

bool cPatchImage::DrawToGraphics(QPainter *hGraphics, int lX, int lY, int lWidth, int lHeight) const
{
    if (!hGraphics || !hGraphics->isActive() || m_premultiplied.isNull())
        return false;
    try {
        const qsizetype columns = m_horizontal.size() - 1;
        const qsizetype rows = m_vertical.size() - 1;
        QVarLengthArray<int, 16> widths(columns);
        QVarLengthArray<int, 16> heights(rows);
        fillRunLengths(m_horizontal, lWidth, widths.data());
        fillRunLengths(m_vertical, lHeight, heights.data());

        // Everything outside the target is clipped by not drawing it: only fixed runs can reach past
        // the target (non-fixed runs get room only when the target is larger than the fixed total).
        const Span boxX{lX, std::min<qint64>(qint64(lX) + std::max(lWidth, 0), INT_MAX)};
        const Span boxY{lY, std::min<qint64>(qint64(lY) + std::max(lHeight, 0), INT_MAX)};
        if (boxX.empty() || boxY.empty())
            return true;

        // Stretched runs are drawn bilinear whatever the caller set (the look the faces were designed
        // for); the caller's setting comes back however drawing ends.
        struct SmoothScope
        {
            QPainter *painter;
            bool was;
            ~SmoothScope() { painter->setRenderHint(QPainter::SmoothPixmapTransform, was); }
        } smooth{hGraphics, hGraphics->testRenderHint(QPainter::SmoothPixmapTransform)};
        hGraphics->setRenderHint(QPainter::SmoothPixmapTransform, true);

        qint64 y = lY;
        for (qsizetype r = 0; r < rows && y < boxY.end; ++r) {
            const Span cellY{y, y + heights[r]};
            y = cellY.end;
            const Span visY = intersect(cellY, boxY);
            if (visY.empty())
                continue;
            qint64 x = lX;
            for (qsizetype c = 0; c < columns && x < boxX.end; ++c) {
                const Span cellX{x, x + widths[c]};
                x = cellX.end;
                const Span visX = intersect(cellX, boxX);
                if (visX.empty())
                    continue;
                const QRect target(int(visX.begin), int(visY.begin), int(visX.end - visX.begin),
                                   int(visY.end - visY.begin));
                const QPoint clippedBy(int(visX.begin - cellX.begin), int(visY.begin - cellY.begin));
                drawCell(hGraphics, m_horizontal[c + 1], m_vertical[r + 1],
                         QSize(int(cellX.end - cellX.begin), int(cellY.end - cellY.begin)), target, clippedBy);
            }
        }

        return true;
    } catch (...) {
        return false;
    }
}

void cPatchImage::drawCell(QPainter *painter, const PatchSegment &column, const PatchSegment &row,
                           const QSize &cellSize, const QRect &target, const QPoint &clippedBy) const
{
    const bool tiledX = column.Kind == KindTiled;
    const bool tiledY = row.Kind == KindTiled;
    const QRect source(column.Pos, row.Pos, column.Size, row.Size);

    if (!tiledX && !tiledY) {
        // A clipped direction is always a fixed run, drawn 1:1, so clipping there moves the source
        // by the same number of pixels; an unclipped direction keeps the whole source run.
        QRect part = source;
        if (target.width() != cellSize.width())
            part = QRect(source.x() + clippedBy.x(), part.y(), target.width(), part.height());
        if (target.height() != cellSize.height())
            part = QRect(part.x(), source.y() + clippedBy.y(), part.width(), target.height());
        painter->drawImage(target, m_premultiplied, part);
        return;
    }

    // A tiled direction repeats the run at its own size from the cell's top-left corner; the other
    // direction is one copy stretched to the cell. Stretch first, then tile the result unscaled, so
    // every repeat lands on whole pixels.
    QImage tile = m_premultiplied.copy(source);
    const QSize tileSize(tiledX ? source.width() : cellSize.width(), tiledY ? source.height() : cellSize.height());
    if (tileSize != source.size())
        tile = tile.scaled(tileSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QBrush brush(tile);
    brush.setTransform(QTransform::fromTranslate(target.x() - clippedBy.x(), target.y() - clippedBy.y()));
    const QPointF origin = painter->brushOrigin();
    painter->setBrushOrigin(0, 0);
    painter->fillRect(target, brush);
    painter->setBrushOrigin(origin);
}
