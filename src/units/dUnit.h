#pragma once

#include "host/UnitModel.h"
#include "units/UnitLayout.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>
#include <array>

class QMenu;
class ctxPatchButton;

// The name line of a unit panel: a double click on it is how the operator checks the unit.
class NameLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;
};

// The panel of one dispensing unit: it draws a unit model, four lines (name, size, count, information), the
// unit's state as the colour of a drop-shadow band, the check mark as the colour of the name, and eight
// buttons whose clicks it passes on as events. Its properties read and write the model, and it keeps no
// data of its own beyond the colour of a band set by hand to none of the states' colours.
class dUnit : public QWidget
{
    Q_OBJECT
public:
    // The colours of the name line. These and the state colours are the console's only unit colours.
    static constexpr qint32 CheckedColour = 65280; // (0, 255, 0)
    static constexpr qint32 UncheckedColour = 14737632; // (224, 224, 224)
    // The state colours.
    static constexpr qint32 Idle = 4194304; // dark navy: no answer since the last command
    static constexpr qint32 Answered = 49152; // green: an answer has just arrived
    static constexpr qint32 Stuck = 255; // red: stuck stone
    static constexpr qint32 AnsweredEarlier = 32768; // dark green
    // The colour of a state (Other has none of its own: the panel keeps the one it was given).
    static qint32 colourOf(UnitState state);

    // The panel's size before the window sizes it, in twips.
    static constexpr double InitialWidth = 2400;
    static constexpr double InitialHeight = 3015;

    // A panel with a model of its own, showing the initial lines.
    explicit dUnit(QWidget *parent = nullptr);
    // A panel that draws the model given, which must outlive it.
    explicit dUnit(UnitModel &model, QWidget *parent = nullptr);

    UnitModel &model() const { return *m_model; }

    bool isChecked() const;
    void setChecked(bool checked);
    QString caption1() const;
    void setCaption1(const QString &text);
    QString caption2() const;
    void setCaption2(const QString &text);
    // The count and information lines; set here, they show no number the model can publish.
    QString caption3() const;
    void setCaption3(const QString &text);
    QString caption4() const;
    void setCaption4(const QString &text);
    // The band's colour: a state's colour sets that state, any other colour the state Other.
    qint32 State() const;
    void setState(qint32 colour);

    // The host's free text: the unit's UID.
    QString Tag() const;
    void setTag(const QString &tag);

    // Position and size in twips, as the window places its controls.
    void Move(double left, double top, double width, double height);
    // The window's scale: a twip is that many times larger on screen, and so is everything on the panel.
    double scale() const { return m_scale; }
    void setScale(double scale);
    double twipsWidth() const;
    double twipsHeight() const;

    // The geometry of a child in twips, relative to the panel (body children: relative to the body).
    unitlayout::Rect childRect(unitlayout::Child child) const;
    QWidget *child(unitlayout::Child child) const { return m_children[child]; }
    ctxPatchButton *button(unitlayout::Child child) const;

    // Whether a right click (or the menu key, or Shift+F10) offers "UNIT n settings..." (not on the
    // "All Units" panel). The menu, for tests and the keyboard.
    void setSettingsOffered(bool offered) { m_settingsOffered = offered; }
    QMenu *contextMenu() const { return m_menu; }

signals:
    void Init();
    void Update();
    void Home();
    void Save();
    void Flush();
    void STOPall();
    void ReportOK();
    void ReportNotOK();
    void checkClicked();
    // The operator asked for the unit's settings.
    void settingsRequested();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    class PixelTarget;
    double dpi() const;
    QString sizeLine() const;
    // Moves the focus to the next button in an arrow key's direction; false for any other key.
    bool moveAmongButtons(int key);
    void layoutChildren();
    void build();
    void drawState();
    void drawChecked();

    QWidget *m_body = nullptr;
    QWidget *m_shadow = nullptr;
    NameLabel *m_lblName = nullptr;
    QLabel *m_lblSize = nullptr;
    QLabel *m_lblCount = nullptr;
    QLabel *m_lblInfo = nullptr;
    std::array<QWidget *, unitlayout::ChildCount> m_children{};
    UnitModel *m_model = nullptr;
    qint32 m_otherColour = Idle; // the band's colour in the state Other
    double m_scale = 1.0;
    unitlayout::Rect m_place{0, 0, InitialWidth, InitialHeight}; // as given to Move, in twips
    QPointer<ctxPatchButton> m_current; // the button the panel's focus goes to
    QMenu *m_menu = nullptr;
    bool m_settingsOffered = false;
    void offerSettings(const QPoint &globalPos);
};
