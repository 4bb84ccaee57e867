#include "ninepatch/StyleAtlas.h"

#include "ninepatch/cPatchImage.h"

#include <QFile>

#include <atomic>

namespace {
const QString ResourcePath = QStringLiteral(":/ninepatch/atlas.png");
std::atomic<int> decodes{0};
} // namespace

const StyleAtlas &StyleAtlas::instance()
{
    static const StyleAtlas atlas;
    return atlas;
}

int StyleAtlas::decodeCount()
{
    return decodes.load();
}

StyleAtlas::StyleAtlas()
{
    ++decodes;
    QImage decoded;
    if (decoded.loadFromData(embeddedPng(), "PNG") && decoded.size() == QSize(Width, Height))
        m_image = decoded.convertToFormat(QImage::Format_ARGB32);
}

QByteArray StyleAtlas::embeddedPng()
{
    QFile file(ResourcePath);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

std::shared_ptr<cPatchImage> StyleAtlas::pvResExtract(int index, int top, int cellWidth, int cellHeight) const
{
    return pvResExtract(m_image, index, top, cellWidth, cellHeight);
}

std::shared_ptr<cPatchImage> StyleAtlas::pvResExtract(const QImage &atlas, int index, int top, int cellWidth,
                                                      int cellHeight)
{
    if (atlas.isNull() || index < 0 || top < 0 || cellWidth <= 0 || cellHeight <= 0)
        return nullptr;
    const qint64 offset = qint64(index) * cellWidth;
    const qint64 x = offset % atlas.width();
    const qint64 y = top + qint64(cellHeight) * (offset / atlas.width());
    if (x + cellWidth > atlas.width() || y + cellHeight > atlas.height())
        return nullptr;
    auto image = std::make_shared<cPatchImage>();
    if (!image->LoadFromBitmap(atlas.copy(int(x), int(y), cellWidth, cellHeight)))
        return nullptr;
    return image;
}
