#include "ButtonTestSupport.h"
#include "ctxPatchButton.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;
using namespace buttontest;

constexpr int Hover = ctxPatchButton::StateHover, Pressed = ctxPatchButton::StatePressed,
              Focused = ctxPatchButton::StateFocused;

// A window that ends hovers itself, as a host may.
class CancellingHost : public QWidget
{
    Q_OBJECT
public:
    Q_INVOKABLE void RegisterCancelMode(ctxPatchButton *button) { registered.append(button); }
    QList<ctxPatchButton *> registered;
};

class tst_ctxPatchButtonInput : public QObject
{
    Q_OBJECT

    // A 60 x 30 blue button at (20, 20) of a shown window, with 2-pixel corners of the given colour.
    // Declared first, so it outlives the host: closing the host still reads it.
    ManualClock m_clock;
    std::unique_ptr<QWidget> m_host;
    ctxPatchButton *m_button = nullptr;

    bool makeButton(QRgb corner = 0x00000000u, QWidget *host = nullptr)
    {
        m_host.reset(host ? host : new QWidget);
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
        m_clock.now = 1000.0;
        m_clock.step = 0.0;
        m_clock.reads = 0;
    }

    void mouseSequences_data()
    {
        QTest::addColumn<QString>("steps"); // "check N" compares the state, "right-" uses the right button
        QTest::addColumn<QRgb>("corner");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("menus");
        QTest::addColumn<int>("finalState"); // -1: not compared
        const QRgb clear = 0x00000000u;
        QTest::newRow("left click") << u"move 30 15, press 30 15, check 11, release 30 15"_s << clear << 1 << 0 << 9;
        QTest::newRow("press on a transparent corner, release inside")
            << u"press 1 1, check 0, release 1 1"_s << clear << 1 << 0 << 0;
        QTest::newRow("press on a half-transparent corner presses")
            << u"press 1 1, check 10, release 1 1"_s << qRgba(0, 0, 0, 128) << 1 << 0 << 8;
        QTest::newRow("out and back in with the button held")
            << u"move 30 15, press 30 15, move -10 15, check 9, move 30 15, check 11, release 30 15"_s << clear << 1
            << 0 << 9;
        QTest::newRow("leaving ends the hover") << u"move 30 15, check 1, leave"_s << clear << 0 << 0 << 0;
        QTest::newRow("released outside") << u"move 30 15, press 30 15, release 70 15"_s << clear << 0 << 0 << 8;
        QTest::newRow("right button") << u"right-press 30 15, check 0, right-release 30 15"_s << clear << 0 << 1 << 0;
        QTest::newRow("double click") << u"press 30 15, release 30 15, dclick 30 15, release 30 15"_s << clear << 2 << 0
                                      << 8;
        QTest::newRow("a MouseUp handler setting the button to -1 stops the click")
            << u"suppress, press 30 15, release 30 15"_s << clear << 0 << 0 << -1;
        QTest::newRow("focus sets the focus bit") << u"focus, check 8"_s << clear << 0 << 0 << 8;
        QTest::newRow("ManualFocus keeps the focus bit off")
            << u"manual, focus, check 0, press 30 15, check 2, release 30 15"_s << clear << 1 << 0 << 0;
    }
    void mouseSequences()
    {
        QFETCH(QString, steps);
        QFETCH(QRgb, corner);
        QFETCH(int, clicks);
        QFETCH(int, menus);
        QFETCH(int, finalState);
        QVERIFY(makeButton(corner));
        ctxPatchButton *b = m_button;
        QSignalSpy click(b, &ctxPatchButton::Click);
        QSignalSpy menu(b, &ctxPatchButton::ContextMenu);
        QSignalSpy dbl(b, &ctxPatchButton::DblClick);
        for (const QString &step : steps.split(u", "_s)) {
            const QStringList w = step.split(u' ');
            const QPoint at = w.size() > 2 ? QPoint(w[1].toInt(), w[2].toInt()) : QPoint();
            const Qt::MouseButton button = w[0].startsWith("right"_L1) ? Qt::RightButton : Qt::LeftButton;
            if (w[0] == "check"_L1) {
                QCOMPARE(b->ButtonState(), w[1].toInt());
            } else if (w[0] == "leave"_L1) {
                QEvent leave(QEvent::Leave);
                QApplication::sendEvent(b, &leave);
            } else if (w[0] == "suppress"_L1) {
                connect(b, &ctxPatchButton::MouseUp, this, [](int &button, int &, double, double) { button = -1; });
            } else if (w[0] == "manual"_L1) {
                b->setManualFocus(true);
            } else if (w[0] == "focus"_L1) {
                QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
                b->setFocus();
                QVERIFY(b->hasFocus());
            } else if (w[0] == "move"_L1) {
                QTest::mouseMove(b, at);
            } else if (w[0].endsWith("press"_L1)) {
                QTest::mousePress(b, button, {}, at);
            } else if (w[0].endsWith("release"_L1)) {
                QTest::mouseRelease(b, button, {}, at);
            } else {
                QTest::mouseDClick(b, button, {}, at);
            }
        }
        QCOMPARE(click.count(), clicks);
        QCOMPARE(menu.count(), menus);
        QCOMPARE(dbl.count(), steps.contains("dclick"_L1) ? 1 : 0);
        if (finalState >= 0)
            QCOMPARE(b->ButtonState(), finalState);
    }

    void mousePositionsInHostUnits_data()
    {
        QTest::addColumn<QString>("units");
        QTest::addColumn<double>("perInch"); // units per inch; 0: pixels
        QTest::newRow("no scale named: twips") << QString() << 1440.0;
        QTest::newRow("Pixel") << u"Pixel"_s << 0.0;
        QTest::newRow("Point") << u"Point"_s << 72.0;
        QTest::newRow("unknown name: twips") << u"Furlong"_s << 1440.0;
    }

    void mousePositionsInHostUnits()
    {
        QFETCH(QString, units);
        QFETCH(double, perInch);
        QVERIFY(makeButton());
        if (!units.isEmpty())
            m_host->setProperty("ScaleUnits", units);
        double x = -1;
        double y = -1;
        connect(m_button, &ctxPatchButton::MouseDown, this, [&](int &, int &, double hx, double hy) {
            x = hx;
            y = hy;
        });
        QTest::mouseClick(m_button, Qt::LeftButton, {}, QPoint(12, 6));
        QCOMPARE(x, perInch == 0 ? 12.0 : 12.0 * perInch / m_button->logicalDpiX());
        QCOMPARE(y, perInch == 0 ? 6.0 : 6.0 * perInch / m_button->logicalDpiY());
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<bool>("swallowed"); // a KeyPress handler sets the key to 0
        QTest::newRow("Enter") << int(Qt::Key_Return) << 1 << 13 << false;
        QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << 1 << 13 << false;
        QTest::newRow("Space") << int(Qt::Key_Space) << 1 << 32 << false;
        QTest::newRow("Space taken by a KeyPress handler") << int(Qt::Key_Space) << 0 << 32 << true;
        QTest::newRow("a letter") << int(Qt::Key_A) << 0 << 65 << false;
        QTest::newRow("Escape") << int(Qt::Key_Escape) << 0 << 27 << false;
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(int, clicks);
        QFETCH(int, keyCode);
        QFETCH(bool, swallowed);
        QVERIFY(makeButton());
        m_button->setButtonState(Focused);
        if (swallowed)
            connect(m_button, &ctxPatchButton::KeyPress, this, [](int &ascii) { ascii = 0; });
        QSignalSpy click(m_button, &ctxPatchButton::Click);
        QSignalSpy down(m_button, &ctxPatchButton::KeyDown);
        QSignalSpy up(m_button, &ctxPatchButton::KeyUp);
        QTest::keyClick(m_button, Qt::Key(key));
        QCOMPARE(click.count(), clicks);
        QCOMPARE(down.count(), 1);
        QCOMPARE(down.first().first().toInt(), keyCode);
        QCOMPARE(up.count(), 1);
        QCOMPARE(m_button->ButtonState(), Focused); // 8 -> 10 -> 8 for a click
    }

    void fadeProgress_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("elapsed");
        QTest::addColumn<double>("progress");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("a quarter of 0.2 s") << 0.2 << 0.05 << 0.25;
        QTest::newRow("0.2 s after a change of 0.2 s") << 0.2 << 0.2 << 1.0;
        QTest::newRow("later still") << 0.2 << 0.5 << 1.0;
        QTest::newRow("no duration: at once") << 0.0 << 0.0 << 1.0;
        QTest::newRow("a duration that is no number: at once") << nan << 0.0 << 1.0;
        QTest::newRow("an endless duration: at once") << std::numeric_limits<double>::infinity() << 0.0 << 1.0;
    }

    void fadeProgress()
    {
        QFETCH(double, duration);
        QFETCH(double, elapsed);
        QFETCH(double, progress);
        QVERIFY(makeButton());
        m_button->setAnimationDuration(duration);
        m_button->setButtonState(Hover);
        for (int frame = 0; frame < 50; ++frame) // frames alone do not move the fade on
            m_button->TimerProc();
        QCOMPARE(m_button->animationProgress(), progress == 1.0 && elapsed == 0 ? 1.0 : 0.0);
        m_clock.now += elapsed;
        m_button->TimerProc();
        QVERIFY(qAbs(m_button->animationProgress() - progress) < 1e-9);
        QCOMPARE(m_button->frameTimerActive(), progress < 1.0);
    }

    void fadeRunsOnItsFrameTimerToTheEnd()
    {
        // Every frame finds the clock 5 ms on.
        m_clock.now = 50.0;
        m_clock.step = 0.005;
        QVERIFY(makeButton());
        m_button->setAnimationDuration(0.2);
        const double start = m_clock.now;
        m_button->setButtonState(Hover);
        QTRY_COMPARE(m_button->animationProgress(), 1.0);
        QVERIFY(!m_button->frameTimerActive());
        const double took = m_clock.now - start;
        QVERIFY2(took >= 0.2 && took < 0.25, qPrintable(QString::number(took)));
        QVERIFY(m_clock.reads >= 40);
    }

    void cancelModeAndHidingEndHoverAndPress()
    {
        QVERIFY(makeButton());
        m_button->setAnimationDuration(1.0);
        QTest::mouseMove(m_button, QPoint(30, 15));
        QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(30, 15));
        QCOMPARE(m_button->DownButton(), qint16(1));
        m_button->CancelMode();
        QCOMPARE(m_button->ButtonState(), Focused);
        QCOMPARE(m_button->DownButton(), qint16(0));

        m_button->setButtonState(Hover | Focused);
        QVERIFY(m_button->frameTimerActive());
        m_button->hide();
        QCOMPARE(m_button->ButtonState() & (Hover | Pressed), 0);
        QVERIFY(!m_button->frameTimerActive());
        QVERIFY(m_button->previousFace().isNull());
        QCOMPARE(m_button->animationProgress(), 1.0);
        QTest::mouseRelease(m_host.get(), Qt::LeftButton, {}, QPoint(50, 35));
    }

    void hostIsAskedToRegisterTheButton()
    {
        auto *host = new CancellingHost;
        QVERIFY(makeButton(0, host));
        QTest::mouseMove(m_button, QPoint(30, 15));
        QCOMPARE(host->registered, QList<ctxPatchButton *>{m_button});
        host->registered.first()->CancelMode();
        QCOMPARE(m_button->ButtonState(), 0);

        // A handler that takes the request keeps it from the host.
        connect(m_button, &ctxPatchButton::RegisterCancelMode, this,
                [](ctxPatchButton *, bool &handled) { handled = true; });
        QTest::mouseMove(m_button, QPoint(31, 15));
        QCOMPARE(host->registered.size(), 1);
        QCOMPARE(m_button->ButtonState(), Hover);
    }
};

QTEST_MAIN(tst_ctxPatchButtonInput)
#include "tst_ctxPatchButtonInput.moc"
