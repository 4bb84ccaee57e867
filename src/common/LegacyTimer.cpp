#include "common/LegacyTimer.h"

LegacyTimer::LegacyTimer(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &LegacyTimer::timeout);
}

bool LegacyTimer::setInterval(qint64 ms)
{
    if (ms < 0 || ms > MaxInterval)
        return false;
    if (ms == m_interval)
        return true;
    m_interval = int(ms);
    // Changing the interval of an enabled timer restarts its countdown, as it always did.
    rearm();
    return true;
}

void LegacyTimer::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    rearm();
}

void LegacyTimer::rearm()
{
    m_timer.stop();
    if (m_enabled && m_interval > 0)
        m_timer.start(m_interval);
}
