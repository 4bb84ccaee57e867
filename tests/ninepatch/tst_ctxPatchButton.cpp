#include "ninepatch/ButtonFace.h"
#include "ninepatch/PropertyBag.h"
#include "ninepatch/StoredLayout.h"
#include "ninepatch/StyleAtlas.h"
#include "ninepatch/ctxPatchButton.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb Red = 0xFFFF0000u, Green = 0xFF00FF00u, Blue = 0xFF0000FFu;
constexpr int Hover = ctxPatchButton::StateHover, Focused = ctxPatchButton::StateFocused;

// A one-colour nine-patch whose middle row and column stretch; `corner` > 0 gives fixed corners of
// that size in `cornerColour`.
QImage solidPatch(QRgb colour, int corner = 0, QRgb cornerColour = 0)
{
    const int side = 2 * corner + 3;
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(0x00FFFFFFu); // the frame: transparent white
    for (int y = 1; y < side - 1; ++y)
        for (int x = 1; x < side - 1; ++x) {
            const bool inCorner = (x <= corner || x >= side - 1 - corner) && (y <= corner || y >= side - 1 - corner);
            image.setPixel(x, y, inCorner && corner > 0 ? cornerColour : colour);
        }
    image.setPixel(corner + 1, 0, 0xFF000000u); // the stretch markers
    image.setPixel(0, corner + 1, 0xFF000000u);
    return image;
}

// A clock the test moves, on the 0 ms frame timer, so a fade draws its frames as fast as the loop runs; each
// reading moves it on by `step`.
struct ManualClock : AnimationClock
{
    double monotonicSeconds() const override { return now += step; }
    int frameIntervalMs() const override { return 0; }
    mutable double now = 1000.0, step = 0.0;
};

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

} // namespace

// A window that ends hovers itself, as a host may: it is told of each button on its first hover.
class CancellingHost : public QWidget
{
    Q_OBJECT
public:
    Q_INVOKABLE void RegisterCancelMode(ctxPatchButton *button) { registered.append(button); }
    QList<ctxPatchButton *> registered;
};

// The console's push button: the state machine and its input, the fades, the painting, the styles, the
// stored layouts and the text form of their properties.
class tst_ctxPatchButton : public QObject
{
    Q_OBJECT

    // A 60 x 30 blue button at (20, 20) of a shown window, with 2-pixel corners of the given colour.
    // Declared first, so it outlives the host: closing the host still reads it.
    ManualClock m_clock;
    std::unique_ptr<CancellingHost> m_host;
    ctxPatchButton *m_button = nullptr;

    bool makeButton(QRgb corner = 0x00000000u)
    {
        m_host.reset(new CancellingHost);
        m_host->resize(200, 100);
        m_button = new ctxPatchButton(m_host.get());
        m_button->setAnimationClock(&m_clock);
        m_button->setGeometry(20, 20, 60, 30);
        m_button->setButtonImageBitmap(solidPatch(Blue, 2, corner), 0);
        m_host->show();
        if (!QTest::qWaitForWindowExposed(m_host.get()))
            return false;
        // The shown window is active and has focused its first button; the tests start without focus.
        m_button->clearFocus();
        // The pointer starts away from the button (a move to where it already is would be dropped).
        QTest::mouseMove(m_host.get(), QPoint(190, 90));
        m_button->render(); // faces prepared: state changes now fade
        return m_button->ButtonState() == 0;
    }

private slots:
    void cleanup()
    {
        m_host.reset();
        m_clock = ManualClock();
    }

    void styleChangesRebuildOnlyWhenTheStyleDiffers()
    {
        ctxPatchButton b, fresh;
        for (ctxPatchButton *each : {&b, &fresh}) {
            each->resize(33, 33);
            each->setButtonState(Focused);
        }
        b.setButtonStyle(8);
        b.setButtonTextColor(0x123456, 0);
        b.render();
        QSignalSpy changed(&b, &ctxPatchButton::propertyChanged);
        b.setButtonStyle(8); // the same style: no reset of the table, no rebuild
        QVERIFY(b.ButtonTextColor(0) == 0x123456 && b.facesPrepared() && changed.isEmpty());
        b.setButtonStyle(10);
        QVERIFY(b.ButtonTextColor(0) == -1 && changed.contains(QVariantList{u"Style"_s}));
        // The face and the focus ring come from the new style, not the old one.
        fresh.setButtonStyle(10);
        QCOMPARE(b.render(), fresh.render());
        QCOMPARE(b.focusLayer(), fresh.focusLayer());
        QCOMPARE(StyleAtlas::decodeCount(), 1); // the atlas is decoded once a process
        b.setCaption(QString()); // no change, no rebuild
        QVERIFY(b.facesPrepared());
        b.setCaption(u"x"_s);
        QVERIFY(!b.facesPrepared());
        b.resize(34, 33);
        b.render();
        QCOMPARE(b.focusLayer().size(), QSize(34, 33));
        b.setButtonStyle(29); // no such style: no face
        QVERIFY(b.ButtonImageBitmap(0).isNull());
    }

    void mouseSequences_data()
    {
        // "check N" compares the state, "right-" uses the right button, "swallow" zeroes every KeyPress, "suppress"
        // sets the button to -1 in MouseUp, "manual" sets ManualFocus, "focus" focuses; "units U" names the host's
        // scale, "twips/pixels X" checks the last MouseDown x, "registered N" the host's registrations, "take" handles
        // RegisterCancelMode, "cancel" is the host's CancelMode, "slow" makes fades last, "fading 0/1" checks for one
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QRgb>("corner");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("menus");
        QTest::addColumn<int>("finalState"); // -1: not compared
        auto row = [](const char *name, const char *steps, int clicks, int menus, int finalState, QRgb corner = 0) {
            QTest::newRow(name) << QString::fromLatin1(steps) << corner << clicks << menus << finalState;
        };
        row("left click, positions in twips", "move 30 15, press 30 15, twips 30, check 11, release 30 15", 1, 0, 9);
        row("press on a transparent corner, release inside", "press 1 1, check 0, release 1 1", 1, 0, 0);
        row("half-transparent corner presses", "press 1 1, check 10, release 1 1", 1, 0, 8, qRgba(0, 0, 0, 128));
        row("out and back in with the button held",
            "move 30 15, press 30 15, move -10 15, check 9, move 30 15, check 11, release 30 15", 1, 0, 9);
        row("leaving ends the hover", "move 30 15, check 1, leave", 0, 0, 0);
        row("released outside, unknown scale in twips",
            "units Furlong, move 30 15, press 30 15, twips 30, release 70 15", 0, 0, 8);
        row("right button, positions in pixels",
            "units Pixel, right-press 30 15, pixels 30, check 0, right-release 30 15", 0, 1, 0);
        row("host ends hover and press: no click",
            "move 30 15, registered 1, press 30 15, check 11, cancel, check 8, release 30 15", 0, 0, 8);
        row("handler keeps the registration from the host", "take, move 30 15, registered 0", 0, 0, 1);
        row("hiding ends hover and fade", "slow, move 30 15, fading 1, hide, fading 0, check 0", 0, 0, 0);
        row("double click", "press 30 15, release 30 15, dclick 30 15, release 30 15", 2, 0, 8);
        row("MouseUp setting the button to -1: no click", "suppress, press 30 15, release 30 15", 0, 0, -1);
        row("ManualFocus: no focus bit", "manual, focus, check 0, press 30 15, check 2, release 30 15", 1, 0, 0);
        row("Enter, keypad Enter, Space click", "focus, key Return, key Enter, key Space, key A", 3, 0, 8);
        row("Space taken by a KeyPress handler", "swallow, focus, key Space", 0, 0, 8);
        row("an action that throws is said, the button goes on", "throw, move 30 15, press 30 15, release 30 15", 1, 0,
            9);
        // Every frame finds the clock 5 ms on: a fade of 0.2 s runs on its frame timer to the end, 40 frames or more.
        row("a fade runs to its end", "timed, move 30 15, faded", 0, 0, 1);
    }
    void mouseSequences()
    {
        QFETCH(QString, steps);
        QFETCH(QRgb, corner);
        QFETCH(int, finalState);
        QVERIFY(makeButton(corner));
        ctxPatchButton *b = m_button;
        QSignalSpy click(b, &ctxPatchButton::Click);
        QSignalSpy menu(b, &ctxPatchButton::ContextMenu);
        QSignalSpy down(b, &ctxPatchButton::KeyDown);
        QSignalSpy up(b, &ctxPatchButton::KeyUp);
        QSignalSpy dbl(b, &ctxPatchButton::DblClick);
        QStringList failed;
        ctxPatchButton::setActionFailedHandler(
            [&failed](const ctxPatchButton &, const QString &what) { failed << what; });
        double downX = -1, started = 0;
        connect(b, &ctxPatchButton::MouseDown, this, [&downX](int &, int &, double x, double) { downX = x; });
        const QStringList mouse{u"press"_s, u"release"_s, u"click"_s, u"dclick"_s, u"move"_s}; // QTest::MouseAction
        QEvent leave(QEvent::Leave);
        for (const QString &step : steps.split(u", "_s)) {
            const QStringList w = step.split(u' ');
            const QString verb = QString(w[0]).remove("right-"_L1);
            if (mouse.contains(verb))
                QTest::mouseEvent(QTest::MouseAction(mouse.indexOf(verb)), b,
                                  verb == w[0] ? Qt::LeftButton : Qt::RightButton, {},
                                  QPoint(w[1].toInt(), w[2].toInt()));
            else if (verb == "check"_L1)
                QCOMPARE(b->ButtonState(), w[1].toInt());
            else if (verb == "key"_L1)
                QTest::keyClick(b, QKeySequence::fromString(w[1])[0].key());
            else if (verb == "leave"_L1)
                QApplication::sendEvent(b, &leave);
            else if (verb == "suppress"_L1)
                connect(b, &ctxPatchButton::MouseUp, this, [](int &button, int &, double, double) { button = -1; });
            else if (verb == "swallow"_L1)
                connect(b, &ctxPatchButton::KeyPress, this, [](int &ascii) { ascii = 0; });
            else if (verb == "manual"_L1)
                b->setManualFocus(true);
            else if (verb == "units"_L1)
                m_host->setProperty("ScaleUnits", w[1]);
            else if (verb == "twips"_L1 || verb == "pixels"_L1)
                QCOMPARE(downX, w[1].toDouble() * (verb == "twips"_L1 ? 1440.0 / b->logicalDpiX() : 1.0));
            else if (verb == "registered"_L1)
                QCOMPARE(m_host->registered.size(), w[1].toInt());
            else if (verb == "take"_L1)
                connect(b, &ctxPatchButton::RegisterCancelMode, this, [](ctxPatchButton *, bool &h) { h = true; });
            else if (verb == "cancel"_L1)
                m_host->registered.value(0, b)->CancelMode();
            else if (verb == "slow"_L1)
                b->setAnimationDuration(1.0);
            else if (verb == "fading"_L1)
                QCOMPARE(b->frameTimerActive() || !b->previousFace().isNull(), w[1] == "1"_L1);
            else if (verb == "timed"_L1) {
                m_clock.step = 0.005;
                b->setAnimationDuration(0.2);
                started = m_clock.now;
            } else if (verb == "faded"_L1) {
                QTRY_COMPARE(b->animationProgress(), 1.0);
                QVERIFY(!b->frameTimerActive());
                QVERIFY2(m_clock.now - started >= 0.2 && m_clock.now - started < 0.25,
                         qPrintable(QString::number(m_clock.now - started)));
            } else if (verb == "hide"_L1)
                b->hide();
            else if (verb == "throw"_L1)
                connect(b, &ctxPatchButton::Click, this, [] { throw std::runtime_error("disk gone"); });
            else {
                QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
                b->setFocus();
                QVERIFY(b->hasFocus());
            }
        }
        QTEST(int(click.count()), "clicks");
        QTEST(int(menu.count()), "menus");
        QCOMPARE(dbl.count(), steps.count("dclick"_L1));
        QCOMPARE(down.count(), steps.count("key "_L1)); // every key reported, clicking or not
        QCOMPARE(up.count(), down.count());
        if (finalState >= 0)
            QCOMPARE(b->ButtonState(), finalState);
        QCOMPARE(failed, steps.startsWith("throw"_L1) ? QStringList{u"disk gone"_s} : QStringList());
        ctxPatchButton::setActionFailedHandler({});
    }

    void crossFadeShowsOldThenNewFace()
    {
        ctxPatchButton hover, b;
        for (ctxPatchButton *each : {&hover, &b}) {
            each->setAnimationClock(&m_clock);
            each->resize(12, 6);
            each->setButtonImageBitmap(solidPatch(Red, 1, 0x00000000u), 0);
            each->setButtonImageBitmap(solidPatch(Blue, 1, 0x4000FF00u), 1);
            each->setButtonImageOpacity(0.5, 1);
        }
        hover.setButtonState(1);
        b.setAnimationDuration(1.0);
        const QImage normalLook = b.render();
        b.setButtonState(1);
        QVERIFY(b.animationProgress() == 0.0 && b.frameTimerActive());
        QCOMPARE(b.render(), normalLook);

        // A frame alone does not move the fade on; half way the opacity is half way between the faces'.
        for (const auto &[seconds, progress] : {std::pair{0.5, 0.5}, {0.0, 0.5}, {0.5, 1.0}}) {
            m_clock.now += seconds;
            b.TimerProc();
            QCOMPARE(b.animationProgress(), progress);
            QCOMPARE(b.faceOpacity(), progress < 1 ? 0.75 : 0.5);
        }
        QVERIFY(!b.frameTimerActive());
        QCOMPARE(b.render(), hover.render());

        // No duration, or one that is no number, changes at once.
        for (const double duration : {qQNaN(), qInf(), 0.0}) {
            b.setAnimationDuration(duration);
            b.setButtonState(b.ButtonState() ^ Hover);
            QVERIFY(b.animationProgress() == 1.0 && !b.frameTimerActive());
        }
        // Hover, then pressed: the face faded from is the normal one, not the hover face.
        b.setButtonImageBitmap(solidPatch(Green), 2);
        b.setButtonState(Hover);
        b.render();
        b.setButtonState(10);
        QCOMPARE(b.previousFace().pixel(6, 3), Red);
        QCOMPARE(b.currentFace().pixel(6, 3), Green);

        // Disabled without a disabled face: the normal face, at its own opacity times the control's.
        b.setButtonState(0);
        b.setButtonImageOpacity(0.8, 0);
        b.setOpacity(0.5);
        const QImage enabled = b.render();
        b.setEnabledState(false);
        QCOMPARE(b.ButtonState(), int(ctxPatchButton::StateDisabled));
        QCOMPARE(b.render(), enabled);
        QCOMPARE(b.faceOpacity(), 0.4);
        b.setEnabledState(true);
        QCOMPARE(b.ButtonState(), 0);
    }

    // A picture replaces the caption, a zoom scales about the centre; an owner-draw host may change the client
    // area, and one that throws gets the stand-in face.
    void pictureZoomAndOwnerDraw()
    {
        QImage art(6, 4, QImage::Format_ARGB32);
        art.fill(0x80FF0000u); // half-transparent red
        art.setPixel(0, 0, 0xFFFF00FFu);
        ctxPatchButton b, drawn, zoomed, failing;
        QFont big(u"DejaVu Sans"_s, -1, QFont::Bold);
        big.setPixelSize(24);
        for (ctxPatchButton *each : {&b, &drawn}) {
            each->setFont(big);
            each->setCaption(u"Hello"_s);
        }
        b.resize(40, 30);
        b.setMaskColor(0xFF00FF);
        b.setPicture(art);
        const QImage shown = b.render().convertToFormat(QImage::Format_ARGB32);
        // Centred at its own size, nothing of the caption, the mask colour transparent.
        QVERIFY(QRect(17, 13, 6, 4).contains(inkBox(shown)) && qAlpha(shown.pixel(17, 13)) == 0);
        const QRgb red = shown.pixel(19, 15);
        QVERIFY(qAlpha(red) >= 253 && qRed(red) >= 253 && qGreen(red) + qBlue(red) <= 4);
        zoomed.resize(40, 20);
        zoomed.setButtonImageBitmap(solidPatch(Blue), 0);
        zoomed.setButtonImageZoom(0.5, 0);
        QCOMPARE(inkBox(zoomed.render()), QRect(10, 5, 20, 10));

        drawn.resize(60, 30);
        connect(&drawn, &ctxPatchButton::OwnerDraw, this,
                [](QPainter *g, const QFont &, qint32, int &, int &, int &width, int &, QString &, const QImage &) {
                    g->fillRect(0, 0, 2, 2, Qt::green);
                    width = 0; // no room: the caption is not drawn
                });
        QCOMPARE(inkBox(drawn.render()), QRect(0, 0, 2, 2));
        // A host that throws gets the stand-in face, opaque: pale yellow, outlined.
        connect(&failing, &ctxPatchButton::OwnerDraw, this, [] { throw std::runtime_error("host failed"); });
        QCOMPARE(failing.render().pixel(0, 0), qRgb(255, 255, 224));
        QCOMPARE(failing.render().pixel(2, 2), failing.palette().color(QPalette::Dark).rgba());
    }

    // What the text form writes reads back as the same value and type. A line it cannot read is skipped and
    // named by its number; the lines around it still load.
    void textForm_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("line"); // when given, read as it stands between two good lines
        QTest::newRow("caption with quotes, backslash and line breaks")
            << QVariant(u"a \"b\" \\ c\r\nd\te"_s) << QString();
        QTest::newRow("control characters and non-ASCII")
            << QVariant(QString(u"\u0001x\u00e9\u4e2d\u007f"_s)) << QString();
        QTest::newRow("system colour") << QVariant(qint32(0x80000012u)) << QString();
        QTest::newRow("opacity") << QVariant(0.5) << QString();
        QTest::newRow("whole seconds stay a number with a point") << QVariant(2.0) << QString();
        QTest::newRow("True") << QVariant(true) << QString();
        QFont styled(u"Some \"Family\""_s, 8, QFont::Bold, true);
        styled.setUnderline(true);
        styled.setStrikeOut(true);
        QTest::newRow("font with every attribute") << QVariant(styled) << QString();
        QTest::newRow("no value") << QVariant() << u"Style ="_s;
        QTest::newRow("no equals sign") << QVariant() << u"Style 6"_s;
        QTest::newRow("unterminated string") << QVariant() << u"Caption = \"open"_s;
        QTest::newRow("number out of range") << QVariant() << u"Style = 99999999999"_s;
        QTest::newRow("not a finite number") << QVariant() << u"Opacity = 1e999"_s;
        QTest::newRow("font without a size") << QVariant() << u"Font = Font(\"Verdana\")"_s;
    }
    void textForm()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, line);
        PropertyBag bag, read;
        QStringList errors;
        if (!line.isEmpty()) {
            read.readText(u"Style = 6\n"_s + line + u"\nCaption = \"ok\"\n"_s, &errors);
            QVERIFY2(errors.size() == 1 && errors.first().startsWith(u"line 2:"_s), qPrintable(errors.join(u'\n')));
            QCOMPARE(read.keys(), (QStringList{u"Style"_s, u"Caption"_s}));
            return;
        }
        bag.WriteProperty(u"Key"_s, value);
        read.readText(bag.toText(), &errors);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        const QVariant back = read.ReadProperty(u"key"_s);
        QCOMPARE(back.metaType(), value.metaType());
        QVERIFY2(PropertyBag::sameValue(back, value), qPrintable(bag.toText()));
        QCOMPARE(read.toText(), bag.toText());
    }

    void defaultsAreLeftOutAndStyleLoadsFirst()
    {
        // Any letter case names the same key; a value back at its default removes it.
        PropertyBag bag;
        bag.WriteProperty(u"Opacity"_s, 0.5, 1.0);
        QVERIFY(bag.contains(u"Opacity"_s));
        bag.WriteProperty(u"OPACITY"_s, 1.0, 1.0);
        bag.WriteProperty(u"AnimationDuration"_s, double(0.2f), 0.2); // a single-precision 0.2 is 0.2
        QVERIFY2(bag.isEmpty(), qPrintable(bag.toText()));

        QWidget host;
        auto *b = new ctxPatchButton(&host);
        const auto written = [b] {
            PropertyBag bag;
            b->WriteProperties(bag);
            return bag.keys();
        };
        QCOMPARE(written(), QStringList());
        b->setOpacity(0.3);
        b->setCaption(u"x"_s);
        b->setFont(QFont(u"Verdana"_s, 20));
        QCOMPARE(written(), (QStringList{u"Opacity"_s, u"Caption"_s, u"Font"_s}));
        b->ReadProperties(PropertyBag()); // every property back to its default, so none is written
        QCOMPARE(written(), QStringList());
        QCOMPARE(b->font(), host.font());
        for (int i = 0; i < ButtonStateEntries; ++i)
            QVERIFY(b->ButtonImageBitmap(i).isNull());

        // The style alone: the defaults replace what the style set; stored colour and duration win over it.
        for (const auto &[stored, foreColor, duration] :
             {std::tuple{u"Style = 7"_s, ctxPatchButton::DefaultForeColor, 0.0},
              {u"ForeColor = &HFF\nStyle = 7\nAnimationDuration = 0.5"_s, qint32(0xFF), 0.5}}) {
            PropertyBag bag;
            bag.readText(stored);
            ctxPatchButton loaded;
            loaded.ReadProperties(bag);
            QVERIFY(loaded.Style() == 7 && !loaded.ButtonImageBitmap(0).isNull() && loaded.ForeColor() == foreColor
                    && loaded.AnimationDuration() == duration);
        }
    }

    void everyStoredButtonWritesBackAsStored()
    {
        QStringList errors;
        int buttons = 0;
        for (const QString &layout : {QString(StoredLayout::MainWindow), QString(StoredLayout::UnitPanel)})
            for (const StoredLayout::Section &s : StoredLayout::read(layout, &errors)) {
                QWidget host;
                auto *b = new ctxPatchButton(new QWidget(&host)); // buttons may sit in containers
                b->setObjectName(s.name);
                auto *other = new ctxPatchButton(&host);
                QCOMPARE(StoredLayout::apply(&host, layout), 1);
                QCOMPARE(other->Style(), 0);
                const QList<StoredLayout::Section> back = StoredLayout::parse(StoredLayout::write({b}));
                QVERIFY(back.size() == 1 && back[0].name == s.name);
                QCOMPARE(back[0].bag.keys(), s.bag.keys());
                for (const QString &key : s.bag.keys())
                    QVERIFY2(PropertyBag::sameValue(s.bag.ReadProperty(key), back[0].bag.ReadProperty(key)),
                             qPrintable(s.name + u' ' + key));
                ++buttons;
            }
        QVERIFY2(errors.isEmpty() && buttons > 0, qPrintable(errors.join(u'\n')));
        QWidget host; // a missing layout, or no window, loads nothing
        QCOMPARE(StoredLayout::apply(&host, u":/no/such.layout"_s), 0);
        QCOMPARE(StoredLayout::apply(nullptr, StoredLayout::MainWindow), 0);
    }
};

QTEST_MAIN(tst_ctxPatchButton)
#include "tst_ctxPatchButton.moc"
