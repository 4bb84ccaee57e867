#pragma once

#include <QList>
#include <QObject>

#include <functional>

class Platform;

// What goes to the controller goes one step at a time: a step hands a line to the link (and does what
// belongs with it), then the queue waits the pause that step asked for before it runs the next one. The
// pauses are timers of the window thread, so nothing waits inside a handler: what the operator asks for
// meanwhile is queued behind what is already waiting, and runs in the order it came.
class SendQueue : public QObject
{
    Q_OBJECT
public:
    struct Step
    {
        // The step's work; returns how long the next step waits, in milliseconds.
        std::function<int()> run;
        // Called instead of run when the queue is cleared before the step's turn (the console closes).
        std::function<void()> dropped;
    };

    explicit SendQueue(Platform &platform, QObject *parent = nullptr);

    // Runs the step at once when nothing is waiting, running or pausing, else in its turn.
    void post(Step step);
    // From a running step: these come next, before everything that is waiting.
    void postNext(const QList<Step> &steps);
    // Steps wait until every hold is released (while the controller is quietened after a stuck stone).
    void hold();
    void release();
    // A step running or waiting, a pause running, or a hold.
    bool busy() const { return m_running || m_pausing || m_holds > 0 || !m_steps.isEmpty(); }
    // Ends the running pause and drops every waiting step, in order.
    void clear();

private:
    void pump();

    Platform &m_platform;
    QList<Step> m_steps;
    bool m_running = false;
    bool m_pausing = false;
    int m_holds = 0;
    // Counts the pauses: the timer of a pause that clear() ended finds a newer number.
    quint64 m_pause = 0;
};
