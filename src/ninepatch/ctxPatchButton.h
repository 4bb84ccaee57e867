#pragma once

#include <QImage>
#include <QWidget>

// The console's push button. Its public surface is what the window and the unit panels use: caption,
// built-in style, opacity, animation duration, text colour, font, enabled state, tool tip and Click.
// This version draws a plain face in the style's colour; the nine-patch faces replace it behind the
// same surface.
class ctxPatchButton : public QWidget
{
    Q_OBJECT
public:
    explicit ctxPatchButton(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    int Style() const { return m_style; }
    void setStyle(int style);
    using QWidget::setStyle;

    double Opacity() const { return m_opacity; }
    void setOpacity(double opacity);

    double AnimationDuration() const { return m_animationDuration; }
    void setAnimationDuration(double seconds);

    // An OLE colour (red + 256 * green + 65536 * blue).
    qint32 ForeColor() const { return m_foreColor; }
    void setForeColor(qint32 colour);

    bool Enabled() const { return isEnabled(); }
    void setEnabledState(bool enabled) { setEnabled(enabled); }

    // The face as it is put on screen.
    QImage render() const;

    QSize sizeHint() const override { return {40, 25}; }

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QColor faceColour() const;

    QString m_caption;
    int m_style = 0;
    double m_opacity = 1.0;
    double m_animationDuration = 0.0;
    qint32 m_foreColor = 0;
    bool m_pressed = false;
    bool m_hover = false;
};
