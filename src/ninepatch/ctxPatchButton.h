#pragma once

#include "common/AnimationClock.h"
#include "common/OleColor.h"
#include "ninepatch/ButtonStateTable.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QPainter> // the painter of OwnerDraw must be a complete type for connections
#include <QVariant>
#include <QWidget>

#include <functional>
#include <optional>

class cPatchImage;
class PropertyBag;
class QTimer;

// The console's push button: an owner-drawn face cut from nine-patch images, one per visual state,
// cross-faded on every state change. The face is composed into an image of the button's size when
// something that alters it changes; painting only puts the ready image on screen.
//
// Every procedure catches what goes wrong inside it and ends there; nothing escapes to the host. What
// goes wrong in the action behind a click is handed to the ActionFailed handler, so it is said. The per-state accessors
// report an entry index above 8 through their result (`ok` false, or a false return) instead.
//
// ctxPatchButton.cpp holds the properties, the state machine, the animation and the input;
// ctxPatchButtonPaint.cpp the painting, ctxPatchButtonPersistence.cpp the stored layouts. The face is
// built by buttonface (ButtonFace.h), the built-in styles come from buttonstyles (ButtonStyles.h).
class ctxPatchButton : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int Style READ Style WRITE setButtonStyle)
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabledState)
    Q_PROPERTY(double Opacity READ Opacity WRITE setOpacity)
    Q_PROPERTY(double AnimationDuration READ AnimationDuration WRITE setAnimationDuration)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(QFont Font READ Font WRITE setFont)
    Q_PROPERTY(qint32 ForeColor READ ForeColor WRITE setForeColor)
    Q_PROPERTY(bool ManualFocus READ ManualFocus WRITE setManualFocus)
    Q_PROPERTY(QVariant Picture READ Picture WRITE setPicture)
    Q_PROPERTY(qint32 MaskColor READ MaskColor WRITE setMaskColor)
    Q_PROPERTY(bool AutoRedraw READ AutoRedraw WRITE setAutoRedraw)
    Q_PROPERTY(qint32 ButtonState READ ButtonState WRITE setButtonState)
    Q_PROPERTY(bool Value READ Value WRITE setValue)
    Q_PROPERTY(qint16 DownButton READ DownButton)

public:
    // The state bits (StateHover, StatePressed, StateDisabled, StateFocused) as the button's own names.
    using enum ButtonStateBit;
    // Results of pvHitTest.
    enum HitResult : int { HitOutside = 0, HitTransparent = 1, HitHit = 3 };
    static constexpr qint32 DefaultForeColor = olecolor::ButtonText;
    static constexpr qint32 DefaultMaskColor = 0xFF00FF;

    explicit ctxPatchButton(QWidget *parent = nullptr);
    ~ctxPatchButton() override;

    // ---- control-wide properties ----
    int Style() const { return m_style; }
    void setButtonStyle(int style);

    // The control's own enabled flag (a disabled host disables it too, without changing this).
    bool Enabled() const;
    void setEnabledState(bool enabled);

    double Opacity() const { return m_opacity; }
    void setOpacity(double opacity);

    // Seconds a state change takes to cross-fade.
    double AnimationDuration() const { return m_animationDuration; }
    void setAnimationDuration(double seconds);

    QString Caption() const { return m_caption; }
    // What a screen reader's press does: a click, when the button is enabled.
    void press();
    void setCaption(const QString &caption);

    // The widget's font; QWidget::setFont writes it and every change rebuilds the faces.
    QFont Font() const { return font(); }

    // How much larger than drawn the whole face is shown (the window's scale): its corners, caption and
    // picture grow together with the button, so a scaled window keeps its looks. 1 draws as stored.
    double scale() const { return m_scale; }
    void setScale(double scale);

    // An OLE colour (red + 256 * green + 65536 * blue, or a system colour).
    qint32 ForeColor() const { return m_foreColor; }
    void setForeColor(qint32 colour);

    bool ManualFocus() const { return m_manualFocus; }
    void setManualFocus(bool manual);

    // Shown centred instead of the caption. A QImage or QPixmap is a bitmap picture: drawn opaque,
    // its alpha channel dropped, with MaskColor for transparency. A QIcon is an icon: its own alpha is
    // kept (an icon without any alpha is drawn opaque). A QPicture is a metafile, rendered at its own
    // size. Anything else, or an invalid QVariant, means no picture.
    QVariant Picture() const { return m_picture; }
    void setPicture(const QVariant &picture);

    // The colour of Picture drawn transparent; -1 for none.
    qint32 MaskColor() const { return m_maskColor; }
    void setMaskColor(qint32 colour);

    bool AutoRedraw() const { return m_autoRedraw; }
    void setAutoRedraw(bool autoRedraw);

    qint32 ButtonState() const { return m_state; }
    void setButtonState(qint32 state);

    // Always false; writing true clicks the button.
    bool Value() const { return false; }
    void setValue(bool value);

    // The mouse button of the last press (1 left, 2 right, 4 middle); 0 after CancelMode.
    qint16 DownButton() const { return m_downButton; }

    // ---- per-state attributes ----
    // eState picks the table entry (0..8); omitted or negative means the entry of the current state.
    // An entry above 8 (also a current state above 8) is out of range: getters then give the reset
    // value and set *ok to false, setters change nothing and return false.
    QByteArray ButtonImageArray(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ImageArray); }
    bool setButtonImageArray(const QByteArray &bytes, int eState = -1);
    // The entry's nine-patch picture with its marker frame hidden; null when the entry has none. The
    // setter loads a copy, so the caller keeps its own image.
    QImage ButtonImageBitmap(int eState = -1, bool *ok = nullptr) const;
    bool setButtonImageBitmap(const QImage &image, int eState = -1);
    double ButtonImageOpacity(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ImageOpacity); }
    bool setButtonImageOpacity(double value, int eState = -1) { return put(eState, value, &E::ImageOpacity); }
    double ButtonImageZoom(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ImageZoom); }
    bool setButtonImageZoom(double value, int eState = -1) { return put(eState, value, &E::ImageZoom); }
    // std::nullopt: the entry uses the control's Font.
    std::optional<QFont> ButtonTextFont(int eState = -1, bool *ok = nullptr) const
    {
        return get(eState, ok, &E::TextFont);
    }
    bool setButtonTextFont(const std::optional<QFont> &font, int eState = -1)
    {
        return put(eState, font, &E::TextFont);
    }
    qint32 ButtonTextFlags(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::TextFlags); }
    bool setButtonTextFlags(qint32 value, int eState = -1) { return put(eState, value, &E::TextFlags); }
    qint32 ButtonTextColor(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::TextColor); }
    bool setButtonTextColor(qint32 value, int eState = -1) { return put(eState, value, &E::TextColor); }
    double ButtonTextOpacity(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::TextOpacity); }
    bool setButtonTextOpacity(double value, int eState = -1) { return put(eState, value, &E::TextOpacity); }
    double ButtonTextOffsetX(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::TextOffsetX); }
    bool setButtonTextOffsetX(double value, int eState = -1) { return put(eState, value, &E::TextOffsetX); }
    double ButtonTextOffsetY(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::TextOffsetY); }
    bool setButtonTextOffsetY(double value, int eState = -1) { return put(eState, value, &E::TextOffsetY); }
    qint32 ButtonShadowColor(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ShadowColor); }
    bool setButtonShadowColor(qint32 value, int eState = -1) { return put(eState, value, &E::ShadowColor); }
    double ButtonShadowOpacity(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ShadowOpacity); }
    bool setButtonShadowOpacity(double value, int eState = -1) { return put(eState, value, &E::ShadowOpacity); }
    double ButtonShadowOffsetX(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ShadowOffsetX); }
    bool setButtonShadowOffsetX(double value, int eState = -1) { return put(eState, value, &E::ShadowOffsetX); }
    double ButtonShadowOffsetY(int eState = -1, bool *ok = nullptr) const { return get(eState, ok, &E::ShadowOffsetY); }
    bool setButtonShadowOffsetY(double value, int eState = -1) { return put(eState, value, &E::ShadowOffsetY); }

    // ---- persistence ----
    // The values of a new button placed by a designer; the caption is the host's name for it.
    void InitProperties();
    // Each key through its property's write path, Style first, so the stored (or default) colour and
    // duration replace what the style set.
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // ---- painting and inspection ----
    // The control as it is put on screen, on a transparent background.
    QImage render() const;
    // The composed faces (ARGB32, not premultiplied); null until the first paint.
    const QImage &currentFace() const { return m_face; }
    const QImage &previousFace() const { return m_previousFace; }
    const QImage &focusLayer() const { return m_focusLayer; }
    // Share of the new face in the cross-fade, 0..1, and the opacity the face is drawn with now.
    double animationProgress() const { return m_progress; }
    double faceOpacity() const { return m_faceOpacity; }
    bool facesPrepared() const { return m_prepared; }
    bool frameTimerActive() const;

    // The clock and frame interval the fades run on: AnimationClock::system() until one is handed; nullptr
    // hands that back. The clock must outlive the button or be taken back first.
    void setAnimationClock(const AnimationClock *clock) { m_clock = clock ? clock : &AnimationClock::system(); }

    const ButtonStateTable &stateTable() const { return m_table; }

    // Told when the operator's action behind a click or double click failed with an exception: the button
    // and what went wrong. The button itself goes on; the handler says it where the operator sees it.
    using ActionFailed = std::function<void(const ctxPatchButton &button, const QString &what)>;
    static void setActionFailedHandler(ActionFailed handler);

public slots:
    // Composes the AutoRedraw frame again at once and repaints.
    void Refresh();
    // Also builds the face of the current state again at once, without a fade.
    void Repaint();
    void CancelMode();
    // The animation frame; run by the frame timer, not for hosts.
    void TimerProc();

signals:
    void Click();
    void DblClick();
    void ContextMenu();
    // Lets the host draw on a face being built. The client rectangle and the caption may be changed.
    void OwnerDraw(QPainter *hGraphics, const QFont &hFont, qint32 ButtonState, int &ClientLeft, int &ClientTop,
                   int &ClientWidth, int &ClientHeight, QString &Caption, const QImage &hPicture);
    // Asks the host to note this button so it can end its hover later through CancelMode.
    void RegisterCancelMode(ctxPatchButton *oCtl, bool &Handled);
    void KeyDown(int KeyCode, int Shift);
    void KeyPress(int &KeyAscii);
    void KeyUp(int KeyCode, int Shift);
    void AccessKeyPress(int &KeyAscii);
    // Buttons and shift keys as hostevents bits, positions in the host's scale units.
    void MouseDown(int &Button, int &Shift, double X, double Y);
    void MouseMove(int &Button, int &Shift, double X, double Y);
    void MouseUp(int &Button, int &Shift, double X, double Y);
    // A persisted property changed (its name), so the host's stored layout is out of date.
    void propertyChanged(const QString &name);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    ButtonStateAttributes *entry(int eState, bool *ok);
    const ButtonStateAttributes *entry(int eState, bool *ok) const;
    // One field of a per-state entry, read and written as the accessors describe.
    using E = ButtonStateAttributes;
    template<typename T>
    T get(int eState, bool *ok, T E::*field) const;
    template<typename T>
    bool put(int eState, const T &value, T E::*field);
    bool setEntryImage(int eState, const std::function<bool(ButtonStateAttributes &, cPatchImage &)> &load);

    bool buildFace(QImage &face);
    void preparePicture();
    bool pvPrepareAttribs(double opacity);
    // Painting goes through these three. invalidate: forget what no longer matches the button (and ask
    // for a paint). compose: build what is missing. present: put the result on a painter.
    enum class Stale { Frame, Face, Size };
    void invalidate(Stale what);
    bool compose();
    void present(QPainter &painter);
    void drawLayers(QPainter &painter) const;
    double faceOpacityFor(qint32 state) const;

    double pvTimer() const { return m_clock->monotonicSeconds(); }
    void pvState(qint32 mask, bool set);
    bool pvStartAnimation(double duration, double opacityStart, double opacityEnd);
    bool pvAnimateState(double elapsed, double opacityStart, double opacityEnd);
    void pvHandleMouseDown(int button, int shift, double x, double y);
    void pvHandleClick();
    // To assistive technology the button is a push button, named by what it does (once per program).
    static void installAccessibility();
    // Emits Click or DblClick; an exception from the action behind it goes to the ActionFailed handler.
    void emitAction(void (ctxPatchButton::*signal)());
    int pvHitTest(double x, double y) const;
    bool pvRegisterCancelMode();
    bool insideRect(double x, double y) const;
    void updateAccessKey();

    void reportChange(const char *name);

    // control-wide values
    int m_style = 0;
    double m_opacity = 1.0;
    double m_animationDuration = 0.0;
    QString m_caption;
    qint32 m_foreColor = DefaultForeColor;
    bool m_manualFocus = false;
    QVariant m_picture;
    qint32 m_maskColor = DefaultMaskColor;
    bool m_autoRedraw = false;
    qint32 m_state = 0;
    ButtonStateTable m_table;

    // the last press
    qint16 m_downButton = 0;
    int m_downShift = 0;
    double m_downX = 0.0;
    double m_downY = 0.0;

    // painting
    QFont m_captionFont;
    double m_scale = 1.0;
    QImage m_pictureImage;
    QImage m_face;
    QImage m_previousFace;
    QImage m_focusLayer;
    QImage m_blend; // reused for every cross-fade frame
    QImage m_cache; // the composed control while AutoRedraw is on
    double m_faceOpacity = 1.0;
    bool m_prepared = false;
    bool m_showBlend = false; // the cross-fade of m_previousFace and m_face is shown, not m_face

    // animation
    double m_animationStart = 0.0;
    double m_animationEnd = 0.0;
    double m_opacityStart = 1.0;
    double m_opacityEnd = 1.0;
    double m_progress = 1.0;
    QTimer *m_frameTimer = nullptr;
    const AnimationClock *m_clock = &AnimationClock::system();

    int m_accessKeyId = 0;
};

template<typename T>
T ctxPatchButton::get(int eState, bool *ok, T E::*field) const
{
    const ButtonStateAttributes *e = entry(eState, ok);
    return e ? e->*field : ButtonStateAttributes{}.*field;
}

template<typename T>
bool ctxPatchButton::put(int eState, const T &value, T E::*field)
{
    ButtonStateAttributes *e = entry(eState, nullptr);
    if (!e)
        return false;
    if (!(e->*field == value)) {
        e->*field = value;
        invalidate(Stale::Face);
    }
    return true;
}
