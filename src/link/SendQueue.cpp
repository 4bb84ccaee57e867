#include "link/SendQueue.h"

#include "common/Platform.h"

SendQueue::SendQueue(Platform &platform, QObject *parent)
    : QObject(parent)
    , m_platform(platform)
{}

void SendQueue::post(Step step)
{
    m_steps.append(std::move(step));
    pump();
}

void SendQueue::postNext(const QList<Step> &steps)
{
    m_steps = steps + m_steps;
    pump();
}

void SendQueue::hold()
{
    ++m_holds;
}

void SendQueue::release()
{
    if (m_holds > 0 && --m_holds == 0)
        pump();
}

void SendQueue::clear()
{
    ++m_pause;
    m_pausing = false;
    // A dropped step may post again (a run says what it did not send): those are dropped too.
    while (!m_steps.isEmpty()) {
        const Step step = m_steps.takeFirst();
        if (step.dropped)
            step.dropped();
    }
}

void SendQueue::pump()
{
    // A step that posts runs its followers after it returns, never inside it.
    if (m_running || m_pausing || m_holds > 0)
        return;
    m_running = true;
    while (!m_steps.isEmpty() && m_holds == 0) {
        const Step step = m_steps.takeFirst();
        const int pauseMs = step.run ? step.run() : 0;
        if (pauseMs > 0) {
            m_pausing = true;
            const quint64 pause = ++m_pause;
            m_platform.after(pauseMs, this, [this, pause] {
                if (pause != m_pause)
                    return;
                m_pausing = false;
                pump();
            });
            break;
        }
    }
    m_running = false;
}
