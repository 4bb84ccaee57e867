// Draws the menu icon of the console at the sizes a desktop asks for and writes them as PNG files, and the
// Windows icon (the exe's, the Start menu's and the installer's) as one .ico file:
//   vorn-icon-gen OUTPUT_FOLDER   ->   OUTPUT_FOLDER/48/vorn.png, 128/vorn.png, 256/vorn.png, vorn.ico
// The motif is a unit panel as the console shows it: a navy face with the answering green band along
// the right and bottom, a hopper and the stones it counts out. Drawn on a 256-unit grid and scaled, so
// every size is the same picture; only Qt's rasteriser decides the pixels.

#include <QBuffer>
#include <QDir>
#include <QFile>
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

void put16(QByteArray &out, int value)
{
    out.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
}
void put32(QByteArray &out, qsizetype value)
{
    put16(out, int(value & 0xffff));
    put16(out, int((value >> 16) & 0xffff));
}

// An .ico file whose images are PNG streams, as Windows reads them since Vista: a header, one directory
// entry per size (a size of 256 is written as 0), then the images.
QByteArray windowsIcon(const QList<int> &sizes)
{
    QList<QByteArray> images;
    for (const int size : sizes) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        drawIcon(size).save(&png, "PNG");
        images.append(png.data());
    }
    QByteArray out;
    put16(out, 0); // reserved
    put16(out, 1); // an icon, not a cursor
    put16(out, int(sizes.size()));
    qsizetype offset = 6 + 16 * sizes.size();
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        const char side = char(sizes[i] >= 256 ? 0 : sizes[i]);
        out.append(side).append(side).append('\0').append('\0'); // width, height, no palette, reserved
        put16(out, 1); // planes
        put16(out, 32); // bits per pixel
        put32(out, images[i].size());
        put32(out, offset);
        offset += images[i].size();
    }
    for (const QByteArray &image : std::as_const(images))
        out.append(image);
    return out;
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
    QFile ico(out.filePath(QStringLiteral("vorn.ico")));
    if (!ico.open(QIODevice::WriteOnly) || ico.write(windowsIcon({16, 24, 32, 48, 64, 256})) < 0 || !ico.flush()) {
        std::fprintf(stderr, "vorn-icon-gen: cannot write %s\n", qPrintable(ico.fileName()));
        return 1;
    }
    return 0;
}
