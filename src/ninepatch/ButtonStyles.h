#pragma once

#include "ninepatch/ButtonStateTable.h"

#include <optional>

// The 28 built-in looks, all cut from the style atlas.
namespace buttonstyles {

// What a style sets besides the per-state table.
struct ControlLook
{
    std::optional<double> animationDuration; // none: the duration stays as it was
    qint32 foreColor = 0;
};

// Resets the table, then fills it for a built-in style (1 to 28) with cells of the atlas. False, with
// the table reset and `look` untouched, for style 0, any other number, or when the atlas cannot be made.
bool pvSetStyle(int style, ButtonStateTable &table, ControlLook &look);

} // namespace buttonstyles
