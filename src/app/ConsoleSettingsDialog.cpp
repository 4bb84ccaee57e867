#include "app/ConsoleSettingsDialog.h"

#include "link/PortFolder.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

ConsoleSettingsDialog::ConsoleSettingsDialog(int units, int port, const QMap<int, QString> &ports, QWidget *parent)
    : CheckedDialog(QStringLiteral("ConsoleSettingsDialog"), tr("Console settings"), parent)
{
    m_units = new QSpinBox;
    m_units->setObjectName(QStringLiteral("spnUnits"));
    m_units->setRange(1, MaxUnits);
    m_units->setValue(units);

    m_port = new QComboBox;
    m_port->setObjectName(QStringLiteral("cboPort"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    for (auto it = ports.constBegin(); it != ports.constEnd(); ++it)
        m_port->addItem(it.value().isEmpty() ? QString::number(it.key())
                                             : QString::number(it.key()) + QStringLiteral(" - ") + it.value());
    const int known = int(std::distance(ports.constBegin(), ports.constFind(port)));
    if (ports.contains(port))
        m_port->setCurrentIndex(known);
    else
        m_port->setEditText(QString::number(port));

    form()->addRow(tr("&Number of units"), m_units);
    form()->addRow(tr("Comm &Port"), m_port);

    connect(m_port, &QComboBox::editTextChanged, this, &ConsoleSettingsDialog::check);
    check();
    m_units->setFocus();
    m_units->selectAll();
}

int ConsoleSettingsDialog::units() const
{
    return m_units->value();
}

std::optional<int> ConsoleSettingsDialog::port() const
{
    return portOf(m_port->currentText());
}

std::optional<int> ConsoleSettingsDialog::portOf(const QString &text)
{
    const QString number = text.section(u' ', 0, 0, QString::SectionSkipEmpty);
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 1 || n > PortFolder::MaxPort || number.startsWith(u'+'))
        return std::nullopt;
    return n;
}

void ConsoleSettingsDialog::check()
{
    setProblem(port() ? QString() : tr("The port is a number from 1 to 32767"));
}
