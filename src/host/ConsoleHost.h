#pragma once

#include "host/UnitModel.h"

#include <QString>
#include <optional>

class Platform;
class RunJournal;

// Which of the controller's lines the message pane shows.
enum class MessageFilter {
    All, // every line, each on its own line
    Important, // every line but refusals, the answers to one command run together
};

// The narrow face of the main window that the controller link, the unit handlers, the designs and the
// console work through, so that none of them needs the window itself.
class ConsoleHost
{
public:
    virtual ~ConsoleHost() = default;

    // Number of configured units; panels 1 to unitCount() are visited by every loop over the units.
    virtual int unitCount() const = 0;
    // Unit n (0 = "All Units"), or nullptr when there is none.
    virtual UnitModel *unit(int n) = 0;
    // The unit number registered under "U" + uid, if any.
    virtual std::optional<int> unitByUID(const QString &uid) const = 0;

    // Count box n (1 to 10; 0 is the hidden box of the "All Units" panel), or empty when there is none.
    virtual std::optional<QString> countText(int n) const = 0;
    virtual void setCountText(int n, const QString &text) = 0;
    virtual std::optional<QString> countTag(int n) const = 0;

    // Puts text in front of the message pane's text (the newest text is on top).
    virtual void prependOut(const QString &text) = 0;
    virtual MessageFilter filterMode() const = 0;

    // Shows a status message for secs seconds (0: until replaced).
    virtual void setStatus(const QString &text, int secs = 0) = 0;
    // Makes sure the status timer runs, without changing its interval.
    virtual void ensureStatusTimerRunning() = 0;

    // Appends one entry to the day's log.
    virtual void log(const QString &text) = 0;

    // What the operator must not miss: in the log, on the status line, where the next message covers it,
    // and in the pane, which keeps it. The log comes first: on a full disk its own notice on the status
    // line must not hide this one.
    void announce(const QString &text, int secs = 0)
    {
        log(text);
        setStatus(text, secs);
        prependOut(text + QStringLiteral("\r\n"));
    }

    virtual Platform &platform() = 0;

    // The day's dispense journal, where the console keeps one.
    virtual RunJournal *journal() { return nullptr; }
};
