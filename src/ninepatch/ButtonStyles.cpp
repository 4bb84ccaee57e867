#include "ninepatch/ButtonStyles.h"

#include "ninepatch/StyleAtlas.h"
#include "ninepatch/cPatchImage.h"

namespace buttonstyles {

namespace {

// One row of the style table. The last parameters belong to one family each.
struct StyleRow
{
    enum Family { Tall, Flat, Outline };
    Family family;
    int base; // the cell of the normal face
    qint32 foreColor;
    double shadowOpacity;
    qint32 shadowColor;
    double shadowOffsetY;
    qint32 normalTextColor = -1; // tall: -1 keeps the base cell's look; a colour puts it on the light face
    int skip = 0; // flat: cells passed over before the pressed face and the focus ring
    qint32 activeTextColor = -1; // outline: caption colour of the hover and pressed faces
    int activeOffset = 0; // outline: where the solid hover and pressed face sits, from the outline face
};

constexpr StyleRow tall(int base, qint32 foreColor, double shadowOpacity, qint32 shadowColor, double shadowOffsetY,
                        qint32 normalTextColor)
{
    StyleRow r{StyleRow::Tall, base, foreColor, shadowOpacity, shadowColor, shadowOffsetY};
    r.normalTextColor = normalTextColor;
    return r;
}

constexpr StyleRow flat(int base, qint32 foreColor, double shadowOpacity, qint32 shadowColor, double shadowOffsetY,
                        int skip)
{
    StyleRow r{StyleRow::Flat, base, foreColor, shadowOpacity, shadowColor, shadowOffsetY};
    r.skip = skip;
    return r;
}

constexpr StyleRow outline(int base, qint32 foreColor, double shadowOpacity, qint32 shadowColor, double shadowOffsetY,
                           qint32 activeTextColor, int activeOffset)
{
    StyleRow r{StyleRow::Outline, base, foreColor, shadowOpacity, shadowColor, shadowOffsetY};
    r.activeTextColor = activeTextColor;
    r.activeOffset = activeOffset;
    return r;
}

// Styles 1 to 21; 22 to 28 are the cards.
constexpr StyleRow StyleTable[21] = {
    tall(0, 0, 0.8, 0xFFFFFF, 1, -1),
    tall(4, 0xFFFFFF, 0.2, 0, -1, -1),
    tall(7, 0xFFFFFF, 0.2, 0, -1, -1),
    tall(4, 0xFFFFFF, 0.2, 0, -1, 0x7C3F),
    tall(7, 0xFFFFFF, 0.2, 0, -1, 0x3124CB),
    flat(0, 0xFFFFFF, 0.2, 0, -1, 0),
    flat(5, 0x575049, 0.8, 0xFFFFFF, 1, 1),
    flat(11, 0xFFFFFF, 0.2, 0, -1, 0),
    flat(16, 0xFFFFFF, 0.2, 0, -1, 0),
    flat(21, 0xFFFFFF, 0.2, 0, -1, 0),
    flat(26, 0xFFFFFF, 0.2, 0, -1, 0),
    flat(31, 0x575049, 0.8, 0xFFFFFF, 1, 0),
    flat(36, 0xFFFFFF, 0.2, 0, -1, 0),
    outline(1, 0xCF7F46, 0.2, 0, -1, 0xFFFFFF, -1),
    outline(6, 0x575049, 0.2, 0, -1, 0xFFFFFF, 2),
    outline(12, 0xBA5E, 0.2, 0, -1, 0xFFFFFF, -1),
    outline(17, 0x1F20CD, 0.2, 0, -1, 0xFFFFFF, -1),
    outline(22, 0xFC4F1, 0.2, 0, -1, 0xFFFFFF, -1),
    outline(27, 0xF2AA45, 0.2, 0, -1, 0xFFFFFF, -1),
    outline(32, 0x575049, 0.8, 0xFFFFFF, 1, -1, 1),
    outline(37, 0x403A34, 0.2, 0, -1, 0xFFFFFF, -1),
};

std::shared_ptr<cPatchImage> cell(const StyleAtlas::Family &family, int index)
{
    return StyleAtlas::instance().pvResExtract(index, family.top, family.cellWidth, family.cellHeight);
}

void shadow(ButtonStateAttributes &e, const StyleRow &r)
{
    e.ShadowOpacity = r.shadowOpacity;
    e.ShadowColor = r.shadowColor;
    e.ShadowOffsetY = r.shadowOffsetY;
}

void pvFillTall(ButtonStateTable &table, const StyleRow &r)
{
    // The light face and the disabled face carry a light shadow under dark text.
    const auto lightShadow = [](ButtonStateAttributes &e) {
        e.ShadowOpacity = 0.8;
        e.ShadowColor = 0xFFFFFF;
        e.ShadowOffsetY = 1;
    };
    ButtonStateAttributes &normal = table[0];
    if (r.normalTextColor != -1) {
        normal.Image = cell(StyleAtlas::Tall, 0);
        normal.TextColor = r.normalTextColor;
        lightShadow(normal);
    } else {
        normal.Image = cell(StyleAtlas::Tall, r.base);
        shadow(normal, r);
    }
    table[1].Image = cell(StyleAtlas::Tall, r.base + 1);
    shadow(table[1], r);
    table[2].Image = cell(StyleAtlas::Tall, r.base + 2);
    shadow(table[2], r);
    table[2].TextOffsetY = 1;
    ButtonStateAttributes &disabled = table[4];
    disabled.Image = cell(StyleAtlas::Tall, 3);
    disabled.TextOpacity = 0.4;
    disabled.TextColor = 0x2E2924;
    lightShadow(disabled);
    table[8].Image = cell(StyleAtlas::Tall, 10);
}

void pvFillFlat(ButtonStateTable &table, const StyleRow &r)
{
    table[0].Image = cell(StyleAtlas::Flat, r.base);
    table[1].Image = cell(StyleAtlas::Flat, r.base + 2);
    table[2].Image = cell(StyleAtlas::Flat, r.base + 3 + r.skip);
    table[2].TextOffsetY = 1;
    table[4].Image = table[0].Image;
    table[4].ImageOpacity = 0.65;
    table[8].Image = cell(StyleAtlas::Flat, r.base + 4 + r.skip);
    for (int i : {0, 1, 2, 4})
        shadow(table[size_t(i)], r);
}

void pvFillOutline(ButtonStateTable &table, const StyleRow &r)
{
    ButtonStateAttributes &normal = table[0];
    normal.Image = cell(StyleAtlas::Flat, r.base);
    normal.ShadowOpacity = 0;
    normal.ShadowOffsetY = 1;
    for (int i : {1, 2}) {
        ButtonStateAttributes &active = table[size_t(i)];
        active.Image = cell(StyleAtlas::Flat, r.base + r.activeOffset);
        active.TextColor = r.activeTextColor;
        shadow(active, r);
    }
    table[2].TextOffsetY = 1;
    ButtonStateAttributes &disabled = table[4];
    disabled.Image = normal.Image;
    disabled.ImageOpacity = 0.65;
    disabled.ShadowOpacity = 0;
    disabled.ShadowOffsetY = 1;
    table[8].Image = cell(StyleAtlas::Flat, r.base + 3);
}

void pvFillCard(ButtonStateTable &table, int index)
{
    table[0].Image = cell(StyleAtlas::Card, index);
    table[4].Image = table[0].Image;
    table[4].ImageOpacity = 0.65;
    table[8].Image = cell(StyleAtlas::Card, 7);
}

} // namespace

bool pvSetStyle(int style, ButtonStateTable &table, ControlLook &look)
{
    table.fill(ButtonStateAttributes{});
    if (style == 0 || !StyleAtlas::instance().isValid() || style < 1 || style > 28)
        return false;
    if (style >= 22) {
        pvFillCard(table, style - 22);
        look = ControlLook{std::nullopt, 0};
        return true;
    }
    const StyleRow &r = StyleTable[style - 1];
    switch (r.family) {
    case StyleRow::Tall: pvFillTall(table, r); break;
    case StyleRow::Flat: pvFillFlat(table, r); break;
    case StyleRow::Outline: pvFillOutline(table, r); break;
    }
    look = ControlLook{0.2, r.foreColor};
    return true;
}

} // namespace buttonstyles
