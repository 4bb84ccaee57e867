#pragma once

#include "common/AnimationClock.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;

// What the console needs from the machine it runs on: timers, the clocks, the operator's modal boxes,
// starting a program, the serial device list and the program folder. The window wires in QtPlatform;
// tests wire in their own to control time and answer boxes. Its monotonic clock and frame interval are
// the ones animations run on.
class Platform : public AnimationClock
{
public:
    virtual ~Platform() = default;

    // Runs fn once, ms milliseconds from now, as an event of the window thread (never inside the caller);
    // not at all once context is gone. Nothing on the window thread waits: a pause is a call later.
    virtual void after(int ms, QObject *context, std::function<void()> fn) = 0;

    // Local date and time now.
    virtual QDateTime now() const = 0;

    // A Yes/No question, modal to the window but waited for by nobody: answered(true) for Yes, called
    // as an event of the window thread once the operator answers (never once context is gone).
    virtual void askYesNo(const QString &prompt, const QString &title, QObject *context,
                          std::function<void(bool)> answered) = 0;
    // A text input with OK and Cancel, asked the same way. Cancel gives an empty text.
    virtual void inputBox(const QString &prompt, const QString &title, const QString &initial, QObject *context,
                          std::function<void(const QString &)> answered) = 0;

    // Starts a program detached and minimized, without a shell and without waiting. False when it
    // could not be started.
    virtual bool startDetached(const QString &program, const QStringList &arguments = {}) = 0;

    // The names of the machine's serial devices, as "USB Serial Device (COM4)".
    virtual QStringList deviceList() = 0;

    // The folder of the settings files, the log folder and the update script.
    virtual QString programFolder() const = 0;
};
