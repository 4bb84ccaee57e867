#include "atlas/AtlasPainter.h"
#include "ninepatch/StyleAtlas.h"
#include "ninepatch/cPatchImage.h"

#include <QBuffer>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace ninepatch;

namespace {

constexpr QRgb A = 0x00FFFFFFu; // marker frame colour: transparent white
constexpr QRgb Tile = 0xFF0000FFu;
const QString Codes = u"#~rgbw"_s;
const QList<QRgb> Colours{0xFF000000u, 0x01FFFFFFu, 0xFFFF0000u, 0xFF00FF00u, Tile, 0xFFFFFFFFu};

// One character a pixel: '.' colour A, '#' a stretch marker, 'T' the tile colour, '~' one alpha step
// from A, 'r' 'g' 'b' 'w' opaque colours.
QList<QRgb> line(const QString &text)
{
    QList<QRgb> pixels;
    for (QChar c : text)
        pixels.append(c == u'T' ? Tile : Codes.contains(c) ? Colours[Codes.indexOf(c)] : A);
    return pixels;
}

QImage picture(const QStringList &rows)
{
    QImage image(int(rows.first().size()), int(rows.size()), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; const QRgb p : line(rows[y]))
            image.setPixel(x++, y, p);
    return image;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Runs fixed, stretched, fixed of the given lengths, as the marker line parser gives them.
PatchSegments segments(const QList<int> &r)
{
    return {{0, 1, r[0] + r[2]}, {0, 1, r[0]}, {1, r[0] + 1, r[1]}, {0, r[0] + r[1] + 1, r[2]}};
}

QStringList text(const QImage &out)
{
    QStringList rows;
    for (int y = 0; y < out.height(); ++y) {
        QString text;
        for (int x = 0; x < out.width(); ++x) {
            const QRgb pixel = out.pixel(x, y);
            text += pixel == 0 ? u'.' : Colours.contains(pixel) ? Codes[Colours.indexOf(pixel)] : u'?';
        }
        rows << text;
    }
    return rows;
}

// The canvas as text, '.' for untouched pixels. Empty when drawing failed or left the painter changed.
QStringList render(const cPatchImage &patch, QSize canvas, QRect target)
{
    QImage out(canvas, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setBrushOrigin(1, 0); // must not shift a tiled pattern
    if (!patch.DrawToGraphics(&p, target.x(), target.y(), target.width(), target.height())
        || p.brushOrigin() != QPointF(1, 0) || p.hasClipping() || p.testRenderHint(QPainter::SmoothPixmapTransform))
        return {};
    p.end();
    return text(out);
}

} // namespace

// The nine-patch image: marker lines, slicing, drawing, loading; and the built-in atlas the styles cut
// their cells from.
class tst_cPatchImage : public QObject
{
    Q_OBJECT

private slots:
    // How a marker line splits a target's length; the image tests show the pixels.
    void markerLine_data()
    {
        QTest::addColumn<QString>("pixels");
        QTest::addColumn<int>("target");
        QTest::addColumn<QList<int>>("lengths");
        QTest::newRow("a line without markers is one fixed run") << u"....."_s << 40 << QList<int>{5};
        QTest::newRow("a run in the corner colour B marks too") << u".TTT#"_s << 11 << QList<int>{1, 5, 5};
        QTest::newRow("a pixel one alpha step from A stretches") << u"..~.."_s << 50 << QList<int>{2, 46, 2};
        QTest::newRow("two separate marked runs make five runs") << u".#.#."_s << 9 << QList<int>{1, 3, 1, 3, 1};
        QTest::newRow("a target narrower than the fixed total")
            << u".........#........."_s << 10 << QList<int>{9, 0, 9};
        QTest::newRow("an odd remainder goes to one run, the total holds")
            << u"..#..#####.."_s << 27 << QList<int>{2, 11, 2, 10, 2};
    }
    void markerLine()
    {
        QFETCH(QString, pixels);
        QFETCH(int, target);
        const QList<QRgb> data = line(pixels);
        PatchSegments segments;
        QVERIFY(ParseMarkerLine(data.constData(), 1, int(data.size()), A, Tile, segments));
        QTEST(ninepatch::runLengths(segments, target), "lengths");
        segments = {{1, 2, 3}, {1, 1, 1}}; // an empty line fails and leaves nothing behind
        QVERIFY(!ParseMarkerLine(data.constData(), 1, 0, A, Tile, segments));
        QCOMPARE(segments, PatchSegments{PatchSegment{}});
    }

    void drawsPixelByPixel_data()
    {
        QTest::addColumn<QStringList>("image");
        QTest::addColumn<QRect>("target");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("an image without markers draws at its own size")
            << QStringList{u"....."_s, u".rgb."_s, u".bwr."_s, u"....."_s} << QRect(1, 0, 5, 3)
            << QStringList{u".rgb.."_s, u".bwr.."_s, u"......"_s};
        QTest::newRow("a target narrower than the fixed runs clips them")
            << QStringList{u"...#..."_s, u"#rrgbb."_s, u"......."_s} << QRect(0, 0, 3, 1) << QStringList{u"rrb..."_s};
        QTest::newRow("stretched runs of different sizes get equal widths")
            << QStringList{u"..#.###.."_s, u"#rgrbbbr."_s, u"........."_s} << QRect(0, 0, 13, 1)
            << QStringList{u"rgggggrbbbbbr"_s};
        QTest::newRow("tiled runs repeat at their own size from the cell corner")
            << QStringList{u"..TTT.T"_s, u"#wrgbw."_s, u"......."_s} << QRect(1, 1, 10, 3)
            << QStringList{u"............"_s, u".wrgbrgbrgw."_s, u".wrgbrgbrgw."_s, u".wrgbrgbrgw."_s};
        QTest::newRow("tiled in both directions")
            << QStringList{u".TTT"_s, u"Trg."_s, u"Tbw."_s, u"...."_s} << QRect(0, 0, 5, 3)
            << QStringList{u"rgrgr"_s, u"bwbwb"_s, u"rgrgr"_s};
    }
    void drawsPixelByPixel()
    {
        QFETCH(QStringList, image);
        QFETCH(QRect, target);
        QFETCH(QStringList, expected);
        cPatchImage patch;
        QVERIFY(patch.LoadFromBitmap(picture(image)));
        const QSize canvas(int(expected.first().size()), int(expected.size()));
        QCOMPARE(render(patch, canvas, target), expected);
        QImage device(canvas, QImage::Format_ARGB32); // the device-context form draws the same
        device.fill(Qt::transparent);
        QVERIFY(patch.DrawToDC(&device, target.x(), target.y(), target.width(), target.height()));
        QCOMPARE(text(device), expected);
        QVERIFY(!patch.DrawToDC(nullptr, 0, 0, 5, 5));
        patch.Terminate();
        QVERIFY(patch.Bitmap().isNull());
    }

    // A file loads; a failed load, from bytes or from a file, leaves no image behind, not even the one before.
    void failedLoadLeavesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // null: a file that does not exist
        const QByteArray good = png(picture({u"..#.."_s, u"#rgb."_s, u"....."_s}));
        QImage huge(10000, 10000, QImage::Format_Mono);
        huge.fill(0);
        QTest::newRow("a truncated PNG") << good.left(good.size() / 2);
        QTest::newRow("text instead of a picture") << "not a picture"_ba;
        QTest::newRow("a 2 x 2 picture has no inner pixel") << png(picture({u".."_s, u".."_s}));
        QTest::newRow("a 10,000 x 10,000 picture") << png(huge);
        QTest::newRow("a missing file") << QByteArray();
    }
    void failedLoadLeavesNothing()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"face.png"_s);
        QVERIFY(picture({u"..#.."_s, u".ww.#"_s, u"#www."_s, u".ww.."_s, u"...#."_s}).save(path));
        cPatchImage patch;
        QVERIFY(patch.LoadFromFile(path) && patch.lastError().isNull());
        // The fixed total is larger than the margins: the box is the fixed total.
        int w = -1, h = -1, x = -1, y = -1;
        QVERIFY(patch.CalcBoundingBox(0, 0, w, h, x, y));
        QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 2, 2));
        QVERIFY(bytes.isNull() ? !patch.LoadFromFile(u"/no/such/face.png"_s) : !patch.LoadFromByteArray(bytes));
        QVERIFY(patch.lastError().source.startsWith(bytes.isNull() ? u"cPatchImage.LoadFromFile"_s
                                                                   : u"cPatchImage.LoadFromByteArray"_s));
        QVERIFY(!patch.lastError().description.isEmpty() && patch.Bitmap().isNull());
        QCOMPARE(patch.horizontalSegments(), PatchSegments{PatchSegment{}});
        QCOMPARE(patch.contentMargins(), QMargins());
        QVERIFY(render(patch, QSize(4, 4), QRect(0, 0, 4, 4)).isEmpty());
    }

    void embeddedAtlasIsTheGeneratorsOutput()
    {
        const QImage drawn = AtlasPainter::draw();
        QVERIFY(StyleAtlas::instance().isValid() && StyleAtlas::instance().image() == drawn);
        QCOMPARE(StyleAtlas::embeddedPng(), AtlasPainter::encodePng(drawn));
        // Cuts outside the atlas give nothing.
        QVERIFY(!StyleAtlas::instance().pvResExtract(-1, 0, 21, 21));
        QVERIFY(!StyleAtlas::instance().pvResExtract(12, 84, 19, 52)); // across the right edge
        QVERIFY(!StyleAtlas::instance().pvResExtract(11, 136, 21, 23)); // below the bottom edge
        QVERIFY(!StyleAtlas::pvResExtract(QImage(), 0, 0, 21, 21));
    }

    void everyCellLoadsWithItsRunsAndMargins_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<int>>("across");
        QTest::addColumn<QList<int>>("down");
        for (const auto &[family, name, cells, across, down] :
             {std::tuple{0, "flat", 41, QList{9, 1, 9}, QList{9, 1, 9}},
              {1, "tall", 11, {8, 1, 8}, {9, 32, 9}},
              {2, "card", 8, {9, 1, 9}, {9, 1, 11}}})
            for (int i = 0; i < cells; ++i)
                QTest::addRow("%s %d", name, i) << family << i << across << down;
    }
    void everyCellLoadsWithItsRunsAndMargins()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        QFETCH(QList<int>, across);
        QFETCH(QList<int>, down);
        const StyleAtlas::Family f = QList{StyleAtlas::Flat, StyleAtlas::Tall, StyleAtlas::Card}[family];
        const auto patch = StyleAtlas::instance().pvResExtract(index, f.top, f.cellWidth, f.cellHeight);
        QVERIFY(patch);
        QCOMPARE(patch->horizontalSegments(), segments(across));
        QCOMPARE(patch->verticalSegments(), segments(down));
        QCOMPARE(patch->contentMargins(), QMargins(across[0], down[0], across[2], down[2]));
    }
};

QTEST_GUILESS_MAIN(tst_cPatchImage)
#include "tst_cPatchImage.moc"
