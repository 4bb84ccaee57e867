#pragma once

#include <QString>
#include <optional>

class Platform;
class RunJournal;

// What the subsystems see of one unit panel: its lines, its state colour, its check mark and its UID.
class UnitView
{
public:
    virtual ~UnitView() = default;

    // The panel's name line ("UNIT 3").
    virtual QString caption1() const = 0;
    virtual QString caption3() const = 0;
    virtual void setCaption3(const QString &text) = 0;
    virtual QString caption4() const = 0;
    virtual void setCaption4(const QString &text) = 0;
    virtual qint32 State() const = 0;
    virtual void setState(qint32 colour) = 0;
    virtual bool isChecked() const = 0;
    virtual void setChecked(bool checked) = 0;
    // The unit's UID as stored in its settings section.
    virtual QString Tag() const = 0;
};

// The narrow face of the main window that the controller link, the unit handlers, the designs and the
// console work through, so that none of them needs the window itself.
class ConsoleHost
{
public:
    virtual ~ConsoleHost() = default;

    // Number of configured units; panels 1 to NoUnits() are visited by every loop over the units.
    virtual int NoUnits() const = 0;
    // Panel n (0 = "All Units"), or nullptr when there is none.
    virtual UnitView *Unit(int n) = 0;
    // The unit number registered under "U" + uid, if any.
    virtual std::optional<int> unitByUID(const QString &uid) const = 0;

    // Count box n (1 to 10; 0 is the hidden box of the "All Units" panel), or empty when there is none.
    virtual std::optional<QString> countText(int n) const = 0;
    virtual void setCountText(int n, const QString &text) = 0;
    virtual std::optional<QString> countTag(int n) const = 0;

    // Puts text in front of the message pane's text (the newest text is on top).
    virtual void prependOut(const QString &text) = 0;
    // "A" (all messages) or "F" (important messages only).
    virtual QString filterMode() const = 0;

    // Shows a status message for secs seconds (0: until replaced).
    virtual void SetStatus(const QString &text, int secs = 0) = 0;
    // Makes sure the status timer runs, without changing its interval.
    virtual void ensureStatusTimerRunning() = 0;

    // Appends one entry to the day's log.
    virtual void LOG(const QString &text) = 0;

    // What the operator must not miss: in the log, on the status line, where the next message covers it,
    // and in the pane, which keeps it. The log comes first: on a full disk its own notice on the status
    // line must not hide this one.
    void announce(const QString &text, int secs = 0)
    {
        LOG(text);
        SetStatus(text, secs);
        prependOut(text + QStringLiteral("\r\n"));
    }

    virtual Platform &platform() = 0;

    // The day's dispense journal, where the console keeps one.
    virtual RunJournal *journal() { return nullptr; }
};
