#pragma once

#include <QObject>
#include <QString>

class CommandSender;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class ctxPatchButton;

// The operator's hand console: the list of named standard commands from section Standard Commands of
// Vorn2.ini, the command entry box and the execute button. What is sent goes to the checked units, or to
// all units when none (or "All Units") is checked.
class CommandConsole : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QListWidget *lstCommands = nullptr;
        QLineEdit *txtCommand = nullptr;
        ctxPatchButton *cmdExecCommand = nullptr;
    };

    CommandConsole(CommandSender &sender, const Controls &controls, QObject *parent = nullptr);

    // Fills the list from the file, in the order of the section. Done once at start-up.
    void fillCommands();
    // The command text stored under name F, or empty text. A name missing from the catalogue is added to
    // it with the placeholder "-", so the file shows which names the operator has asked for.
    static QString GetCommand(const QString &F);

    // The operator's actions.
    void lstCommands_Click(QListWidgetItem *item);
    void lstCommands_DblClick(QListWidgetItem *item);
    void cmdExecCommand_Click();

    // Walking the sent commands in the entry box: older puts the next older one in the box, newer the
    // next newer one, and past the newest the text the operator had typed before walking.
    void historyOlder();
    void historyNewer();
    // Escape: the box is emptied and the walk starts again from the newest command.
    void clearEntry();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showRecalled(const QString &text);

    CommandSender &m_sender;
    Controls m_c;
    // Position in the history while walking it; -1 when not walking.
    qsizetype m_walk = -1;
    // What the box held when the walk began.
    QString m_draft;
};
