#include "units/CheckedDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CheckedDialog::CheckedDialog(const QString &objectName, const QString &title, QWidget *parent)
    : QDialog(parent)
    , m_form(new QFormLayout)
    , m_problem(new QLabel)
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel))
{
    setObjectName(objectName);
    setWindowTitle(title);
    setMinimumWidth(MinimumWidth);
    m_problem->setObjectName(QStringLiteral("lblProblem"));
    m_buttons->setObjectName(QStringLiteral("buttons"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_form);
    layout->addWidget(m_problem);
    layout->addWidget(m_buttons);
}

void CheckedDialog::setProblem(const QString &why)
{
    m_problem->setText(why);
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(why.isEmpty());
}
