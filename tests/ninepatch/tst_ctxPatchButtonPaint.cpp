#include "ButtonFace.h"
#include "ButtonTestSupport.h"
#include "ctxPatchButton.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace buttontest;

namespace {

// The box of the pixels that are not fully transparent.
QRect inkBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                box |= QRect(x, y, 1, 1);
    return box;
}

QFont bigFont()
{
    QFont f(u"DejaVu Sans"_s);
    f.setPixelSize(24);
    f.setBold(true);
    return f;
}

} // namespace

class tst_ctxPatchButtonPaint : public QObject
{
    Q_OBJECT

private slots:
    void opacityLeavesTheFocusLayerOpaque_data()
    {
        QTest::addColumn<double>("opacity");
        QTest::addColumn<int>("state");
        QTest::addColumn<QRgb>("expected");
        QTest::newRow("full opacity, focused") << 1.0 << 8 << Blue;
        QTest::newRow("half opacity, focused: the red ring shows through") << 0.5 << 8 << qRgba(127, 0, 128, 255);
        QTest::newRow("half opacity, not focused") << 0.5 << 0 << qRgba(0, 0, 255, 128);
    }

    void opacityLeavesTheFocusLayerOpaque()
    {
        QFETCH(double, opacity);
        QFETCH(int, state);
        QFETCH(QRgb, expected);
        ctxPatchButton b;
        b.resize(20, 10);
        b.setButtonImageBitmap(solidPatch(Blue), 0);
        b.setButtonImageBitmap(solidPatch(Red), 8);
        b.setOpacity(opacity);
        b.setButtonState(state);
        const QImage shown = straight(b.render());
        QVERIFY2(near(shown.pixel(10, 5), expected), qPrintable(QString::number(shown.pixel(10, 5), 16)));
        QCOMPARE(b.focusLayer().isNull(), state == 0);
    }

    void caption_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("state");
        QTest::addColumn<qint32>("entryColour");
        QTest::addColumn<QRgb>("colour");
        QTest::addColumn<QString>("point"); // of the caption's ink box
        QTest::addColumn<QRect>("within");
        QTest::newRow("flags 0: top left; colour -1 takes ForeColor (red)")
            << 0 << 0 << -1 << Red << u"top left"_s << QRect(0, 0, 6, 12);
        QTest::newRow("reset flags 5: centred; an entry colour overrides ForeColor")
            << 5 << 0 << 0x00FF00 << Green << u"centre"_s << QRect(98, 35, 4, 31);
        QTest::newRow("flags 10: bottom right") << 10 << 0 << -1 << Red << u"bottom right"_s << QRect(191, 81, 9, 19);
        QTest::newRow("hover and pressed: shifted by the text offset")
            << 0 << 3 << -1 << Red << u"top left"_s << QRect(6, 9, 6, 12);
        QTest::newRow("pressed alone: not shifted") << 0 << 2 << -1 << Red << u"top left"_s << QRect(0, 0, 6, 12);
    }
    void caption()
    {
        QFETCH(int, flags);
        QFETCH(int, state);
        QFETCH(qint32, entryColour);
        QFETCH(QRgb, colour);
        QFETCH(QString, point);
        QFETCH(QRect, within);
        ctxPatchButton b;
        b.resize(200, 100);
        b.setFont(bigFont());
        b.setCaption(u"MM"_s);
        b.setForeColor(0x0000FF); // red
        b.setButtonTextColor(entryColour, 0);
        b.setButtonTextFlags(flags, 0);
        b.setButtonTextOffsetX(6.4, 0); // whole pixels: 6
        b.setButtonTextOffsetY(9, 0);
        b.setButtonShadowOpacity(0, 0);
        b.setButtonState(state);
        const QImage shown = straight(b.render());
        const QRect box = inkBox(shown);
        const QPoint at = point == "centre"_L1 ? box.center()
            : point == "top left"_L1           ? box.topLeft()
                                               : box.bottomRight();
        QVERIFY2(!box.isEmpty() && within.contains(at), qPrintable(u"%1,%2"_s.arg(at.x()).arg(at.y())));
        int solid = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                if (qAlpha(shown.pixel(x, y)) == 255 && ++solid)
                    QVERIFY(near(shown.pixel(x, y), colour, 3));
        QVERIFY(solid > 20);
    }

    void pictureReplacesCaption_data()
    {
        QTest::addColumn<QVariant>("picture");
        QTest::addColumn<qint32>("mask");
        QTest::addColumn<QRgb>("atCorner");
        QTest::addColumn<QRgb>("atCentre");
        QImage art(6, 4, QImage::Format_ARGB32);
        art.fill(0x80FF0000u); // half-transparent red
        art.setPixel(0, 0, 0xFFFF00FFu);
        QTest::newRow("bitmap: drawn opaque") << QVariant(art) << qint32(-1) << 0xFFFF00FFu << Red;
        QTest::newRow("bitmap: the mask colour is transparent") << QVariant(art) << qint32(0xFF00FF) << 0u << Red;
        QTest::newRow("icon: keeps its own alpha")
            << QVariant(QIcon(QPixmap::fromImage(art))) << qint32(-1) << 0xFFFF00FFu << 0x80FF0000u;
    }

    void pictureReplacesCaption()
    {
        QFETCH(QVariant, picture);
        QFETCH(qint32, mask);
        QFETCH(QRgb, atCorner);
        QFETCH(QRgb, atCentre);
        ctxPatchButton b;
        b.resize(40, 30);
        b.setFont(bigFont());
        b.setCaption(u"Hello"_s);
        b.setMaskColor(mask);
        b.setPicture(picture);
        const QImage shown = straight(b.render());
        // Centred at its own size, (40 - 6) / 2 = 17 and (30 - 4) / 2 = 13; nothing of the caption.
        QVERIFY(inkBox(shown).isEmpty() || QRect(17, 13, 6, 4).contains(inkBox(shown)));
        QVERIFY(near(shown.pixel(17, 13), atCorner));
        QVERIFY(near(shown.pixel(19, 15), atCentre));
    }

    void mergeBitmapByteByByte_data()
    {
        QTest::addColumn<int>("dstWeight");
        QTest::addColumn<int>("srcWeight");
        QTest::addColumn<QRgb>("merged");
        // Straight ARGB bytes: (10, 200, 30, 255) with (250, 0, 90, 0).
        QTest::newRow("half way") << 127 << 128 << qRgba(130, 99, 60, 127);
        QTest::newRow("destination alone") << 255 << 0 << qRgba(10, 200, 30, 255);
        QTest::newRow("source alone") << 0 << 255 << qRgba(250, 0, 90, 0);
        QTest::newRow("overweight is clamped") << 255 << 255 << qRgba(255, 200, 120, 255);
    }

    void mergeBitmapByteByByte()
    {
        QFETCH(int, dstWeight);
        QFETCH(int, srcWeight);
        QFETCH(QRgb, merged);
        QImage dst(3, 2, QImage::Format_ARGB32);
        dst.fill(qRgba(10, 200, 30, 255));
        QImage src(2, 1, QImage::Format_ARGB32); // smaller: only its row and columns are mixed
        src.fill(qRgba(250, 0, 90, 0));
        QVERIFY(buttonface::pvMergeBitmap(dst, src, dstWeight, srcWeight));
        QCOMPARE(dst.pixel(0, 0), merged);
        QCOMPARE(dst.pixel(1, 0), merged);
        QCOMPARE(dst.pixel(2, 0), qRgba(10, 200, 30, 255));
        QCOMPARE(dst.pixel(0, 1), qRgba(10, 200, 30, 255));
    }

    void crossFadeShowsOldThenNewFace()
    {
        ManualClock clock;
        auto make = [&clock] {
            auto b = std::make_unique<ctxPatchButton>();
            b->setAnimationClock(&clock);
            b->resize(12, 6);
            b->setButtonImageBitmap(solidPatch(Red, 1, 0x00000000u), 0);
            b->setButtonImageBitmap(solidPatch(Blue, 1, 0x4000FF00u), 1);
            b->setButtonImageOpacity(0.5, 1);
            return b;
        };
        const auto normal = make();
        const auto hover = make();
        hover->setButtonState(1);
        const QImage normalLook = normal->render();
        const QImage hoverLook = hover->render();

        const auto b = make();
        b->setAnimationDuration(1.0);
        b->render();
        b->setButtonState(1);
        QCOMPARE(b->animationProgress(), 0.0);
        QCOMPARE(b->render(), normalLook);
        QVERIFY(b->frameTimerActive());

        clock.now += 0.5;
        b->TimerProc();
        QCOMPARE(b->animationProgress(), 0.5);
        QCOMPARE(b->faceOpacity(), 0.75); // half way between the two faces' opacities

        clock.now += 0.5;
        b->TimerProc();
        QCOMPARE(b->animationProgress(), 1.0);
        QVERIFY(!b->frameTimerActive());
        QCOMPARE(b->render(), hoverLook);
    }

    void facesAreRebuiltOnlyWhenNeeded()
    {
        ctxPatchButton b;
        b.resize(30, 20);
        b.setButtonImageBitmap(solidPatch(Red), 8);
        b.setButtonState(8);
        int builds = 0;
        connect(&b, &ctxPatchButton::OwnerDraw, this, [&builds] { ++builds; });
        b.render();
        b.setCaption(QString()); // no change
        b.render();
        QCOMPARE(builds, 1);
        const qint64 ring = b.focusLayer().cacheKey();
        b.setCaption(u"x"_s);
        b.render();
        QCOMPARE(builds, 2);
        QCOMPARE(b.focusLayer().cacheKey(), ring); // survives a property change
        b.setAutoRedraw(true);
        b.render();
        QCOMPARE(builds, 3);
        b.resize(31, 20);
        b.render();
        QCOMPARE(b.focusLayer().size(), QSize(31, 20));
    }

    void ownerDrawMayChangeTheClientArea()
    {
        ctxPatchButton b;
        b.resize(60, 30);
        b.setFont(bigFont());
        b.setCaption(u"Hello"_s);
        connect(&b, &ctxPatchButton::OwnerDraw, this,
                [](QPainter *g, const QFont &, qint32, int &, int &, int &width, int &, QString &, const QImage &) {
                    g->fillRect(0, 0, 2, 2, Qt::green);
                    width = 0; // no room: the caption is not drawn
                });
        QCOMPARE(inkBox(b.render()), QRect(0, 0, 2, 2));
    }

    void failingFaceShowsTheStandIn()
    {
        ctxPatchButton b;
        b.resize(20, 12);
        b.setCaption(u"x"_s);
        connect(&b, &ctxPatchButton::OwnerDraw, this, [] { throw std::runtime_error("host failed"); });
        const QImage shown = straight(b.render());
        QCOMPARE(shown.pixel(0, 0), qRgb(255, 255, 224));
        QCOMPARE(shown.pixel(2, 2), b.palette().color(QPalette::Dark).rgba());
        QCOMPARE(shown.pixel(16, 2), b.palette().color(QPalette::Dark).rgba()); // the outline ends at width - 4
        QCOMPARE(shown.pixel(17, 2), qRgb(255, 255, 224));
    }

    void zoomScalesAboutTheCentre()
    {
        ctxPatchButton b;
        b.resize(40, 20);
        b.setButtonImageBitmap(solidPatch(Blue), 0);
        b.setButtonImageZoom(0.5, 0);
        const QImage shown = straight(b.render());
        QCOMPARE(shown.pixel(20, 10), Blue);
        QCOMPARE(inkBox(shown), QRect(10, 5, 20, 10));
    }
};

QTEST_MAIN(tst_ctxPatchButtonPaint)
#include "tst_ctxPatchButtonPaint.moc"
