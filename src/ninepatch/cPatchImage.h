#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QMargins>
#include <QString>

class QPainter;
class QPaintDevice;

// One run of a marker line. The element at index 0 of a segment list is not a run but a summary:
// Pos holds the number of stretched and tiled runs, Size the total size of the fixed runs.
struct PatchSegment
{
    qint32 Kind = 0;
    qint32 Pos = 0;
    qint32 Size = 0;

    friend bool operator==(const PatchSegment &, const PatchSegment &) = default;
};

using PatchSegments = QList<PatchSegment>;

namespace ninepatch {

enum SegmentKind : qint32 { KindFixed = 0, KindStretched = 1, KindTiled = 2 };

// A marker frame needs at least one inner pixel. Larger images than these are refused before they are
// decoded, so a hostile or broken file can neither make the console allocate gigabytes nor split a
// face into millions of cells that each cost a draw call.
constexpr int MinImageSide = 3;
constexpr int MaxImageSide = 8192;
constexpr qint64 MaxImagePixels = qint64(2048) * 2048;

// Reads `count` pixels, `step` pixels apart, into runs. Pixels equal to colourA are fixed, pixels equal
// to colourB tiled, everything else stretched (A is tested first, so A == B never gives a tiled run).
// Run positions count from 1 because index 0 of the line is the pixel after the frame corner.
// False, with `segments` left as a bare summary, when there is nothing to read.
bool ParseMarkerLine(const QRgb *first, qsizetype step, int count, QRgb colourA, QRgb colourB, PatchSegments &segments);

// The left and right (or top and bottom) margin that a bottom row (right column) describes: only a
// line of exactly fixed, non-fixed, fixed gives margins; any other line gives none.
bool marginsFromLine(const PatchSegments &segments, int &first, int &last);

// The destination length of every run for a target length, in run order. The space left after the
// fixed runs goes in equal shares to the stretched and tiled runs whatever their own sizes; shares
// are whole pixels (the remainder spread one pixel at a time) so fixed runs stay pixel-exact and the
// lengths add up to the target. Without room (target not above the fixed total) non-fixed runs get 0.
QList<int> runLengths(const PatchSegments &segments, int target);

} // namespace ninepatch

// A nine-patch picture: a 32-bit ARGB image whose one-pixel frame marks which rows and columns keep
// their size, stretch or repeat, and where the content goes. The frame is read when the image is
// loaded and then painted over with the top-left corner colour so it never shows when scaled.
class cPatchImage
{
public:
    struct Error
    {
        QString source;
        QString description;
        bool isNull() const { return source.isEmpty(); }
    };

    cPatchImage();
    ~cPatchImage();
    cPatchImage(const cPatchImage &) = delete;
    cPatchImage &operator=(const cPatchImage &) = delete;

    // The loaded image with its frame hidden, non-premultiplied ARGB; null when nothing is loaded.
    const QImage &Bitmap() const { return m_bitmap; }

    bool LoadFromFile(const QString &sFileName);
    // Takes the image as its own (Qt's implicit sharing makes this the caller's clone).
    bool LoadFromBitmap(const QImage &hBitmap);
    bool LoadFromByteArray(const QByteArray &bytes);

    bool CalcBoundingBox(int ClientWidth, int ClientHeight, int &Width, int &Height, int &ClientX, int &ClientY) const;
    void CalcClientRect(int BoxWidth, int BoxHeight, int &X, int &Y, int &Width, int &Height) const;

    bool DrawToDC(QPaintDevice *hDstDC, int lX, int lY, int lWidth, int lHeight) const;
    bool DrawToGraphics(QPainter *hGraphics, int lX, int lY, int lWidth, int lHeight) const;

    void Terminate();

    int width() const { return m_width; }
    int height() const { return m_height; }
    const PatchSegments &horizontalSegments() const { return m_horizontal; }
    const PatchSegments &verticalSegments() const { return m_vertical; }
    // Distance of the content rectangle from the image's edges, in image pixels.
    QMargins contentMargins() const { return m_margins; }

    // The error of the last failed load; null after a load that succeeded.
    const Error &lastError() const { return m_error; }

private:
    static bool BitmapFromByteArray(const QByteArray &bytes, QImage &image, Error &error);
    bool takeImage(const QImage &image, Error &error);
    bool ParseDataFrame(Error &error);
    bool ClearDataFrame(QRgb colourA);
    void fail(const QString &procedure, Error inner);
    void drawCell(QPainter *painter, const PatchSegment &column, const PatchSegment &row, const QSize &cellSize,
                  const QRect &target, const QPoint &clippedBy) const;

    QImage m_bitmap;
    int m_width = 0;
    int m_height = 0;
    PatchSegments m_horizontal;
    PatchSegments m_vertical;
    QMargins m_margins;
    Error m_error;
    // What is drawn: the raster engine blends premultiplied pixels without converting them first.
    QImage m_premultiplied;
};
