// Prints what a cross-fade of the patch button costs: one frame of a 150 x 40 button (the byte-wise
// merge of the two faces, then putting the result on a surface) and one whole 0.2 s fade, alone and
// with 30 buttons fading together, on the 0 ms frame timer and, for comparison, on a 15 ms one (the
// period of the old platform's timers). The aim is a frame under 1 ms, so that dozens of buttons fade
// smoothly.
//
//   bench_button

#include "common/AnimationClock.h"
#include "ninepatch/ButtonFace.h"
#include "ninepatch/ctxPatchButton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

// A clock that stands where the figures put it, or runs with the machine's, on a chosen frame timer.
struct BenchClock : AnimationClock
{
    double monotonicSeconds() const override { return now < 0 ? system().monotonicSeconds() : now; }
    int frameIntervalMs() const override { return interval; }
    double now = -1;
    int interval = 0;
};
BenchClock benchClock;

qint64 cpuNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

qint64 threadNs()
{
    return cpuNs(CLOCK_THREAD_CPUTIME_ID);
}

qint64 processNs()
{
    return cpuNs(CLOCK_PROCESS_CPUTIME_ID);
}

// Microseconds per call: the best of several batches, so a burst of load elsewhere is discarded.
template<typename F>
double bestMicroseconds(F &&f)
{
    double best = 1e300;
    for (int batch = 0; batch < 15; ++batch) {
        const int runs = 200;
        const qint64 start = threadNs();
        for (int i = 0; i < runs; ++i)
            f();
        best = std::min(best, double(threadNs() - start) / runs / 1000.0);
    }
    return best;
}

std::unique_ptr<ctxPatchButton> makeButton(QWidget *parent, int style)
{
    auto b = std::make_unique<ctxPatchButton>(parent);
    b->setAnimationClock(&benchClock);
    b->resize(150, 40);
    b->setButtonStyle(style);
    QFont f(QStringLiteral("Verdana"));
    f.setPointSizeF(11.25);
    b->setFont(f);
    b->setCaption(QStringLiteral("Dispense"));
    b->setAnimationDuration(0.2);
    return b;
}

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

void frameFigures()
{
    // The fade is held half way by a clock that stands still.
    benchClock.now = 100.0;
    const auto b = makeButton(nullptr, 10);
    b->render();
    b->setButtonState(ctxPatchButton::StateHover);
    benchClock.now = 100.1;
    b->TimerProc();
    std::printf("button 150 x 40, style 10, caption \"Dispense\", fade at progress %.2f\n\n", b->animationProgress());

    QImage dst = b->previousFace().copy();
    const QImage src = b->currentFace();
    const double merge = bestMicroseconds([&] { buttonface::pvMergeBitmap(dst, src, 127, 128); });

    QImage surface(150, 40, QImage::Format_ARGB32_Premultiplied);
    const double frame = bestMicroseconds([&] {
        surface.fill(Qt::transparent);
        QPainter p(&surface);
        p.drawImage(0, 0, b->render()); // clone, merge, draw at the face's opacity
    });
    benchClock.now = -1;

    std::printf("%-52s %9.1f us\n", "pvMergeBitmap alone (24000 bytes)", merge);
    std::printf("%-52s %9.1f us\n", "one frame: merge + paint on a surface", frame);
    std::printf("frame under 1 ms: %s\n\n", frame < 1000.0 ? "met" : "NOT met");
}

void fadeFigures(int count)
{
    QWidget window;
    window.resize(160 * 6, 50 * ((count + 5) / 6));
    std::vector<std::unique_ptr<ctxPatchButton>> buttons;
    PaintCounter counter;
    for (int i = 0; i < count; ++i) {
        buttons.push_back(makeButton(&window, 6));
        buttons.back()->move(160 * (i % 6), 50 * (i / 6));
        buttons.back()->installEventFilter(&counter);
    }
    window.show();
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents(); // first paints: faces prepared
    for (auto &b : buttons)
        b->render();

    counter.paints = 0;
    QElapsedTimer wall;
    wall.start();
    const qint64 cpuStart = processNs();
    for (auto &b : buttons)
        b->setButtonState(ctxPatchButton::StateHover);
    const auto fading = [&] {
        return std::any_of(buttons.begin(), buttons.end(), [](const auto &b) { return b->animationProgress() < 1.0; });
    };
    // Waits for events rather than spinning, so the CPU time is the buttons' own.
    while (fading() && wall.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QApplication::processEvents(); // the last frame's paint
    const double cpuMs = double(processNs() - cpuStart) / 1e6;
    const double wallMs = double(wall.nsecsElapsed()) / 1e6;
    std::printf(
        "frame timer %2d ms, %2d button(s), one 0.2 s fade: %6.1f ms wall, %6.1f ms CPU (%.0f%% of a core), %5d paints"
        " (%.0f per button), %.3f ms CPU per paint\n",
        benchClock.interval, count, wallMs, cpuMs, 100.0 * cpuMs / wallMs, counter.paints,
        double(counter.paints) / count, counter.paints ? cpuMs / counter.paints : 0.0);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frameFigures();
    for (int interval : {0, 15}) {
        benchClock.interval = interval;
        fadeFigures(1);
        fadeFigures(30);
    }
    return 0;
}
