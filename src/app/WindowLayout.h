#pragma once

#include <QList>
#include <QSize>
#include <QtGlobal>
#include <array>
#include <utility>

class MessagePane;
class QWidget;

// Where every control of the main window stands, in twips as the window was drawn, and how the lower part
// follows the window's size. Every position of the window is here and nowhere else. The controls stand on
// a canvas; one factor scales them all, with their fonts and faces.
class WindowLayout
{
public:
    // The window's size when nothing is stored.
    static constexpr double DefaultWidth = 18000; // twips
    static constexpr double DefaultHeight = 11000; // twips
    // The content as drawn: the design row at its drawn width (14295) with the lower part's margins on
    // either side, which also holds the five panels of the unit area's first row.
    static constexpr double ContentWidth = 3360 + 14295 + 800; // twips
    static constexpr double ContentHeight = DefaultHeight;

    struct TwipRect
    {
        double left, top, width, height;
    };

    // The controls placed here; the count boxes are 1 to 10.
    struct Controls
    {
        QWidget *lstDesign = nullptr, *cmdRemoveDesign = nullptr, *cmdOpenConsole = nullptr, *txtCommand = nullptr,
                *cmdExecCommand = nullptr, *lstCommands = nullptr;
        QWidget *picContainer = nullptr, *picContainer2 = nullptr, *txtDesign = nullptr, *cmdDispense = nullptr,
                *cmdAddDesign = nullptr;
        std::array<QWidget *, 11> txtNos{};
        MessagePane *txtOut = nullptr;
        QWidget *lblStatus = nullptr, *lblLink = nullptr, *cShow = nullptr, *cClearOut = nullptr;
        // The fonts scaled with the content, at their drawn size in points (the pane scales its own).
        QList<std::pair<QWidget *, double>> fonts;
    };

    // window: whose size and place are stored; canvas: what the controls stand on.
    WindowLayout(const QWidget &window, QWidget &canvas, const Controls &controls);

    // The factor for a view of this many pixels: the content's in a window of the default size, times the
    // lesser of the view's two ratios to that window; never less (a smaller view scrolls).
    double scaleFor(QSize view) const;
    // The canvas's size at that scale in a view this large: the content's, and any room the view has beyond.
    QSize canvasFor(double scale, QSize view) const;
    double scale() const { return m_scale; }
    // Sets the factor and the canvas's size; every control is then placed again, and on a new factor its
    // font, its face and the panels grow or shrink with it.
    void setScale(double scale, QSize canvas);
    // The scale and the canvas for a view of this many pixels, whose scroll bars are this thick: a bar,
    // where one is needed, takes its room from the other direction.
    void fit(QSize view, int scrollBarExtent);

    // Every control at its place as drawn.
    void placeAll();
    // The lower part (design row, pane, status line, the pane's buttons) for the canvas's size now.
    void layout();
    // Panel n (1 up) of the unit area, five to a row beside the "All Units" panel of the size given.
    static TwipRect panelRect(int n, double panelWidth, double panelHeight);

    // The screen's pixels per inch, for the window; the canvas's twips are that many times the scale.
    double dpi() const;
    TwipRect twipsRect(const QWidget *w) const;
    // Places a control in twips; a negative width or height is refused and the control keeps its place.
    bool placeTwips(QWidget *w, double left, double top, double width, double height) const;
    TwipRect windowTwips() const;

private:
    double canvasDpi() const { return dpi() * (m_scale > 0 ? m_scale : 1.0); }

    const QWidget &m_window;
    QWidget &m_canvas;
    Controls m_c;
    double m_scale = 0; // none yet: the first setScale places everything
};
