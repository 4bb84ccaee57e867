// How ctxPatchButton keeps its properties in a stored layout, and the values of a newly placed button.

#include "ninepatch/ctxPatchButton.h"

#include "ninepatch/PropertyBag.h"

#include <QApplication>

void ctxPatchButton::InitProperties()
{
    try {
        setButtonStyle(0);
        setEnabledState(true);
        setOpacity(1.0);
        setAnimationDuration(0.0);
        setCaption(objectName());
        setFont(QFont()); // the host's font
        setForeColor(DefaultForeColor);
        setManualFocus(false);
        setMaskColor(DefaultMaskColor);
        setAutoRedraw(false);
    } catch (...) {}
}

void ctxPatchButton::ReadProperties(const PropertyBag &bag)
{
    try {
        setButtonStyle(bag.ReadProperty(QStringLiteral("Style"), 0).toInt());
        setEnabledState(bag.ReadProperty(QStringLiteral("Enabled"), true).toBool());
        setOpacity(bag.ReadProperty(QStringLiteral("Opacity"), 1.0).toDouble());
        setAnimationDuration(bag.ReadProperty(QStringLiteral("AnimationDuration"), 0.0).toDouble());
        setCaption(bag.ReadProperty(QStringLiteral("Caption"), QString()).toString());
        const QVariant storedFont = bag.ReadProperty(QStringLiteral("Font"), QFont());
        // Without a stored font the button keeps following its host's font.
        setFont(bag.contains(QStringLiteral("Font")) ? storedFont.value<QFont>() : QFont());
        setForeColor(bag.ReadProperty(QStringLiteral("ForeColor"), DefaultForeColor).toInt());
        setManualFocus(bag.ReadProperty(QStringLiteral("ManualFocus"), false).toBool());
        setMaskColor(bag.ReadProperty(QStringLiteral("MaskColor"), DefaultMaskColor).toInt());
        setAutoRedraw(bag.ReadProperty(QStringLiteral("AutoRedraw"), false).toBool());
    } catch (...) {}
}

void ctxPatchButton::WriteProperties(PropertyBag &bag) const
{
    try {
        const QFont ambient = parentWidget() ? parentWidget()->font() : QApplication::font();
        bag.WriteProperty(QStringLiteral("Style"), m_style, 0);
        bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), true);
        bag.WriteProperty(QStringLiteral("Opacity"), m_opacity, 1.0);
        bag.WriteProperty(QStringLiteral("AnimationDuration"), m_animationDuration, 0.0);
        bag.WriteProperty(QStringLiteral("Caption"), m_caption, QString());
        bag.WriteProperty(QStringLiteral("Font"), font(), ambient);
        bag.WriteProperty(QStringLiteral("ForeColor"), m_foreColor, DefaultForeColor);
        bag.WriteProperty(QStringLiteral("ManualFocus"), m_manualFocus, false);
        bag.WriteProperty(QStringLiteral("MaskColor"), m_maskColor, DefaultMaskColor);
        bag.WriteProperty(QStringLiteral("AutoRedraw"), m_autoRedraw, false);
    } catch (...) {}
}
