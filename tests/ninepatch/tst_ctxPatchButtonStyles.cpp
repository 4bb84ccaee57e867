#include "ButtonTestSupport.h"
#include "StyleAtlas.h"
#include "cPatchImage.h"
#include "ctxPatchButton.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace buttontest;

namespace {

StyleAtlas::Family family(const QString &name)
{
    return name == "flat"_L1 ? StyleAtlas::Flat : name == "tall"_L1 ? StyleAtlas::Tall : StyleAtlas::Card;
}

QImage cellBitmap(const QString &familyName, int index)
{
    const StyleAtlas::Family f = family(familyName);
    const auto cell = StyleAtlas::instance().pvResExtract(index, f.top, f.cellWidth, f.cellHeight);
    return cell ? cell->Bitmap() : QImage();
}

bool near(QRgb a, QRgb b)
{
    return qAbs(qRed(a) - qRed(b)) <= 2 && qAbs(qGreen(a) - qGreen(b)) <= 2 && qAbs(qBlue(a) - qBlue(b)) <= 2
        && qAbs(qAlpha(a) - qAlpha(b)) <= 2;
}

// Pixels that are invisible compare equal whatever colour they hold.
bool samePixel(QRgb a, QRgb b)
{
    return (qAlpha(a) == 0 && qAlpha(b) == 0) || near(a, b);
}

} // namespace

class tst_ctxPatchButtonStyles : public QObject
{
    Q_OBJECT

private slots:
    void style6KeepsItsCornersAtAnySize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("narrower than the corners") << QSize(12, 12);
        QTest::newRow("19 x 19") << QSize(19, 19);
        QTest::newRow("a unit panel button") << QSize(40, 33);
        QTest::newRow("150 x 40") << QSize(150, 40);
        QTest::newRow("a tall one") << QSize(30, 200);
    }

    void style6KeepsItsCornersAtAnySize()
    {
        QFETCH(QSize, size);
        ctxPatchButton b;
        b.resize(size);
        b.setStyle(6);
        int left = -1, top = -1, width = -1, height = -1;
        connect(&b, &ctxPatchButton::OwnerDraw, this,
                [&](QPainter *, const QFont &, qint32, int &l, int &t, int &w, int &h, QString &, const QImage &) {
                    left = l;
                    top = t;
                    width = w;
                    height = h;
                });
        b.render();
        const QImage face = straight(b.currentFace());
        const QImage cell = cellBitmap(u"flat"_s, 0);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                QVERIFY(samePixel(face.pixel(x, y), cell.pixel(1 + x, 1 + y)));
                if (size.width() >= 19 && size.height() >= 19) {
                    const QRgb corner = face.pixel(size.width() - 9 + x, size.height() - 9 + y);
                    QVERIFY(samePixel(corner, cell.pixel(11 + x, 11 + y)));
                }
            }
        if (size.width() >= 19 && size.height() >= 19)
            QCOMPARE(face.pixel(size.width() / 2, size.height() / 2), qRgb(83, 130, 204));
        // The caption goes in the button less 9 pixels on every side.
        QCOMPARE(left, 9);
        QCOMPARE(top, 9);
        QCOMPARE(width, qMax(0, size.width() - 18));
        QCOMPARE(height, qMax(0, size.height() - 18));
    }

    void stylesTakeTheirCells_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("cell"); // -1: no image
        QTest::newRow("7 normal") << 7 << 0 << u"flat"_s << 5;
        QTest::newRow("7 hover") << 7 << 1 << u"flat"_s << 7;
        QTest::newRow("7 pressed") << 7 << 2 << u"flat"_s << 9;
        QTest::newRow("7 focus") << 7 << 8 << u"flat"_s << 10;
        QTest::newRow("15 normal") << 15 << 0 << u"flat"_s << 6;
        QTest::newRow("15 hover") << 15 << 1 << u"flat"_s << 8;
        QTest::newRow("15 pressed") << 15 << 2 << u"flat"_s << 8;
        QTest::newRow("15 focus") << 15 << 8 << u"flat"_s << 9;
        QTest::newRow("14 hover, one cell back") << 14 << 1 << u"flat"_s << 0;
        QTest::newRow("1 normal") << 1 << 0 << u"tall"_s << 0;
        QTest::newRow("3 pressed") << 3 << 2 << u"tall"_s << 9;
        QTest::newRow("3 disabled") << 3 << 4 << u"tall"_s << 3;
        QTest::newRow("4 normal: the grey face") << 4 << 0 << u"tall"_s << 0;
        QTest::newRow("4 hover") << 4 << 1 << u"tall"_s << 5;
        QTest::newRow("22 normal") << 22 << 0 << u"card"_s << 0;
        QTest::newRow("22 hover: none of its own") << 22 << 1 << u"card"_s << -1;
        QTest::newRow("28 normal") << 28 << 0 << u"card"_s << 6;
        QTest::newRow("28 focus") << 28 << 8 << u"card"_s << 7;
        for (int entry : {0, 8}) {
            QTest::addRow("29, entry %d", entry) << 29 << entry << u"flat"_s << -1;
            QTest::addRow("-1, entry %d", entry) << -1 << entry << u"flat"_s << -1;
        }
    }

    void stylesTakeTheirCells()
    {
        QFETCH(int, style);
        QFETCH(int, entry);
        QFETCH(QString, family);
        QFETCH(int, cell);
        ctxPatchButton b;
        b.setStyle(style);
        QCOMPARE(b.Style(), style);
        const QImage image = b.ButtonImageBitmap(entry);
        if (cell < 0)
            QVERIFY(image.isNull());
        else
            QCOMPARE(image, cellBitmap(family, cell));
    }

    void stylesSetColoursAndDuration_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<qint32>("foreColor");
        QTest::addColumn<double>("duration");
        QTest::addColumn<qint32>("normalText");
        QTest::addColumn<double>("normalShadow");
        QTest::newRow("6 blue flat") << 6 << qint32(0xFFFFFF) << 0.2 << -1 << 0.2;
        QTest::newRow("7 white flat") << 7 << qint32(0x575049) << 0.2 << -1 << 0.8;
        QTest::newRow("5 red tall with red text") << 5 << qint32(0xFFFFFF) << 0.2 << qint32(0x3124CB) << 0.8;
        QTest::newRow("14 blue outline") << 14 << qint32(0xCF7F46) << 0.2 << -1 << 0.0;
        QTest::newRow("22 card keeps the duration") << 22 << qint32(0) << 1.5 << -1 << 0.5;
        QTest::newRow("29 changes nothing but the table") << 29 << qint32(0x123456) << 1.5 << -1 << 0.5;
    }

    void stylesSetColoursAndDuration()
    {
        QFETCH(int, style);
        QFETCH(qint32, foreColor);
        QFETCH(double, duration);
        QFETCH(qint32, normalText);
        QFETCH(double, normalShadow);
        ctxPatchButton b;
        b.setForeColor(0x123456);
        b.setAnimationDuration(1.5);
        b.setStyle(style);
        QCOMPARE(b.ForeColor(), foreColor);
        QCOMPARE(b.AnimationDuration(), duration);
        QCOMPARE(b.ButtonTextColor(0), normalText);
        QCOMPARE(b.ButtonShadowOpacity(0), normalShadow);
    }

    void cardOnHoverShowsItsNormalFace()
    {
        ctxPatchButton b;
        b.resize(50, 30);
        b.setStyle(22);
        b.render();
        const QImage normal = b.currentFace();
        b.setButtonState(ctxPatchButton::StateHover);
        QCOMPARE(b.currentFace(), normal);
        QCOMPARE(b.render(), b.render());
    }

    void flatDisabledIsTheNormalFaceFaded()
    {
        ctxPatchButton b;
        b.resize(50, 30);
        b.setStyle(9);
        b.setAnimationDuration(0);
        b.render();
        const QImage normal = b.currentFace();
        b.setEnabledState(false);
        QCOMPARE(b.currentFace(), normal);
        QCOMPARE(b.faceOpacity(), 0.65);
    }

    void showButtonSwitchesBetweenGreenAndYellow()
    {
        ctxPatchButton b;
        b.resize(33, 33);
        b.setStyle(8);
        b.setButtonState(ctxPatchButton::StateFocused);
        b.render();
        QCOMPARE(straight(b.currentFace()).pixel(16, 16), qRgb(111, 184, 38));
        b.setStyle(10);
        b.render();
        QCOMPARE(straight(b.currentFace()).pixel(16, 16), qRgb(235, 193, 51));
        // The focus ring comes from the new style, not the old one.
        ctxPatchButton fresh;
        fresh.resize(33, 33);
        fresh.setStyle(10);
        fresh.setButtonState(ctxPatchButton::StateFocused);
        fresh.render();
        QCOMPARE(b.focusLayer(), fresh.focusLayer());
        QCOMPARE(b.render(), fresh.render());
    }

    void atlasIsDecodedOncePerProcess()
    {
        ctxPatchButton first;
        first.setStyle(6);
        ctxPatchButton second;
        second.setStyle(13);
        ctxPatchButton third;
        third.setStyle(25);
        QVERIFY(!second.ButtonImageBitmap(0).isNull());
        QCOMPARE(StyleAtlas::decodeCount(), 1);
    }
};

QTEST_MAIN(tst_ctxPatchButtonStyles)
#include "tst_ctxPatchButtonStyles.moc"
