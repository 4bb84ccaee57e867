#pragma once

#include <QtGlobal>
#include <array>

class QWidget;

// Where every control of the main window stands, in twips as the window was drawn at its default size,
// and how the lower part follows the window's size. Every position of the window is here and nowhere
// else; one factor scales them all (1 at the default size).
class WindowLayout
{
public:
    static constexpr double DefaultWidth = 18000; // twips
    static constexpr double DefaultHeight = 11000; // twips

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
        QWidget *txtOut = nullptr, *lblStatus = nullptr, *lblLink = nullptr, *cShow = nullptr, *cClearOut = nullptr;
    };

    WindowLayout(const QWidget &window, const Controls &controls);

    // Every control at its place as drawn.
    void placeAll();
    // The lower part (design row, pane, status line, the pane's buttons) for the window's size now.
    void layout();
    // Panel n (1 up) of the unit area, five to a row beside the "All Units" panel of the size given.
    static TwipRect panelRect(int n, double panelWidth, double panelHeight);

    double dpi() const;
    TwipRect twipsRect(const QWidget *w) const;
    // Places a control in twips; a negative width or height is refused and the control keeps its place.
    bool placeTwips(QWidget *w, double left, double top, double width, double height) const;
    TwipRect windowTwips() const;

private:
    const QWidget &m_window;
    Controls m_c;
};
