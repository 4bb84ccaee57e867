#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

// Closes a window when the process is asked to end (SIGTERM, SIGINT), the same way the operator closing it
// would: its close handler runs, so its state is saved and its port closed. The signal handler itself only
// writes a byte to a pipe; the window is closed from the event loop.
class SignalCloser : public QObject
{
    Q_OBJECT
public:
    explicit SignalCloser(QWidget *window);
    ~SignalCloser() override;

private:
    QWidget *m_window;
    QSocketNotifier *m_notifier = nullptr;
};
