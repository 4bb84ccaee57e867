#include "AtlasPainter.h"
#include "StyleAtlas.h"
#include "cPatchImage.h"

#include <QPainter>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

struct Runs
{
    int before, middle, after;
};

PatchSegments segments(Runs r)
{
    return {{0, 1, r.before + r.after},
            {0, 1, r.before},
            {1, r.before + 1, r.middle},
            {0, r.before + r.middle + 1, r.after}};
}

StyleAtlas::Family familyNamed(const QString &name)
{
    return name == "flat"_L1 ? StyleAtlas::Flat : name == "tall"_L1 ? StyleAtlas::Tall : StyleAtlas::Card;
}

// Top-left corner of a cell in the atlas.
QPoint cellOrigin(const StyleAtlas::Family &f, int index)
{
    const int offset = index * f.cellWidth;
    return {offset % StyleAtlas::Width, f.top + f.cellHeight * (offset / StyleAtlas::Width)};
}

QRgb atlasPixel(const StyleAtlas::Family &f, int index, int x, int y)
{
    return StyleAtlas::instance().image().pixel(cellOrigin(f, index) + QPoint(x, y));
}

QRgb centre(const StyleAtlas::Family &f, int index)
{
    return atlasPixel(f, index, f.cellWidth / 2, f.cellHeight / 2);
}

} // namespace

class tst_StyleAtlas : public QObject
{
    Q_OBJECT

private slots:
    void embeddedAtlasIsTheGeneratorsOutput()
    {
        const QImage drawn = AtlasPainter::draw();
        QCOMPARE(StyleAtlas::instance().image(), drawn);
        const QByteArray embedded = StyleAtlas::embeddedPng();
        QVERIFY(!embedded.isEmpty());
        QCOMPARE(embedded, AtlasPainter::encodePng(drawn));
    }

    void atlasIsAnRgbaPngOfTheListedSize()
    {
        const QByteArray png = StyleAtlas::embeddedPng();
        QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(png.mid(12, 4), "IHDR"_ba);
        QCOMPARE(qFromBigEndian<quint32>(png.constData() + 16), 231u);
        QCOMPARE(qFromBigEndian<quint32>(png.constData() + 20), 159u);
        QCOMPARE(int(png[24]), 8); // bits per channel
        QCOMPARE(int(png[25]), 6); // colour type RGBA
        QVERIFY(StyleAtlas::instance().isValid());
    }

    void everyCellLoadsWithItsRunsAndMargins_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("index");
        for (int i = 0; i < 41; ++i)
            QTest::addRow("flat %d", i) << u"flat"_s << i;
        for (int i = 0; i < 11; ++i)
            QTest::addRow("tall %d", i) << u"tall"_s << i;
        for (int i = 0; i < 8; ++i)
            QTest::addRow("card %d", i) << u"card"_s << i;
    }
    void everyCellLoadsWithItsRunsAndMargins()
    {
        QFETCH(QString, family);
        QFETCH(int, index);
        const StyleAtlas::Family f = familyNamed(family);
        const auto patch = StyleAtlas::instance().pvResExtract(index, f.top, f.cellWidth, f.cellHeight);
        QVERIFY(patch);
        QCOMPARE(patch->width(), f.cellWidth);
        QCOMPARE(patch->height(), f.cellHeight);
        if (family == "flat"_L1) {
            QCOMPARE(patch->horizontalSegments(), segments({9, 1, 9}));
            QCOMPARE(patch->verticalSegments(), segments({9, 1, 9}));
            QCOMPARE(patch->contentMargins(), QMargins(9, 9, 9, 9));
        } else if (family == "tall"_L1) {
            QCOMPARE(patch->horizontalSegments(), segments({8, 1, 8}));
            QCOMPARE(patch->verticalSegments(), segments({9, 32, 9}));
            QCOMPARE(patch->contentMargins(), QMargins(8, 9, 8, 9));
        } else {
            QCOMPARE(patch->horizontalSegments(), segments({9, 1, 9}));
            QCOMPARE(patch->verticalSegments(), segments({9, 1, 11}));
            QCOMPARE(patch->contentMargins(), QMargins(9, 9, 9, 11));
        }
        QCOMPARE(atlasPixel(f, index, 0, 0), 0x00FFFFFFu);
        QCOMPARE(atlasPixel(f, index, f.cellWidth - 1, 0), 0x00FFFFFFu);
    }

    void faceColours_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("index");
        QTest::addColumn<QRgb>("colour");
        const auto flat = [](int i, int r, int g, int b) {
            QTest::addRow("flat %d", i) << u"flat"_s << i << qRgb(r, g, b);
        };
        flat(0, 83, 130, 204);
        flat(5, 255, 255, 255);
        flat(7, 246, 246, 246);
        flat(8, 135, 142, 149);
        flat(9, 230, 229, 229);
        flat(11, 111, 184, 38);
        flat(16, 192, 30, 38);
        flat(21, 235, 193, 51);
        flat(26, 94, 173, 239);
        flat(31, 248, 249, 250);
        flat(36, 53, 58, 64);
        QTest::newRow("tall 4") << u"tall"_s << 4 << qRgb(82, 182, 83);
        QTest::newRow("tall 7") << u"tall"_s << 7 << qRgb(174, 31, 49);
        for (int i = 0; i < 7; ++i)
            QTest::addRow("card %d", i) << u"card"_s << i << qRgb(255, 255, 255);
    }
    void faceColours()
    {
        QFETCH(QString, family);
        QFETCH(int, index);
        QFETCH(QRgb, colour);
        QCOMPARE(centre(familyNamed(family), index), colour);
    }

    void outlineFacesHaveAnOpaqueEdgeAroundANearlyClearInside()
    {
        const StyleAtlas::Family f = StyleAtlas::Flat;
        for (int index : {1, 6, 12, 17, 22, 27, 32, 37}) {
            const QRgb inside = centre(f, index);
            QVERIFY2(qAlpha(inside) > 0 && qAlpha(inside) <= 16, qPrintable(QString::number(index)));
            QCOMPARE(qAlpha(atlasPixel(f, index, 10, 3)), 255); // the face's top edge, where it is straight
            QCOMPARE(qAlpha(atlasPixel(f, index, 3, 10)), 255);
        }
    }

    void ringsAreClearInsideAtTheirAlpha_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("alpha");
        for (int i : {4, 10, 15, 20, 25, 30, 35, 40})
            QTest::addRow("flat %d", i) << u"flat"_s << i << 128;
        QTest::newRow("tall 10") << u"tall"_s << 10 << 64;
        QTest::newRow("card 7") << u"card"_s << 7 << 64;
    }
    void ringsAreClearInsideAtTheirAlpha()
    {
        QFETCH(QString, family);
        QFETCH(int, index);
        QFETCH(int, alpha);
        const StyleAtlas::Family f = familyNamed(family);
        QCOMPARE(qAlpha(centre(f, index)), 0);
        QCOMPARE(qAlpha(atlasPixel(f, index, f.cellWidth / 2, 2)), alpha); // inside the ring band
        QCOMPARE(qAlpha(atlasPixel(f, index, 2, f.cellHeight / 2)), alpha);
        if (family != "flat"_L1)
            QCOMPARE(atlasPixel(f, index, f.cellWidth / 2, 2) | 0xFF000000u, qRgb(56, 131, 251));
    }

    void cardsHaveAFaintShadowExceptCell3()
    {
        const StyleAtlas::Family f = StyleAtlas::Card;
        for (int index = 0; index < 7; ++index) {
            int strongest = 0;
            // Below the face: inner rows 17 to 20 of the cell.
            for (int y = 18; y <= 21; ++y)
                for (int x = 1; x < f.cellWidth - 1; ++x)
                    strongest = std::max(strongest, qAlpha(atlasPixel(f, index, x, y)));
            if (index == 3)
                QCOMPARE(strongest, 0);
            else
                QVERIFY2(strongest >= 1 && strongest <= 10, qPrintable(QString::number(index)));
        }
    }

    void cutOutsideTheAtlasGivesNothing_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("top");
        QTest::addColumn<QSize>("cell");
        QTest::newRow("a negative index") << -1 << 0 << QSize(21, 21);
        QTest::newRow("a cell of no width") << 0 << 0 << QSize(0, 21);
        QTest::newRow("a cell across the right edge") << 12 << 84 << QSize(19, 52);
        QTest::newRow("a cell below the bottom edge") << 11 << 136 << QSize(21, 23);
        QTest::newRow("a huge index") << INT_MAX << 0 << QSize(21, 21);
    }
    void cutOutsideTheAtlasGivesNothing()
    {
        QFETCH(int, index);
        QFETCH(int, top);
        QFETCH(QSize, cell);
        QVERIFY(!StyleAtlas::instance().pvResExtract(index, top, cell.width(), cell.height()));
        QVERIFY(!StyleAtlas::pvResExtract(QImage(), 0, 0, 21, 21));
    }

    void flatFaceKeepsItsCornersAtAnySize()
    {
        const auto patch = StyleAtlas::instance().pvResExtract(0, 0, 21, 21);
        QVERIFY(patch);
        // Premultiplied on both sides, so the comparison is exact also at the antialiased rim.
        QImage out(50, 30, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        QPainter p(&out);
        QVERIFY(patch->DrawToGraphics(&p, 0, 0, 50, 30));
        p.end();
        const QImage source = patch->Bitmap().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                QCOMPARE(out.pixel(x, y), source.pixel(1 + x, 1 + y));
                QCOMPARE(out.pixel(41 + x, 21 + y), source.pixel(11 + x, 11 + y));
            }
        for (int x = 9; x < 41; ++x) // the stretched middle column repeats across the whole middle
            QCOMPARE(out.pixel(x, 0), source.pixel(10, 1));
        int cx = 0, cy = 0, cw = 0, ch = 0;
        patch->CalcClientRect(50, 30, cx, cy, cw, ch);
        QCOMPARE(QRect(cx, cy, cw, ch), QRect(9, 9, 32, 12));
    }
};

QTEST_GUILESS_MAIN(tst_StyleAtlas)
#include "tst_StyleAtlas.moc"
