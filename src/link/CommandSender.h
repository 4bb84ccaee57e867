#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class Comm1;
class ConsoleHost;

// Everything the console says to the controller leaves through SendCMD: ">" + body with at least two
// commas + CR LF. Sending never waits for an answer; the answers come through the receive poll.
class CommandSender : public QObject
{
    Q_OBJECT
public:
    // Commands kept in the history; older ones give way.
    static constexpr qsizetype MaxHistory = 500;

    CommandSender(ConsoleHost &host, Comm1 &comm, QObject *parent = nullptr);

    // Frames tCmd and writes it. Before the line every unit panel is reset to idle and a fresh top line
    // is opened in the message pane. With NoAdd false the command enters the history.
    void SendCMD(QString tCmd, bool NoAdd = false);
    // The catalogue text of an internal command addressed to unit Index (0: all units), with the
    // sending notice on the status line.
    QString CreateCMD(const QString &tCmd, int Index);
    // Sends tCmd once to all units, or once to each checked unit, 200 ms apart.
    void SendCMDtoSelected(const QString &tCmd);
    // The text stored for an internal command, or empty when it has none ("-" counts as none).
    static QString GetCommandInternal(const QString &CMD);

    // Framing alone: ">" in front when missing, then ",0" until the body holds two commas.
    static QString frame(QString tCmd);

    // Sent commands without the leading ">", newest first.
    const QStringList &history() const { return m_history; }
    void clearHistory();

signals:
    void historyChanged();

private:
    ConsoleHost &m_host;
    Comm1 &m_comm;
    QStringList m_history;
};
