#include "ninepatch/ButtonFace.h"

#include "common/OleColor.h"
#include "ninepatch/cPatchImage.h"

#include <QFontDatabase>
#include <QIcon>
#include <QPainter>
#include <QPicture>
#include <QPixmap>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace buttonface {

namespace {

double finiteOr(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}

// A picture with its own alpha keeps it; one without any (every alpha byte 0) is opaque art.
void keepOrFillAlpha(QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 0)
                return;
    }
    image = image.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
}

void drawCaption(QPainter &painter, const QString &caption, const QFont &font, QRgb colour, const QRectF &rect,
                 const StringFormat &format)
{
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor::fromRgba(colour));
    if (format.rightToLeft)
        painter.setLayoutDirection(Qt::RightToLeft);
    QRectF box = rect;
    if (format.vertical) {
        // Lines run top to bottom: lay them out in a box turned a quarter clockwise.
        painter.translate(rect.right(), rect.top());
        painter.rotate(90);
        box = QRectF(0, 0, rect.height(), rect.width());
    }
    int flags = int(format.alignment);
    if (!format.noWrap)
        flags |= Qt::TextWordWrap;
    if (format.noClip)
        flags |= Qt::TextDontClip;
    painter.drawText(box, flags, caption);
    painter.restore();
}

} // namespace

double roundEven(double v)
{
    return std::isfinite(v) ? std::nearbyint(v) : 0.0;
}

int pvResolveEntry(const ButtonStateTable &table, qint32 state)
{
    // Bits beyond the four known ones name no entry; such a state falls back like a missing image.
    const auto hasImage = [&table](qint32 index) {
        return index >= 0 && index < ButtonStateEntries && table[size_t(index)].Image != nullptr;
    };
    if ((state & StateDisabled) && hasImage(4))
        return 4;
    qint32 t = state & ~StateFocused;
    if (!hasImage(t))
        t &= ~StateHover;
    if (!hasImage(t))
        t &= ~StatePressed;
    return hasImage(t) ? int(t) : 0;
}

bool pvPrepareBitmap(const ButtonStateTable &table, qint32 eState, const Look &look, const OwnerDraw &ownerDraw,
                     QImage &focusLayer, QImage &face)
{
    try {
        const double scale = std::isfinite(look.scale) && look.scale > 0 ? look.scale : 1.0;
        const int pixelWidth = look.size.width();
        const int pixelHeight = look.size.height();
        // Everything below is drawn in the face's own units, which the painters enlarge by the scale.
        const int w = int(std::lround(pixelWidth / scale));
        const int h = int(std::lround(pixelHeight / scale));
        if (w <= 0 || h <= 0)
            return false;

        QImage focus = focusLayer;
        if (eState & StateFocused) {
            if ((eState & HoverAndPressed) == HoverAndPressed && !look.manualFocus) {
                focus = QImage();
            } else if (focus.isNull() && table[8].Image) {
                focus = QImage(pixelWidth, pixelHeight, QImage::Format_ARGB32_Premultiplied);
                if (focus.isNull())
                    return false;
                focus.fill(0);
                QPainter fp(&focus);
                fp.setRenderHint(QPainter::SmoothPixmapTransform, true);
                fp.scale(double(pixelWidth) / w, double(pixelHeight) / h);
                table[8].Image->DrawToGraphics(&fp, 0, 0, w, h);
            }
        } else {
            focus = QImage();
        }

        const ButtonStateAttributes &e = table[size_t(pvResolveEntry(table, eState))];
        QFont captionFont = look.captionFont;
        if (e.TextFont && !pvPrepareFont(*e.TextFont, captionFont))
            captionFont = look.captionFont;

        QImage made(pixelWidth, pixelHeight, QImage::Format_ARGB32);
        if (made.isNull())
            return false;
        made.fill(0);
        QPainter p(&made);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.setRenderHint(QPainter::TextAntialiasing, true);

        const QTransform enlarge = QTransform::fromScale(double(pixelWidth) / w, double(pixelHeight) / h);
        const double zoom = e.ImageZoom;
        if (zoom != 1.0 && std::isfinite(zoom)) {
            p.setTransform(QTransform::fromTranslate(-w / 2.0, -h / 2.0) * QTransform::fromScale(zoom, zoom)
                           * QTransform::fromTranslate(w / 2.0, h / 2.0) * enlarge);
        } else {
            p.setTransform(enlarge);
        }

        int clientLeft = 0;
        int clientTop = 0;
        int clientWidth = w;
        int clientHeight = h;
        if (e.Image) {
            e.Image->DrawToGraphics(&p, 0, 0, w, h);
            e.Image->CalcClientRect(w, h, clientLeft, clientTop, clientWidth, clientHeight);
        }

        QString caption = look.caption;
        if (ownerDraw)
            ownerDraw(p, captionFont, clientLeft, clientTop, clientWidth, clientHeight, caption);

        if (clientWidth >= 1 && clientHeight >= 1) {
            if (!look.picture.isNull()) {
                const double x = clientLeft + (clientWidth - look.picture.width()) / 2.0;
                const double y = clientTop + (clientHeight - look.picture.height()) / 2.0;
                p.drawImage(QPointF(roundEven(x), roundEven(y)), look.picture);
            } else {
                // The caption ends at its first zero character, as text handed on by length-less strings does.
                const qsizetype end = caption.indexOf(QChar(0));
                if (end >= 0)
                    caption.truncate(end);
                if (!caption.isEmpty()) {
                    const qint32 colour = e.TextColor == -1 ? look.foreColor : e.TextColor;
                    const StringFormat format = pvPrepareStringFormat(e.TextFlags);
                    QRectF layout(clientLeft, clientTop, clientWidth, clientHeight);
                    if ((eState & HoverAndPressed) == HoverAndPressed)
                        layout.translate(roundEven(e.TextOffsetX), roundEven(e.TextOffsetY));
                    if (!(e.ShadowOffsetX == 0 && e.ShadowOffsetY == 0 && e.Image)) {
                        drawCaption(
                            p, caption, captionFont, pvTranslateColor(e.ShadowColor, e.ShadowOpacity, look.palette),
                            layout.translated(finiteOr(e.ShadowOffsetX, 0), finiteOr(e.ShadowOffsetY, 0)), format);
                    }
                    drawCaption(p, caption, captionFont, pvTranslateColor(colour, e.TextOpacity, look.palette), layout,
                                format);
                }
            }
        }
        p.end();
        focusLayer = focus;
        face = made;
        return true;
    } catch (...) {
        return false;
    }
}

bool pvMergeBitmap(QImage &dst, const QImage &src, int dstWeight, int srcWeight)
{
    try {
        if (dst.isNull() || src.isNull())
            return false;
        if (dst.format() != QImage::Format_ARGB32)
            dst = dst.convertToFormat(QImage::Format_ARGB32);
        const QImage source = src.format() == QImage::Format_ARGB32 ? src : src.convertToFormat(QImage::Format_ARGB32);
        if (dst.isNull() || source.isNull())
            return false;
        const qsizetype dstStride = dst.bytesPerLine();
        const qsizetype srcStride = source.bytesPerLine();
        const qsizetype columns = std::min(dstStride, srcStride);
        const int rows = std::min(dst.height(), source.height());
        if (dstWeight >= 0 && srcWeight >= 0 && dstWeight + srcWeight <= 255) {
            // Every fade frame comes this way: no result can leave 0..255, so the loop needs no clamp
            // and the compiler can run it over many bytes at once.
            const quint32 dw = quint32(dstWeight);
            const quint32 sw = quint32(srcWeight);
            for (int row = 0; row < rows; ++row) {
                uchar *d = dst.scanLine(row);
                const uchar *s = source.constScanLine(row);
                for (qsizetype c = 0; c < columns; ++c)
                    d[c] = uchar((d[c] * dw + s[c] * sw) / 255u);
            }
            return true;
        }
        const qint64 dw = dstWeight;
        const qint64 sw = srcWeight;
        for (int row = 0; row < rows; ++row) {
            uchar *d = dst.scanLine(row);
            const uchar *s = source.constScanLine(row);
            for (qsizetype c = 0; c < columns; ++c) {
                const qint64 v = (qint64(d[c]) * dw + qint64(s[c]) * sw) / 255;
                d[c] = uchar(std::clamp<qint64>(v, 0, 255));
            }
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool pvPrepareFont(const QFont &font, QFont &out)
{
    try {
        QFont made;
        const QString family = font.family();
        if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
            made = QFont(family);
        } else {
            made = QFont(QStringLiteral("Sans Serif"));
            made.setStyleHint(QFont::SansSerif);
        }
        double points = font.pointSizeF();
        if (points <= 0)
            points = font.pixelSize() * 72.0 / 96.0;
        if (!(points > 0))
            return false;
        made.setPointSizeF(points);
        made.setBold(font.bold());
        made.setItalic(font.italic());
        made.setUnderline(font.underline());
        made.setStrikeOut(font.strikeOut());
        out = made;
        return true;
    } catch (...) {
        return false;
    }
}

StringFormat pvPrepareStringFormat(qint32 flags)
{
    StringFormat f;
    switch (flags & 3) {
    case 1: f.alignment = Qt::AlignHCenter; break;
    case 2: f.alignment = Qt::AlignRight; break;
    default: f.alignment = Qt::AlignLeft; break;
    }
    switch ((flags / 4) & 3) {
    case 1: f.alignment |= Qt::AlignVCenter; break;
    case 2: f.alignment |= Qt::AlignBottom; break;
    default: f.alignment |= Qt::AlignTop; break;
    }
    // The layout flags the text drawing understands: right to left, vertical, no wrapping, no clipping.
    const qint32 formatFlags = flags / 16;
    f.rightToLeft = formatFlags & 0x0001;
    f.vertical = formatFlags & 0x0002;
    f.noWrap = formatFlags & 0x1000;
    f.noClip = formatFlags & 0x4000;
    return f;
}

QRgb pvTranslateColor(qint32 oleColour, double opacity, const QPalette &palette)
{
    const QColor c = olecolor::toColor(oleColour, palette);
    const double scaled = std::isnan(opacity) ? 0.0 : std::clamp(opacity * 255.0, 0.0, 255.0);
    return qRgba(c.red(), c.green(), c.blue(), int(std::nearbyint(scaled)));
}

bool pvPreparePicture(const QVariant &picture, qint32 maskColour, const QPalette &palette, QImage &out)
{
    try {
        QImage image;
        if (picture.typeId() == QMetaType::QImage || picture.typeId() == QMetaType::QPixmap) {
            // A bitmap carries no alpha: its transparency is the mask colour's job.
            const QImage bitmap =
                picture.typeId() == QMetaType::QImage ? picture.value<QImage>() : picture.value<QPixmap>().toImage();
            if (!bitmap.isNull())
                image = bitmap.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_ARGB32);
        } else if (picture.typeId() == QMetaType::QIcon) {
            const QIcon icon = picture.value<QIcon>();
            // The largest size the icon holds; an icon that names none is drawn at the usual 32 x 32.
            QSize size;
            const QList<QSize> sizes = icon.availableSizes();
            for (const QSize &s : sizes)
                if (!size.isValid() || qint64(s.width()) * s.height() > qint64(size.width()) * size.height())
                    size = s;
            if (!size.isValid() || size.isEmpty())
                size = QSize(32, 32);
            if (!icon.isNull()) {
                image = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
                keepOrFillAlpha(image);
            }
        } else if (picture.metaType() == QMetaType::fromType<QPicture>()) {
            const QPicture metafile = picture.value<QPicture>();
            const QRect bounds = metafile.boundingRect();
            if (!bounds.isEmpty() && bounds.width() <= 8192 && bounds.height() <= 8192) {
                QImage section(bounds.size(), QImage::Format_ARGB32_Premultiplied);
                if (!section.isNull()) {
                    section.fill(0);
                    QPainter p(&section);
                    p.drawPicture(-bounds.topLeft(), metafile);
                    p.end();
                    image = section.convertToFormat(QImage::Format_ARGB32);
                    keepOrFillAlpha(image);
                }
            }
        }
        if (!image.isNull() && maskColour != -1) {
            const QRgb key = olecolor::toColor(maskColour, palette).rgb() | 0xFF000000u;
            for (int y = 0; y < image.height(); ++y) {
                auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x)
                    if (row[x] == key)
                        row[x] = 0;
            }
        }
        out = image;
        return true;
    } catch (...) {
        return false;
    }
}

bool samePicture(const QVariant &a, const QVariant &b)
{
    if (a.metaType() != b.metaType())
        return false;
    if (!a.isValid())
        return true;
    switch (a.typeId()) {
    case QMetaType::QImage: return a.value<QImage>().cacheKey() == b.value<QImage>().cacheKey();
    case QMetaType::QPixmap: return a.value<QPixmap>().cacheKey() == b.value<QPixmap>().cacheKey();
    case QMetaType::QIcon: return a.value<QIcon>().cacheKey() == b.value<QIcon>().cacheKey();
    default: break;
    }
    if (a.metaType() == QMetaType::fromType<QPicture>()) {
        const QPicture pa = a.value<QPicture>();
        const QPicture pb = b.value<QPicture>();
        return pa.size() == pb.size() && std::memcmp(pa.data(), pb.data(), pa.size()) == 0;
    }
    return a == b;
}

} // namespace buttonface
