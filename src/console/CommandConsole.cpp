#include "console/CommandConsole.h"

#include "link/CommandSender.h"
#include "ninepatch/ctxPatchButton.h"
#include "settings/SettingsSchema.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

CommandConsole::CommandConsole(CommandSender &sender, const Controls &controls, QObject *parent)
    : QObject(parent)
    , m_sender(sender)
    , m_c(controls)
{
    if (m_c.lstCommands) {
        connect(m_c.lstCommands, &QListWidget::itemClicked, this, &CommandConsole::lstCommands_Click);
        connect(m_c.lstCommands, &QListWidget::itemDoubleClicked, this, &CommandConsole::lstCommands_DblClick);
    }
    if (m_c.cmdExecCommand)
        connect(m_c.cmdExecCommand, &ctxPatchButton::Click, this, &CommandConsole::cmdExecCommand_Click);
    if (m_c.txtCommand) {
        m_c.txtCommand->installEventFilter(this);
        // Typing starts a new walk: the next Up begins again at the newest command.
        connect(m_c.txtCommand, &QLineEdit::textEdited, this, [this] { m_walk = -1; });
    }
    // Whatever is sent becomes the newest entry; a walk in progress would point at the wrong one.
    connect(&m_sender, &CommandSender::historyChanged, this, [this] { m_walk = -1; });
}

void CommandConsole::fillCommands()
{
    if (!m_c.lstCommands)
        return;
    m_c.lstCommands->clear();
    const QStringList entries = SettingsSchema::entries(SettingsSchema::Key::StandardCommand);
    for (const QString &entry : entries)
        m_c.lstCommands->addItem(entry.left(entry.indexOf(u'=')));
}

QString CommandConsole::GetCommand(const QString &F)
{
    const QString text = SettingsSchema::Setting(SettingsSchema::Key::StandardCommand, F).read();
    return text == QLatin1String("-") ? QString() : text;
}

void CommandConsole::lstCommands_Click(QListWidgetItem *item)
{
    if (!item || !m_c.txtCommand)
        return;
    m_c.txtCommand->setText(GetCommand(item->text()));
    m_walk = -1;
}

void CommandConsole::lstCommands_DblClick(QListWidgetItem *item)
{
    if (!item)
        return;
    m_sender.sendToChecked(GetCommand(item->text()));
}

void CommandConsole::cmdExecCommand_Click()
{
    if (!m_c.txtCommand)
        return;
    // Sent exactly as typed, empty included; the box keeps it so the same command can go again at once.
    m_sender.sendToChecked(m_c.txtCommand->text());
}

void CommandConsole::showRecalled(const QString &text)
{
    m_c.txtCommand->setText(text);
    m_c.txtCommand->end(false);
}

void CommandConsole::historyOlder()
{
    const QStringList &history = m_sender.history();
    if (!m_c.txtCommand || history.isEmpty())
        return;
    if (m_walk < 0)
        m_draft = m_c.txtCommand->text();
    m_walk = qMin(m_walk + 1, history.size() - 1);
    showRecalled(history.at(m_walk));
}

void CommandConsole::historyNewer()
{
    const QStringList &history = m_sender.history();
    if (!m_c.txtCommand || m_walk < 0)
        return;
    m_walk = qMin(m_walk - 1, history.size() - 1);
    showRecalled(m_walk < 0 ? m_draft : history.at(m_walk));
}

void CommandConsole::clearEntry()
{
    if (!m_c.txtCommand)
        return;
    m_c.txtCommand->clear();
    m_walk = -1;
    m_draft.clear();
}

bool CommandConsole::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_c.txtCommand || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: cmdExecCommand_Click(); return true;
    case Qt::Key_Up: historyOlder(); return true;
    case Qt::Key_Down: historyNewer(); return true;
    case Qt::Key_Escape: clearEntry(); return true;
    default: return false;
    }
}
