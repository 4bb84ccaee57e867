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

    void cellLooks_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("index");
        QTest::addColumn<QPoint>("at"); // in the cell; (-1, -1): its centre
        QTest::addColumn<int>("minAlpha");
        QTest::addColumn<int>("maxAlpha");
        QTest::addColumn<QRgb>("colour"); // 0: not compared
        const QPoint centre(-1, -1);
        QTest::newRow("flat 0: blue face") << u"flat"_s << 0 << centre << 255 << 255 << qRgb(83, 130, 204);
        QTest::newRow("flat 8: grey face") << u"flat"_s << 8 << centre << 255 << 255 << qRgb(135, 142, 149);
        QTest::newRow("flat 21: yellow face") << u"flat"_s << 21 << centre << 255 << 255 << qRgb(235, 193, 51);
        QTest::newRow("tall 7: red face") << u"tall"_s << 7 << centre << 255 << 255 << qRgb(174, 31, 49);
        QTest::newRow("card 3: white face") << u"card"_s << 3 << centre << 255 << 255 << qRgb(255, 255, 255);
        for (int i : {1, 22, 37}) {
            QTest::addRow("flat %d: outline nearly clear inside", i) << u"flat"_s << i << centre << 1 << 16 << 0u;
            QTest::addRow("flat %d: outline opaque at its edge", i)
                << u"flat"_s << i << QPoint(10, 3) << 255 << 255 << 0u;
        }
        for (int i : {4, 40}) {
            QTest::addRow("flat %d: ring clear inside", i) << u"flat"_s << i << centre << 0 << 0 << 0u;
            QTest::addRow("flat %d: ring band", i) << u"flat"_s << i << QPoint(2, 10) << 128 << 128 << 0u;
        }
        QTest::newRow("tall 10: focus ring band") << u"tall"_s << 10 << QPoint(9, 2) << 64 << 64 << qRgb(56, 131, 251);
        QTest::newRow("card 7: focus ring band") << u"card"_s << 7 << QPoint(2, 11) << 64 << 64 << qRgb(56, 131, 251);
    }
    void cellLooks()
    {
        QFETCH(QString, family);
        QFETCH(int, index);
        QFETCH(QPoint, at);
        QFETCH(int, minAlpha);
        QFETCH(int, maxAlpha);
        QFETCH(QRgb, colour);
        const StyleAtlas::Family f = buttontest::family(family);
        const QRgb pixel = at.x() < 0 ? centre(f, index) : atlasPixel(f, index, at.x(), at.y());
        QVERIFY2(qAlpha(pixel) >= minAlpha && qAlpha(pixel) <= maxAlpha, qPrintable(QString::number(qAlpha(pixel))));
        if (colour)
            QCOMPARE(pixel | 0xFF000000u, colour);
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
