#pragma once

#include <QByteArray>
#include <QImage>

#include <memory>

class cPatchImage;

// The one picture that every built-in button style is cut from. It is decoded once per process and
// kept for the process's lifetime; every button shares it.
class StyleAtlas
{
public:
    // A row-wrapped grid of equally sized cells starting at `top`.
    struct Family
    {
        int top;
        int cellWidth;
        int cellHeight;
        int count;
    };
    static constexpr int Width = 231;
    static constexpr int Height = 159;
    static constexpr Family Flat{0, 21, 21, 41};
    static constexpr Family Tall{84, 19, 52, 11};
    static constexpr Family Card{136, 21, 23, 8};

    // The process-wide atlas, decoded on first use (thread-safe).
    static const StyleAtlas &instance();

    // False when the embedded picture could not be decoded; every cut then fails.
    bool isValid() const { return !m_image.isNull(); }
    // Non-premultiplied ARGB, 231 x 159.
    const QImage &image() const { return m_image; }

    // A new nine-patch image of one cell of the shared atlas; null when the cell lies outside the
    // atlas or does not load.
    std::shared_ptr<cPatchImage> pvResExtract(int index, int top, int cellWidth, int cellHeight) const;
    // The same cut from any atlas. Cell `index` sits `index * cellWidth` pixels along the rows of
    // cells, wrapping at the atlas's width; each wrap moves one cell height down from `top`.
    static std::shared_ptr<cPatchImage> pvResExtract(const QImage &atlas, int index, int top, int cellWidth,
                                                     int cellHeight);

    // The encoded picture as embedded in the program.
    static QByteArray embeddedPng();

    // How many times this process has decoded the embedded picture (at most once).
    static int decodeCount();

private:
    StyleAtlas();

    QImage m_image;
};
