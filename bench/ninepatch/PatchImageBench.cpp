// Prints how long cPatchImage::DrawToGraphics takes to draw the blue flat button face (a 3 x 3
// nine-patch) into square targets from 24 to 512 pixels, beside Qt's own qDrawBorderPixmap drawing the
// same picture with the same margins, and the ratio of the two. The aim is a ratio of at most 1.5.
//
//   bench_ninepatch                   run the benchmark
//   bench_ninepatch --cells FILE.png  draw every atlas cell at three sizes (the picture in docs/)
//   bench_ninepatch --atlas FILE.png  the raw atlas, four times enlarged, for checking the markers

#include "ninepatch/StyleAtlas.h"
#include "ninepatch/cPatchImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <qdrawutil.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Time spent by this thread, so that other processes on a busy machine count less; wall time where
// the platform has no per-thread clock.
qint64 nowNs()
{
#ifdef CLOCK_THREAD_CPUTIME_ID
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
#else
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.nsecsElapsed();
#endif
}

template<typename Draw>
qint64 batchNs(QImage &target, int runs, Draw &&draw)
{
    QPainter p(&target);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const qint64 start = nowNs();
    for (int i = 0; i < runs; ++i)
        draw(p);
    return nowNs() - start;
}

// Microseconds per draw of two drawing functions, measured in alternating short batches and taking
// each one's best batch, so a burst of load on the machine hits both alike and is then discarded.
template<typename A, typename B>
std::pair<double, double> microsecondsPerDraw(QImage &target, A &&a, B &&b)
{
    int runs = 4;
    while (batchNs(target, runs, a) < 2'000'000 && runs < (1 << 22))
        runs *= 2;
    double bestA = 1e300;
    double bestB = 1e300;
    for (int round = 0; round < 41; ++round) {
        bestA = std::min(bestA, double(batchNs(target, runs, a)) / 1e3 / runs);
        bestB = std::min(bestB, double(batchNs(target, runs, b)) / 1e3 / runs);
    }
    return {bestA, bestB};
}

int maxDifference(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

int runBenchmark()
{
    const StyleAtlas::Family flat = StyleAtlas::Flat;
    const auto patch = StyleAtlas::instance().pvResExtract(0, flat.top, flat.cellWidth, flat.cellHeight);
    if (!patch) {
        std::fprintf(stderr, "the style atlas did not load\n");
        return 1;
    }
    // Qt's function gets the same inner picture and the same margins, without the marker frame.
    const QPixmap pixmap = QPixmap::fromImage(patch->Bitmap().copy(1, 1, patch->width() - 2, patch->height() - 2));
    const QMargins margins(9, 9, 9, 9);

    std::printf(
        "cPatchImage::DrawToGraphics vs qDrawBorderPixmap, flat cell 0 (21 x 21, 9/1/9),\n"
        "smooth pixmap transform on, ARGB32 premultiplied target, thread CPU time, best of 41 alternating batches\n\n");
    std::printf("%10s %14s %14s %8s %9s\n", "target", "cPatchImage", "Qt", "ratio", "max diff");
    double worstRatio = 0;
    for (int side : {24, 32, 48, 64, 96, 128, 192, 256, 384, 512}) {
        QImage target(side, side, QImage::Format_ARGB32_Premultiplied);
        target.fill(Qt::transparent);
        const QRect rect(0, 0, side, side);
        const auto [ours, qt] = microsecondsPerDraw(
            target, [&](QPainter &p) { patch->DrawToGraphics(&p, 0, 0, side, side); },
            [&](QPainter &p) { qDrawBorderPixmap(&p, rect, margins, pixmap); });

        QImage a(side, side, QImage::Format_ARGB32_Premultiplied), b = a;
        a.fill(Qt::transparent);
        b.fill(Qt::transparent);
        {
            QPainter p(&a);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            patch->DrawToGraphics(&p, 0, 0, side, side);
        }
        {
            QPainter p(&b);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            qDrawBorderPixmap(&p, rect, margins, pixmap);
        }
        const double ratio = ours / qt;
        worstRatio = std::max(worstRatio, ratio);
        std::printf("%4d x %-4d %11.2f us %11.2f us %8.2f %9d\n", side, side, ours, qt, ratio, maxDifference(a, b));
    }
    std::printf("\nworst ratio %.2f (aim: at most 1.50) %s\n", worstRatio, worstRatio <= 1.5 ? "met" : "NOT met");
    return 0;
}

QImage checkerboard(QSize size)
{
    QImage sheet(size, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&sheet);
    p.fillRect(sheet.rect(), QColor(255, 255, 255));
    for (int y = 0; y < size.height(); y += 8)
        for (int x = (y / 8) % 2 * 8; x < size.width(); x += 16)
            p.fillRect(x, y, 8, 8, QColor(232, 232, 232));
    return sheet;
}

int drawCells(const QString &path)
{
    const StyleAtlas &atlas = StyleAtlas::instance();
    if (!atlas.isValid()) {
        std::fprintf(stderr, "the style atlas did not load\n");
        return 1;
    }
    struct Group
    {
        const char *name;
        StyleAtlas::Family family;
    };
    const Group groups[] = {{"flat", StyleAtlas::Flat}, {"tall", StyleAtlas::Tall}, {"card", StyleAtlas::Card}};
    const int columns = 6;
    const int tileWidth = 200;
    const int tileHeight = 84;
    int rows = 0;
    for (const Group &g : groups)
        rows += (g.family.count + columns - 1) / columns;
    QImage sheet = checkerboard(QSize(columns * tileWidth + 8, rows * tileHeight + 8));
    QPainter p(&sheet);
    QFont font = p.font();
    font.setPixelSize(11);
    p.setFont(font);
    int row = 0;
    for (const Group &g : groups) {
        const StyleAtlas::Family &f = g.family;
        for (int index = 0; index < f.count; ++index) {
            const int x = 8 + (index % columns) * tileWidth;
            const int y = 4 + (row + index / columns) * tileHeight;
            p.setPen(Qt::black);
            p.drawText(x, y + 11, QStringLiteral("%1 %2").arg(QLatin1String(g.name)).arg(index));
            const auto patch = atlas.pvResExtract(index, f.top, f.cellWidth, f.cellHeight);
            if (!patch)
                continue;
            // Its own size without the frame, a small button and a wide one.
            const QSize sizes[] = {{f.cellWidth - 2, f.cellHeight - 2}, {44, 32}, {100, 60}};
            int left = x;
            for (const QSize &s : sizes) {
                patch->DrawToGraphics(&p, left, y + 16, s.width(), s.height());
                left += s.width() + 8;
            }
        }
        row += (f.count + columns - 1) / columns;
    }
    p.end();
    return sheet.save(path, "PNG") ? 0 : 1;
}

int drawAtlas(const QString &path)
{
    const StyleAtlas &atlas = StyleAtlas::instance();
    if (!atlas.isValid())
        return 1;
    const int zoom = 4;
    QImage sheet = checkerboard(atlas.image().size() * zoom);
    QPainter p(&sheet);
    p.drawImage(sheet.rect(), atlas.image());
    p.end();
    return sheet.save(path, "PNG") ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 2 && args[0] == "--cells"_L1)
        return drawCells(args[1]);
    if (args.size() == 2 && args[0] == "--atlas"_L1)
        return drawAtlas(args[1]);
    if (!args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_ninepatch [--cells FILE.png | --atlas FILE.png]\n");
        return 2;
    }
    return runBenchmark();
}
