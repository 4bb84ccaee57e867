#pragma once

#include "Platform.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <functional>

// The machine as a test wants it: a clock that only sleeps advance (real sleeps where the spacing on the
// wire or a live controller is the subject), boxes that give prepared answers, programs started only when
// asked to, and a device list the test sets.
class FakePlatform : public Platform
{
public:
    QString folder;
    bool realSleep = false;
    bool realStart = false;
    qint64 virtualMs = 0;
    QList<int> sleeps;
    QStringList devices;
    bool yes = true;
    QString answer;
    QStringList asked; // prompt, title (and initial text) of every box shown
    QStringList started;
    std::function<void(int)> onSleep;
    std::function<void()> onStart;

    void Sleep(int ms) override
    {
        sleeps.append(ms);
        virtualMs += ms;
        if (realSleep && ms > 0)
            QThread::msleep(ulong(ms));
        if (onSleep)
            onSleep(ms);
    }
    void DoEvents() override { QCoreApplication::processEvents(); }
    QDateTime now() const override { return QDateTime(QDate(2024, 7, 26), QTime(14, 5)).addMSecs(virtualMs); }
    double monotonicSeconds() const override { return double(virtualMs) / 1000.0; }
    bool askYesNo(const QString &prompt, const QString &title) override
    {
        asked << prompt << title;
        return yes;
    }
    QString inputBox(const QString &prompt, const QString &title, const QString &initial) override
    {
        asked << prompt << title << initial;
        return answer;
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
};
