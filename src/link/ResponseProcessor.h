#pragma once

#include "common/Said.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace SettingsSchema {
class Setting;
}
class Comm1;
class CommandSender;
class ConsoleHost;

// The controller's answers: lines ending in CR LF, fields separated by TAB; field 1 names the unit by its
// UID, field 2 carries the message, field 3 a value. Every line goes to the log and the message pane; the
// lines that concern a registered unit update its panel or its settings, and a stuck stone stops the unit.
class ResponseProcessor
{
public:
    // An unterminated line is held for its continuation up to this size; a longer one is taken as it stands.
    static constexpr qsizetype MaxHeldTail = 4 * 1024 * 1024;
    // ... and for this long after the link last said something: a controller may pause inside a line.
    static constexpr double HeldQuietSecs = 2.0;
    // What a unit reports into the settings ("ID:", "L1L2:") is stored up to this many characters.
    static constexpr qsizetype MaxStoredValue = 259;

    ResponseProcessor(ConsoleHost &host, Comm1 &comm, CommandSender &sender);

    // One tick of the receive poll: takes what the controller sent and processes its complete lines; a
    // read failure closes and reopens the port. Nothing is taken while lines are being sent (through the
    // pause after the last one) or a stuck unit is being stopped.
    void receiveStep();

    // Interprets one batch: every line, including an unterminated last one. While a stuck unit is being
    // stopped, the batch is logged only.
    void processResponse(const QString &tTemp);

    // Text read from the link by someone else (the controller search): it goes through the receive path
    // like everything the poll takes, at once, or at the end of a step that is running. Each text of ended
    // is all an opening of the port said that is over: its unterminated rest is a line of its own. open
    // continues the opening the link is on now.
    void hand(const QStringList &ended, const QString &open = QString());

    // The link is about to be closed, or probed by a search: what the port holds is taken, and text held
    // for its line end is a line of its own, so nothing is lost and nothing is glued to another opening.
    // A stuck unit being stopped is done with at once.
    void endOfLink();

    // A stuck unit is being stopped: for half a second after its STOP what the controller says is drained.
    bool stopping() const { return m_stuckUnit.has_value(); }

    // Called with every line the controller sent, as it is logged (for whoever mirrors the log elsewhere).
    void setLineObserver(std::function<void(const QString &line)> observer) { m_lineObserver = std::move(observer); }
    // Called at every receive step that finds the link failed or closed (the device gone, a read
    // refused), before the port is opened again.
    void setLinkFailedObserver(std::function<void()> observer) { m_linkFailed = std::move(observer); }

    // Text after the last CR LF taken so far, waiting for the rest of its line.
    QString heldTail() const { return m_held; }

private:
    struct Report;
    // What a line of three or more fields says of a registered unit; nothing for any other line.
    std::optional<Report> reportOf(const QString &line) const;
    // Credits a unit's final count, shortfall or stuck stone to the journal's row of that unit.
    void credit(const Report &report);
    // Logs, shows and interprets one line; true when it was a stuck stone (the batch then ends).
    bool processLine(const QString &line);
    // The words that say a unit refused a command.
    Said refusalOf(const QString &line) const;
    // Logs a line, with the notice that belongs to it in the same entry.
    void logLine(const QString &line, bool sentOk, const QString &notice = QString());
    void show(const QString &line, bool notAck);
    // Stops unit u after a stuck-stone report: the STOP takes its turn in the send queue, then what the
    // controller says is drained five times, 100 ms apart, into m_drained.
    void stuckStone(int u);
    void drainRound(quint64 drain);
    // The unit is stopped: its panel says so, and the drained text is logged.
    void endDrain();
    // The receive step itself, whether lines are being sent or not.
    void step();
    // Logs the lines of text from position from on, without showing them or acting on them; the journal
    // still takes the final word of every unit among them.
    void logOnly(const QString &text, qsizetype from);
    // Stores what a unit reported about itself.
    void storeReported(const SettingsSchema::Setting &setting, const QString &message);
    // Takes a freshly read text of the given opening of the port: complete lines are processed, the
    // unterminated rest is held. Text held from another opening is a line of its own first.
    void take(const QString &text, quint64 opening);
    void take(const QString &text);
    void flushHeld();

    ConsoleHost &m_host;
    Comm1 &m_comm;
    CommandSender &m_sender;
    std::function<void(const QString &line)> m_lineObserver;
    std::function<void()> m_linkFailed;
    QString m_held;
    QString m_drained;
    // Read by someone else, waiting for the receive path: openings that are over, and the link's own.
    QStringList m_handedEnded;
    QString m_handed;
    // The opening of the port the held text came from.
    quint64 m_heldOpening = 0;
    // When the link last delivered text (the platform's monotonic clock).
    double m_lastArrival = 0;
    // The held text was cut off at the end of a stuck-stone drain: it is logged, never interpreted.
    bool m_heldFromDrain = false;
    bool m_inStep = false;
    // The unit being stopped after a stuck stone, the drain rounds done, and the number of the drain (a
    // round of one that ended early finds a newer number).
    std::optional<int> m_stuckUnit;
    int m_drainRound = 0;
    quint64 m_drain = 0;
    // The drain holds the send queue.
    bool m_drainHold = false;
    // The drain's timers run no longer than the processor.
    QObject m_timers;
    // Filled per batch: "\t" + UID of units 1 to NoUnits, for the highlight.
    QList<QString> m_tabTags;
};
