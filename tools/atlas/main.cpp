#include "atlas/AtlasPainter.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QTextStream>

// Writes the style atlas of the patch buttons as a PNG. The committed copy in src/ninepatch is this
// program's output; a test regenerates it and compares the bytes.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1 || args.first().startsWith(QLatin1Char('-'))) {
        err << "usage: atlas-gen OUTPUT.png\n";
        return args.contains(QStringLiteral("--help")) ? 0 : 2;
    }
    const QByteArray png = AtlasPainter::encodePng(AtlasPainter::draw());
    QSaveFile file(args.first());
    if (png.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(png) != png.size() || !file.commit()) {
        err << "atlas-gen: cannot write " << args.first() << ": " << file.errorString() << '\n';
        return 1;
    }
    return 0;
}
