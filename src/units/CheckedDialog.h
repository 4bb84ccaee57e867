#pragma once

#include <QDialog>
#include <QString>

class QDialogButtonBox;
class QFormLayout;
class QLabel;

// A small settings dialog: a form, a line that says what is wrong with it, OK and Cancel. OK is offered
// only while nothing is wrong; Enter is OK, Escape is Cancel.
class CheckedDialog : public QDialog
{
    Q_OBJECT
protected:
    // Wide enough for a device path or an identity report without scrolling.
    static constexpr int MinimumWidth = 420;

    CheckedDialog(const QString &objectName, const QString &title, QWidget *parent);

    QFormLayout *form() const { return m_form; }
    // Empty when the form can be stored.
    void setProblem(const QString &why);

private:
    QFormLayout *m_form = nullptr;
    QLabel *m_problem = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
