#include "units/UnitSettingsDialog.h"

#include "link/CommandSender.h"

#include <QFormLayout>
#include <QLineEdit>

namespace {

QLineEdit *field(const char *name, const QString &text, bool readOnly = false)
{
    auto *edit = new QLineEdit(text);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(readOnly);
    if (readOnly) {
        edit->setFocusPolicy(Qt::ClickFocus); // copyable, but out of the way of the keyboard
        edit->setCursorPosition(0);
    }
    return edit;
}

} // namespace

UnitSettingsDialog::UnitSettingsDialog(int unit, const Values &values, const QMap<int, QString> &others,
                                       QWidget *parent)
    : CheckedDialog(QStringLiteral("UnitSettingsDialog"), tr("%1 settings").arg(unitName(unit).shown), parent)
    , m_others(others)
{
    m_uid = field("txtUid", values.uid);
    m_size = field("txtSize", values.size);
    m_size->setMaxLength(MaxSize + 1); // one over, so a longer paste is refused with its reason
    form()->addRow(tr("&UID"), m_uid);
    form()->addRow(tr("&SIZE"), m_size);
    form()->addRow(tr("INIT"), field("txtInit", values.init, true));
    form()->addRow(tr("HOME"), field("txtHome", values.home, true));

    connect(m_uid, &QLineEdit::textChanged, this, &UnitSettingsDialog::check);
    connect(m_size, &QLineEdit::textChanged, this, &UnitSettingsDialog::check);
    check();
    // The address is what the operator came for.
    m_uid->setFocus();
    m_uid->selectAll();
}

QString UnitSettingsDialog::uid() const
{
    return m_uid->text();
}

QString UnitSettingsDialog::size() const
{
    return m_size->text();
}

QString UnitSettingsDialog::problem(const QString &uid, const QString &size, const QMap<int, QString> &others)
{
    if (!CommandSender::isUnitAddress(uid))
        return tr("The UID is a whole number from 1 to %1").arg(CommandSender::MaxUid);
    for (auto it = others.constBegin(); it != others.constEnd(); ++it) {
        if (CommandSender::isUnitAddress(it.value())
            && CommandSender::addressOf(it.value()) == CommandSender::addressOf(uid))
            return tr("UID %1 is %2's").arg(uid, unitName(it.key()).shown);
    }
    if (size.isEmpty())
        return tr("The SIZE is not empty");
    if (size.size() > MaxSize)
        return tr("The SIZE takes at most %1 characters").arg(MaxSize);
    return {};
}

void UnitSettingsDialog::check()
{
    setProblem(problem(uid(), size(), m_others));
}
