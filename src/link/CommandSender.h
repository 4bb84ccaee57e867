#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "link/SendQueue.h"

#include <optional>
#include <utility>

class Comm1;
class ConsoleHost;

// Everything the console says to the controller leaves through SendCMD: ">" + body with at least two
// commas + CR LF. Sending never waits for an answer; the answers come through the receive poll. What the
// operator asks for goes through the send queue, so lines keep their spacing and their order.
class CommandSender : public QObject
{
    Q_OBJECT
public:
    // Commands kept in the history; older ones give way.
    static constexpr qsizetype MaxHistory = 500;

    CommandSender(ConsoleHost &host, Comm1 &comm, QObject *parent = nullptr);

    // What the operator is told of a line that did not go out whole: "Not sent: " and the framed line on
    // the status line and in the log, in the log only (the caller has a message of its own for the status
    // line), or nothing (the caller reports the lines it could not send together).
    enum class NotSent { Report, LogOnly, Silent };

    // Frames command and writes it. Before the line every unit panel is reset to idle and a fresh top line
    // is opened in the message pane. With noAddress false the command enters the history. True when the line
    // went out whole. While the controller is being looked for nothing is sent and the status line says so.
    bool send(QString command, bool noAddress = false, NotSent notSent = NotSent::Report);
    // The catalogue text of an internal command addressed to unit unit (0: all units), with the
    // sending notice on the status line.
    QString lineBody(const QString &command, int unit);
    // Sends command once to all units, or once to each checked unit, 200 ms apart; checked units that share
    // a UID get the line once. Queued: the check marks are read when its turn comes.
    void sendToChecked(const QString &command);
    // Lines go out through this queue, each in its turn after the pause the line before asked for.
    SendQueue &queue() { return m_queue; }
    // Something is being sent or paused after: the answers are read once it is over, as they come.
    bool pacing() const { return m_queue.busy(); }
    // Sends internal command command to unit unit (0: all units), as lineBody builds it. A unit without a
    // valid UID gets nothing: its address would be empty or 0, and 0 addresses every unit.
    bool sendInternal(const QString &command, int unit, NotSent notSent = NotSent::Report);

    // The largest UID the controller holds (a signed 32-bit number).
    static constexpr qint64 MaxUid = 2147483647;
    // Whether a UID can address one unit: a whole number from 1 to MaxUid, as stored (leading zeros
    // allowed). "0" is every unit's.
    static bool isUnitAddress(const QString &uid);
    // The address a valid UID reaches: "0101" and "101" reach the same unit.
    static QString addressOf(const QString &uid);
    // Two units that one line would both reach: the first pair in unit order, among units with valid
    // UIDs, as "UNIT 1 and UNIT 2 share UID 101"; empty when every address is a unit's own.
    static QString sharedUid(const QList<std::pair<int, QString>> &units);
    // sharedUid over the panels 1 to NoUnits of the host.
    static QString sharedUid(ConsoleHost &host);
    // Whether unit n can be addressed; if not, the status line says so.
    bool checkAddress(int n, const QString &uid);

    // Whether the last line that did not go out whole was partly taken by the port (its unit may have
    // acted on it), and the unit a line addresses: "UNIT 2", or "all units" when it names none.
    bool lastPartlyTaken() const { return m_partlyTaken; }
    QString addressee(const QString &line) const;
    // The last line that went out whole to a unit address ("102", or "0" for every unit), framed; empty
    // when none did.
    QString lastSentTo(const QString &uid) const { return m_lastSent.value(addressOf(uid)); }

    // Set once a search has found the controller: until then a line that does not go out is blamed on
    // the missing controller, not on a lost port.
    void markControllerFound() { m_controllerFound = true; }
    bool controllerEverFound() const { return m_controllerFound; }

    // While the controller is being looked for, the link belongs to the search: nothing is sent.
    void setSearching(bool searching) { m_searching = searching; }
    bool searching() const { return m_searching; }
    // When searching, says so on the status line; true when a command may go out now.
    bool mayLeave();

    // The text stored for an internal command, or empty when it has none ("-" counts as none).
    static QString commandCode(const QString &name);

    // Framing alone: ">" in front when missing, then ",0" until the body holds two commas.
    static QString frame(QString command);

    // Sent commands without the leading ">", newest first.
    const QStringList &history() const { return m_history; }

    // The address a framed line carries: the last field after the command that names a unit (">H,101,0"
    // gives 101, the count line ">C,12,101" gives 101), else "0", every unit.
    static QString addressField(const QString &line);

signals:
    void historyChanged();

private:
    // A count line from the console is a run of its own in the journal: the units it addresses (every
    // unit for address 0) and the count they are asked; nothing when the line is no count command.
    struct CountLine
    {
        QString asked;
        QList<int> units;
    };
    std::optional<CountLine> countLine(const QString &framed) const;
    // Sends one console line; a count line's units are journaled as sent or not (not sent, when the line
    // was dropped before its turn).
    void sendConsoleLine(const QString &command, bool journaled, bool dropped = false);
    void sendToSelected(const QString &command);

    ConsoleHost &m_host;
    Comm1 &m_comm;
    QStringList m_history;
    bool m_searching = false;
    bool m_partlyTaken = false;
    bool m_controllerFound = false;
    QHash<QString, QString> m_lastSent;
    SendQueue m_queue;
};
