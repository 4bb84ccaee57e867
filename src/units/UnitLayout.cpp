#include "UnitLayout.h"

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
    put(t, Body, 0, 0, W - ShadowOffset, H - ShadowOffset);
    const Rect body = t.get(Body);
    put(t, Shadow, ShadowOffset, ShadowOffset, body.width, body.height);

    put(t, Name, 0, 0, body.width, body.height / Rows);
    const Rect name = t.get(Name);
    const double rowH = name.height;
    put(t, Size, 0, name.top + name.height, body.width, rowH);
    const Rect size = t.get(Size);
    put(t, Count, 0, size.top + size.height, body.width, rowH);
    const Rect count = t.get(Count);
    put(t, Info, 0, count.top + count.height, body.width, rowH);
    const Rect info = t.get(Info);

    // Three button columns of W / 3 - 4 gaps; with the two gaps between them they fill the body exactly.
    put(t, Init, 0, info.top + info.height, W / Columns - 4 * ColumnGap, rowH);
    const Rect init = t.get(Init);
    put(t, Home, init.left + init.width + ColumnGap, init.top, init.width, rowH);
    const Rect home = t.get(Home);
    put(t, Flush, home.left + home.width + ColumnGap, init.top, init.width, rowH);
    const Rect flush = t.get(Flush);
    put(t, Upd, flush.left, init.top + init.height + RowGap, init.width, rowH);
    const Rect upd = t.get(Upd);
    put(t, Save, home.left, upd.top, init.width, rowH);
    put(t, Stop, init.left, upd.top, init.width, rowH);

    // Y and N share the right half of the third column on the information line, Y above N.
    put(t, Yes, flush.left + init.width / 2, info.top, init.width / 2, init.height / 2);
    const Rect yes = t.get(Yes);
    put(t, No, yes.left, info.top + yes.height, yes.width, yes.height);
}

} // namespace unitlayout
