#include "app/WindowLayout.h"

#include "app/MessagePane.h"
#include "common/Twips.h"
#include "ninepatch/ctxPatchButton.h"
#include "units/dUnit.h"

#include <QWidget>
#include <cmath>

namespace {

// Spacing of the lower part of the window, in twips.
constexpr double Gap = 200;
// Where "+" stands in the design row when the row is wide enough: just clear of UNIT 5's count box.
constexpr double AddDesignLeft = 13860;
// The link indicator's width, at the right end of the status line's row.
constexpr double LinkWidth = 3600;

} // namespace

WindowLayout::WindowLayout(const QWidget &window, QWidget &canvas, const Controls &controls)
    : m_window(window)
    , m_canvas(canvas)
    , m_c(controls)
{}

double WindowLayout::scaleFor(QSize view) const
{
    // The content in a window of the default size: as large as fits. A larger window enlarges it by the
    // lesser of its two ratios to that window.
    const double width = twips::toPixels(DefaultWidth, dpi());
    const double height = twips::toPixels(DefaultHeight, dpi());
    const double atDefault =
        qMin(width / twips::toPixels(ContentWidth, dpi()), height / twips::toPixels(ContentHeight, dpi()));
    return atDefault * qMax(1.0, qMin(view.width() / width, view.height() / height));
}

QSize WindowLayout::canvasFor(double scale, QSize view) const
{
    const double d = dpi() * scale;
    return QSize(twips::toPixels(ContentWidth, d), twips::toPixels(ContentHeight, d)).expandedTo(view);
}

void WindowLayout::setScale(double scale, QSize canvas)
{
    const bool rescaled = scale != m_scale;
    m_scale = scale;
    if (rescaled) {
        for (const auto &[widget, points] : std::as_const(m_c.fonts)) {
            QFont f = widget->font();
            f.setPointSizeF(points * scale);
            widget->setFont(f);
        }
        m_c.txtOut->setScale(scale);
        for (ctxPatchButton *b : m_canvas.findChildren<ctxPatchButton *>())
            b->setScale(scale);
    }
    m_canvas.resize(canvas);
    if (rescaled) // a new size alone moves only the lower part
        placeAll();
    layout();
    if (rescaled) {
        for (dUnit *panel : m_canvas.findChildren<dUnit *>())
            panel->setScale(scale);
    }
}

void WindowLayout::fit(QSize view, int scrollBarExtent)
{
    const double scale = scaleFor(view);
    QSize room = view;
    QSize canvas = canvasFor(scale, room);
    for (int pass = 0; pass < 2; ++pass) {
        room = QSize(view.width() - (canvas.height() > room.height() ? scrollBarExtent : 0),
                     view.height() - (canvas.width() > room.width() ? scrollBarExtent : 0));
        canvas = canvasFor(scale, room);
    }
    setScale(scale, canvas);
}

void WindowLayout::placeAll()
{
    placeTwips(m_c.lstDesign, 120, 600, 2895, 4890);
    placeTwips(m_c.cmdRemoveDesign, 2640, 210, 375, 375); // clear of the list below it
    placeTwips(m_c.cmdOpenConsole, 360, 5520, 2415, 615);
    placeTwips(m_c.txtCommand, 120, 6240, 2500, 405);
    placeTwips(m_c.cmdExecCommand, 2640, 6255, 375, 375);
    placeTwips(m_c.lstCommands, 120, 6720, 2895, 3540);
    placeTwips(m_c.picContainer, 3360, 600, 15495, 6135);
    placeTwips(m_c.picContainer2, 3480, 6360, 14295, 1455);
    placeTwips(m_c.txtDesign, 240, 240, 2055, 405);
    placeTwips(m_c.cmdDispense, 240, 780, 2055, 500);
    for (int n = 1; n <= 10; ++n)
        placeTwips(m_c.txtNos[size_t(n)], 2520 + ((n - 1) % 5) * 2310, n <= 5 ? 240 : 840, 2055, 405);
    placeTwips(m_c.cmdAddDesign, AddDesignLeft, 240, 375, 375);
    placeTwips(m_c.txtOut, 3360, 6600, 13935, 3255);
    placeTwips(m_c.lblStatus, 3360, 9960, 13935 - LinkWidth, 480);
    placeTwips(m_c.lblLink, 3360 + 13935 - LinkWidth, 9960, LinkWidth, 480);
    placeTwips(m_c.cShow, 17400, 8520, 500, 500);
    placeTwips(m_c.cClearOut, 0, 0, 500, 500);
}

void WindowLayout::layout()
{
    const TwipRect unitArea = twipsRect(m_c.picContainer);
    const TwipRect inner = twipsRect(&m_canvas);
    placeTwips(m_c.picContainer2, unitArea.left, unitArea.top + unitArea.height + Gap,
               inner.width - unitArea.left - 800, twipsRect(m_c.picContainer2).height);
    const TwipRect designRow = twipsRect(m_c.picContainer2);
    // "+" keeps its place when the row is wide enough for it, else it stands at the row's right edge.
    const TwipRect add = twipsRect(m_c.cmdAddDesign);
    placeTwips(m_c.cmdAddDesign, qMax(0.0, qMin(AddDesignLeft, designRow.width - add.width)), add.top, add.width,
               add.height);
    // The pane follows the row even where the window leaves it no height (it keeps the height it had).
    const double paneTop = designRow.top + designRow.height + Gap;
    placeTwips(m_c.txtOut, designRow.left, paneTop, designRow.width, twipsRect(m_c.txtOut).height);
    const TwipRect placed = twipsRect(m_c.txtOut);
    placeTwips(m_c.txtOut, placed.left, placed.top, placed.width,
               inner.height - placed.top - twipsRect(m_c.lblStatus).height - 400);
    const TwipRect out = twipsRect(m_c.txtOut);
    const double statusHeight = twipsRect(m_c.lblStatus).height;
    placeTwips(m_c.lblStatus, out.left, out.top + out.height + Gap, qMax(0.0, out.width - LinkWidth), statusHeight);
    placeTwips(m_c.lblLink, out.left + qMax(0.0, out.width - LinkWidth), out.top + out.height + Gap,
               qMin(LinkWidth, out.width), statusHeight);
    const TwipRect filterButton = twipsRect(m_c.cShow);
    placeTwips(m_c.cShow, out.left + out.width + 10, out.top, filterButton.width, filterButton.height);
    const TwipRect shown = twipsRect(m_c.cShow);
    placeTwips(m_c.cClearOut, shown.left, shown.top + shown.height + 100, shown.width, shown.height);
}

WindowLayout::TwipRect WindowLayout::panelRect(int n, double panelWidth, double panelHeight)
{
    return {double(((n - 1) % 5) + 1) * (panelWidth + 200), double((n - 1) / 5) * (panelHeight + 400), panelWidth,
            panelHeight};
}

double WindowLayout::dpi() const
{
    return m_window.logicalDpiX() > 0 ? m_window.logicalDpiX() : 96.0;
}

WindowLayout::TwipRect WindowLayout::twipsRect(const QWidget *w) const
{
    const double d = canvasDpi();
    const QRect g = w->geometry();
    return {twips::fromPixels(g.x(), d), twips::fromPixels(g.y(), d), twips::fromPixels(g.width(), d),
            twips::fromPixels(g.height(), d)};
}

bool WindowLayout::placeTwips(QWidget *w, double left, double top, double width, double height) const
{
    if (!w || !std::isfinite(left + top + width + height) || width < 0 || height < 0)
        return false;
    const double d = canvasDpi();
    w->setGeometry(twips::toPixels(left, d), twips::toPixels(top, d), twips::toPixels(width, d),
                   twips::toPixels(height, d));
    return true;
}

WindowLayout::TwipRect WindowLayout::windowTwips() const
{
    const double d = dpi();
    return {twips::fromPixels(m_window.x(), d), twips::fromPixels(m_window.y(), d),
            twips::fromPixels(m_window.width(), d), twips::fromPixels(m_window.height(), d)};
}
