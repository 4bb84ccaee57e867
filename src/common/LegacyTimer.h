#pragma once

#include <QObject>
#include <QTimer>

// A window timer with the semantics the console was designed around: interval 0 never fires (a QTimer
// with 0 fires on every pass of the event loop), an interval above 65535 ms is refused and the previous
// interval kept, and enabling a running timer restarts nothing.
class LegacyTimer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxInterval = 65535;

    explicit LegacyTimer(QObject *parent = nullptr);

    int interval() const { return m_interval; }
    // False (and nothing changed) when the interval is out of range.
    bool setInterval(qint64 ms);

    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // Whether a tick is really pending (enabled with a non-zero interval).
    bool isTicking() const { return m_timer.isActive(); }

signals:
    void timeout();

private:
    void rearm();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = false;
};
