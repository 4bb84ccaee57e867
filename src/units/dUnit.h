#pragma once

#include "ConsoleHost.h"
#include "UnitLayout.h"

#include <QLabel>
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

// The panel of one dispensing unit: four lines (name, size, count, information), the unit's state as the
// colour of a drop-shadow band, the check state as the colour of the name, and eight buttons whose clicks
// it passes on as events. It keeps no data of its own: every property reads and writes a child.
class dUnit : public QWidget, public UnitView
{
    Q_OBJECT
public:
    // The colours of the name line.
    static constexpr qint32 CheckedColour = 65280; // (0, 255, 0)
    static constexpr qint32 UncheckedColour = 14737632; // (224, 224, 224)
    // The state colours.
    static constexpr qint32 Idle = 4194304; // dark navy: no answer since the last command
    static constexpr qint32 Answered = 49152; // green: an answer has just arrived
    static constexpr qint32 Stuck = 255; // red: stuck stone
    static constexpr qint32 AnsweredEarlier = 32768; // dark green

    // The panel's size before the window sizes it, in twips.
    static constexpr double InitialWidth = 2400;
    static constexpr double InitialHeight = 3015;

    explicit dUnit(QWidget *parent = nullptr);

    bool isChecked() const override;
    void setChecked(bool checked) override;
    QString caption1() const override;
    void setCaption1(const QString &text);
    QString caption2() const;
    void setCaption2(const QString &text);
    QString caption3() const override;
    void setCaption3(const QString &text) override;
    QString caption4() const override;
    void setCaption4(const QString &text) override;
    qint32 State() const override;
    void setState(qint32 colour) override;

    // The host's free text: the unit's UID.
    QString Tag() const override { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Position and size in twips, as the window places its controls.
    void Move(double left, double top, double width, double height);
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
    // The state colour, the check mark or a caption has taken a new value (for whoever mirrors the panel).
    void changed();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    class PixelTarget;
    double dpi() const;
    void layoutChildren();

    QWidget *m_body = nullptr;
    QWidget *m_shadow = nullptr;
    NameLabel *m_lblName = nullptr;
    QLabel *m_lblSize = nullptr;
    QLabel *m_lblCount = nullptr;
    QLabel *m_lblInfo = nullptr;
    std::array<QWidget *, unitlayout::ChildCount> m_children{};
    QString m_tag;
    QMenu *m_menu = nullptr;
    bool m_settingsOffered = false;
    void offerSettings(const QPoint &globalPos);
};
