// Draws the menu icon of the console at the sizes a desktop asks for and writes them as PNG files:
//   vorn-icon-gen OUTPUT_FOLDER   ->   OUTPUT_FOLDER/48/vorn.png, 128/vorn.png, 256/vorn.png
// The motif is a unit panel as the console shows it: a navy face with the answering green band along
// the right and bottom, a hopper and the stones it counts out. Drawn on a 256-unit grid and scaled, so
// every size is the same picture; only Qt's rasteriser decides the pixels.

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

// The unit panel's state colours (red + 256 * green + 65536 * blue in the settings).
const QColor idleNavy(0, 0, 64);
const QColor answerGreen(0, 192, 0);
const QColor stoneGrey(200, 205, 215);

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    p.setPen(Qt::NoPen);

    QPainterPath face;
    face.addRoundedRect(QRectF(8, 8, 240, 240), 36, 36);
    p.setClipPath(face);
    p.fillPath(face, idleNavy);
    p.fillRect(QRectF(212, 8, 36, 240), answerGreen);
    p.fillRect(QRectF(8, 212, 240, 36), answerGreen);
    p.setClipping(false);

    QPainterPath hopper;
    hopper.moveTo(40, 36);
    hopper.lineTo(176, 36);
    hopper.lineTo(124, 100);
    hopper.lineTo(124, 118);
    hopper.lineTo(92, 118);
    hopper.lineTo(92, 100);
    hopper.closeSubpath();
    p.fillPath(hopper, stoneGrey);

    // The stone on its way, and the counted pile.
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(108, 142), 12, 12);
    p.setBrush(stoneGrey);
    for (const QPointF centre : {QPointF(66, 194), QPointF(94, 196), QPointF(122, 196), QPointF(150, 194),
                                 QPointF(80, 174), QPointF(108, 174), QPointF(136, 174)})
        p.drawEllipse(centre, 14, 11);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fputs("usage: vorn-icon-gen OUTPUT_FOLDER\n", stderr);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const int size : {48, 128, 256}) {
        const QString file = out.filePath(QString::number(size) + QStringLiteral("/vorn.png"));
        if (!QDir().mkpath(QFileInfo(file).path()) || !drawIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "vorn-icon-gen: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
