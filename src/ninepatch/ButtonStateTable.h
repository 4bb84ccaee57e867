#pragma once

#include "common/OleColor.h"

#include <QByteArray>
#include <QFont>

#include <array>
#include <memory>
#include <optional>

class cPatchImage;

// The visual conditions of a button; its state is a set of them.
enum ButtonStateBit : qint32 {
    StateHover = 1,
    StatePressed = 2,
    StateDisabled = 4,
    StateFocused = 8,
};

// What a button keeps for one entry of its per-state table. The entry of a state is the state's bit
// set; entry 8 is the focus ring, drawn under the face.
struct ButtonStateAttributes
{
    QByteArray ImageArray;
    std::shared_ptr<cPatchImage> Image;
    double ImageOpacity = 1.0;
    double ImageZoom = 1.0;
    std::optional<QFont> TextFont;
    qint32 TextFlags = 5;
    qint32 TextColor = -1;
    double TextOpacity = 1.0;
    double TextOffsetX = 0.0;
    double TextOffsetY = 0.0;
    qint32 ShadowColor = olecolor::ButtonShadow;
    double ShadowOpacity = 0.5;
    double ShadowOffsetX = 0.0;
    double ShadowOffsetY = 0.0;
};

constexpr int ButtonStateEntries = 9; // entries 0..8
using ButtonStateTable = std::array<ButtonStateAttributes, ButtonStateEntries>;
