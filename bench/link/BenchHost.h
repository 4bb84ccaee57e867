#pragma once

// The main window as far as the receive path sees it: the real daily log and the real message pane,
// unit panels that only hold their values.

#include "FakeHost.h"
#include "FakePlatform.h"
#include "app/MessagePane.h"
#include "records/DailyLog.h"

// Five units, UIDs 101 to 105; what the receive path writes goes to the real pane and the real log.
class BenchHost : public FakeHost
{
public:
    explicit BenchHost(FakePlatform &platform)
        : FakeHost(platform,
                   {QStringLiteral("101"), QStringLiteral("102"), QStringLiteral("103"), QStringLiteral("104"),
                    QStringLiteral("105")})
        , m_log(platform.programFolder(), [] { return QDateTime::currentDateTime(); })
    {}

    // Off: entries are dropped, to see what the rest of the receive path costs.
    bool logging = true;
    MessagePane messages;
    DailyLog &dailyLog() { return m_log; }

    void prependOut(const QString &text) override { messages.prepend(text); }
    void log(const QString &text) override
    {
        if (logging)
            m_log.log(text);
    }

private:
    DailyLog m_log;
};

// A day's worth of controller talk: count reports, bracket counts, shortfalls, acknowledgements.
inline QString controllerLine(int i)
{
    const int uid = 101 + i % 5;
    switch (i % 6) {
    case 0: return QStringLiteral("R\t%1\t[F]\t%2").arg(uid).arg(i % 997);
    case 1: return QStringLiteral("R\t%1\t[c](%2)").arg(uid).arg(i % 211);
    case 2: return QStringLiteral("R\t%1\t[C]<-%2").arg(uid).arg(i % 7);
    case 3: return QStringLiteral("R\t%1\tNot Ack\t%2").arg(uid).arg(i);
    case 4: return QStringLiteral("R\t%1\tSent OK").arg(uid);
    default: return QStringLiteral("R\t%1\tBusy motor %2").arg(uid).arg(i % 3);
    }
}
