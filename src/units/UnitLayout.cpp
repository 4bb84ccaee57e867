#include "units/UnitLayout.h"

namespace unitlayout {

namespace {

void put(Target &t, Child c, double left, double top, double width, double height)
{
    if (width < 0 || height < 0)
        return;
    t.place(c, {left, top, width, height});
}

} // namespace

void apply(double W, double H, Target &t)
{
    put(t, UnitBody, 0, 0, W - ShadowOffset, H - ShadowOffset);
    const Rect body = t.get(UnitBody);
    put(t, picShadow, ShadowOffset, ShadowOffset, body.width, body.height);

    put(t, lblName, 0, 0, body.width, body.height / Rows);
    const Rect name = t.get(lblName);
    const double rowH = name.height;
    put(t, lblSize, 0, name.top + name.height, body.width, rowH);
    const Rect size = t.get(lblSize);
    put(t, lblCount, 0, size.top + size.height, body.width, rowH);
    const Rect count = t.get(lblCount);
    put(t, lblInfo, 0, count.top + count.height, body.width, rowH);
    const Rect info = t.get(lblInfo);

    // Three button columns of W / 3 - 4 gaps; with the two gaps between them they fill the body exactly.
    put(t, cInit, 0, info.top + info.height, W / Columns - 4 * ColumnGap, rowH);
    const Rect init = t.get(cInit);
    put(t, cHome, init.left + init.width + ColumnGap, init.top, init.width, rowH);
    const Rect home = t.get(cHome);
    put(t, cFlush, home.left + home.width + ColumnGap, init.top, init.width, rowH);
    const Rect flush = t.get(cFlush);
    put(t, cUpd, flush.left, init.top + init.height + RowGap, init.width, rowH);
    const Rect upd = t.get(cUpd);
    put(t, cSave, home.left, upd.top, init.width, rowH);
    put(t, cStop, init.left, upd.top, init.width, rowH);

    // Y above N in the third column, each a whole button wide and a line tall, beside the count and
    // information lines: the lines' text never runs under them, and their letters have room to be read.
    put(t, lblCount, 0, count.top, flush.left - ColumnGap, count.height);
    put(t, lblInfo, 0, info.top, flush.left - ColumnGap, info.height);
    put(t, cYes, flush.left, count.top, init.width, count.height);
    put(t, cNo, flush.left, info.top, init.width, info.height);
}

} // namespace unitlayout
