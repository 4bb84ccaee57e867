#include "ninepatch/ctxPatchButton.h"

#include <QAccessibleWidget>

namespace {

// The button as a screen reader and UI Automation see it: a push button with a name and a press.
class ButtonAccessible : public QAccessibleWidget
{
public:
    explicit ButtonAccessible(ctxPatchButton *button)
        : QAccessibleWidget(button, QAccessible::Button)
    {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const auto *b = static_cast<const ctxPatchButton *>(widget());
        if (!b->accessibleName().isEmpty())
            return b->accessibleName();
        return b->Caption().isEmpty() ? b->toolTip() : b->Caption();
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString &name) override
    {
        if (name == pressAction())
            static_cast<ctxPatchButton *>(widget())->press();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface *buttonFactory(const QString &, QObject *object)
{
    auto *button = qobject_cast<ctxPatchButton *>(object);
    return button ? new ButtonAccessible(button) : nullptr;
}

} // namespace

void ctxPatchButton::installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&buttonFactory);
        return true;
    }();
    Q_UNUSED(installed)
}
