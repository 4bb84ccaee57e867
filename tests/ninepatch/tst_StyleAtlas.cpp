#include "AtlasPainter.h"
#include "ButtonTestSupport.h"
#include "StyleAtlas.h"
#include "cPatchImage.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace buttontest;

namespace {

PatchSegments segments(const QList<int> &r)
{
    return {{0, 1, r[0] + r[2]}, {0, 1, r[0]}, {1, r[0] + 1, r[1]}, {0, r[0] + r[1] + 1, r[2]}};
}

QRgb atlasPixel(const StyleAtlas::Family &f, int index, int x, int y)
{
    const int offset = index * f.cellWidth; // cells wrap at the atlas width
    const QPoint origin(offset % StyleAtlas::Width, f.top + f.cellHeight * (offset / StyleAtlas::Width));
    return StyleAtlas::instance().image().pixel(origin + QPoint(x, y));
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
        QCOMPARE(drawn.size(), QSize(231, 159));
        QCOMPARE(StyleAtlas::instance().image(), drawn);
        QVERIFY(StyleAtlas::instance().isValid());
        const QByteArray embedded = StyleAtlas::embeddedPng();
        QCOMPARE(embedded.mid(24, 2), "\x08\x06"_ba); // 8 bits a channel, RGBA
        QCOMPARE(embedded, AtlasPainter::encodePng(drawn));
    }

    void everyCellLoadsWithItsRunsAndMargins_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<int>>("across");
        QTest::addColumn<QList<int>>("down");
        const auto add = [](const QString &name, int count, const QList<int> &across, const QList<int> &down) {
            for (int i = 0; i < count; ++i)
                QTest::addRow("%s %d", qPrintable(name), i) << name << i << across << down;
        };
        add(u"flat"_s, 41, {9, 1, 9}, {9, 1, 9});
        add(u"tall"_s, 11, {8, 1, 8}, {9, 32, 9});
        add(u"card"_s, 8, {9, 1, 9}, {9, 1, 11});
    }
    void everyCellLoadsWithItsRunsAndMargins()
    {
        QFETCH(QString, family);
        QFETCH(int, index);
        QFETCH(QList<int>, across);
        QFETCH(QList<int>, down);
        const StyleAtlas::Family f = buttontest::family(family);
        const auto patch = cell(family, index);
        QVERIFY(patch);
        QCOMPARE(QSize(patch->width(), patch->height()), QSize(f.cellWidth, f.cellHeight));
        QCOMPARE(patch->horizontalSegments(), segments(across));
        QCOMPARE(patch->verticalSegments(), segments(down));
        QCOMPARE(patch->contentMargins(), QMargins(across[0], down[0], across[2], down[2]));
        QCOMPARE(atlasPixel(f, index, 0, 0), Frame);
        QCOMPARE(atlasPixel(f, index, f.cellWidth - 1, 0), Frame);
    }

    void faceColours_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("index");
        QTest::addColumn<QRgb>("colour");
        const auto add = [](const QString &family, int index, QRgb colour) {
            QTest::addRow("%s %d", qPrintable(family), index) << family << index << colour;
        };
        for (const auto &[index, colour] : std::initializer_list<std::pair<int, QRgb>>{{0, qRgb(83, 130, 204)},
                                                                                       {5, qRgb(255, 255, 255)},
                                                                                       {7, qRgb(246, 246, 246)},
                                                                                       {8, qRgb(135, 142, 149)},
                                                                                       {9, qRgb(230, 229, 229)},
                                                                                       {11, qRgb(111, 184, 38)},
                                                                                       {16, qRgb(192, 30, 38)},
                                                                                       {21, qRgb(235, 193, 51)},
                                                                                       {26, qRgb(94, 173, 239)},
                                                                                       {31, qRgb(248, 249, 250)},
                                                                                       {36, qRgb(53, 58, 64)}})
            add(u"flat"_s, index, colour);
        add(u"tall"_s, 4, qRgb(82, 182, 83));
        add(u"tall"_s, 7, qRgb(174, 31, 49));
        for (int i = 0; i < 7; ++i)
            add(u"card"_s, i, qRgb(255, 255, 255));
    }
    void faceColours()
    {
        QFETCH(QString, family);
        QFETCH(int, index);
        QFETCH(QRgb, colour);
        QCOMPARE(centre(buttontest::family(family), index), colour);
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
        const StyleAtlas::Family f = buttontest::family(family);
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
            for (int y = 18; y <= 21; ++y) // below the face
                for (int x = 1; x < f.cellWidth - 1; ++x)
                    strongest = std::max(strongest, qAlpha(atlasPixel(f, index, x, y)));
            QVERIFY2(index == 3 ? strongest == 0 : strongest >= 1 && strongest <= 10,
                     qPrintable(QString::number(index)));
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
};

QTEST_GUILESS_MAIN(tst_StyleAtlas)
#include "tst_StyleAtlas.moc"
