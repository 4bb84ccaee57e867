#pragma once

#include "common/Platform.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>

#include <functional>
#include <map>

// The machine as a test wants it: a clock that only the test moves on, and with it the timers (real
// timers where a live controller is the subject), boxes that give prepared answers, programs started only
// when asked to, and a device list the test sets.
class FakePlatform : public Platform
{
public:
    QString folder;
    // Timers run on the event loop in real time; the clock jumps to each one's time as it fires.
    bool realTimers = false;
    bool realStart = false;
    qint64 virtualMs = 0;
    QStringList devices;
    bool yes = true;
    QString answer;
    QStringList asked; // prompt, title (and initial text) of every box shown
    QStringList started;
    std::function<void()> onStart;

    void after(int ms, QObject *context, std::function<void()> fn) override
    {
        const qint64 due = virtualMs + qMax(ms, 0);
        if (realTimers) {
            QTimer::singleShot(qMax(ms, 0), context, [this, due, fn = std::move(fn)] {
                virtualMs = qMax(virtualMs, due);
                fn();
            });
            return;
        }
        m_timers.emplace(std::pair(due, m_timerCount++), Timer{context, std::move(fn)});
    }
    // Moves the clock on by ms, firing the timers that fall due on the way, in order of their time.
    void advance(qint64 ms)
    {
        const qint64 until = virtualMs + ms;
        while (!m_timers.empty() && m_timers.begin()->first.first <= until) {
            auto first = m_timers.begin();
            virtualMs = qMax(virtualMs, first->first.first);
            const Timer timer = std::move(first->second);
            m_timers.erase(first);
            if (timer.context)
                timer.fn();
        }
        virtualMs = until;
    }
    // Fires every timer, and those they start, until none is left.
    void settle()
    {
        while (!m_timers.empty())
            advance(m_timers.begin()->first.first - virtualMs);
    }
    QDateTime now() const override { return QDateTime(QDate(2024, 7, 26), QTime(14, 5)).addMSecs(virtualMs); }
    double monotonicSeconds() const override { return double(virtualMs) / 1000.0; }
    // Answered at once, with the prepared answer.
    void askYesNo(const QString &prompt, const QString &title, QObject *, std::function<void(bool)> answered) override
    {
        asked << prompt << title;
        answered(yes);
    }
    void inputBox(const QString &prompt, const QString &title, const QString &initial, QObject *,
                  std::function<void(const QString &)> answered) override
    {
        asked << prompt << title << initial;
        answered(answer);
    }
    bool startDetached(const QString &program, const QStringList &arguments) override
    {
        started << program;
        if (onStart)
            onStart();
        return realStart && QProcess::startDetached(program, arguments);
    }
    QStringList deviceList() override { return devices; }
    QString programFolder() const override { return folder; }

private:
    struct Timer
    {
        QPointer<QObject> context;
        std::function<void()> fn;
    };
    // By due time, then in the order they were started.
    std::map<std::pair<qint64, quint64>, Timer> m_timers;
    quint64 m_timerCount = 0;
};
