#pragma once

// The main window as far as the receive path sees it: the real daily log and the real message pane,
// five unit panels that only hold their values.

#include "ConsoleHost.h"
#include "DailyLog.h"
#include "MessagePane.h"
#include "Platform.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <memory>
#include <vector>

class BenchPlatform : public Platform
{
public:
    explicit BenchPlatform(const QString &folder)
        : m_folder(folder)
    {}
    void Sleep(int ms) override { QThread::msleep(ulong(ms)); }
    void DoEvents() override { QCoreApplication::processEvents(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    double monotonicSeconds() const override { return 0; }
    bool askYesNo(const QString &, const QString &) override { return false; }
    QString inputBox(const QString &, const QString &, const QString &) override { return {}; }
    bool startDetached(const QString &, const QStringList &) override { return false; }
    QStringList deviceList() override { return {}; }
    QString programFolder() const override { return m_folder; }

private:
    QString m_folder;
};

class BenchUnit : public UnitView
{
public:
    QString c3, c4, tag;
    qint32 state = 4194304;
    bool checked = false;
    QString caption1() const override { return QString(); }
    QString caption3() const override { return c3; }
    void setCaption3(const QString &t) override { c3 = t; }
    QString caption4() const override { return c4; }
    void setCaption4(const QString &t) override { c4 = t; }
    qint32 State() const override { return state; }
    void setState(qint32 c) override { state = c; }
    bool isChecked() const override { return checked; }
    void setChecked(bool c) override { checked = c; }
    QString Tag() const override { return tag; }
};

class BenchHost : public ConsoleHost
{
public:
    explicit BenchHost(BenchPlatform &platform)
        : m_platform(platform)
        , m_log(platform.programFolder(), [] { return QDateTime::currentDateTime(); })
    {
        m_units.push_back(std::make_unique<BenchUnit>());
        for (int n = 1; n <= 5; ++n) {
            auto unit = std::make_unique<BenchUnit>();
            unit->tag = QString::number(100 + n);
            m_units.push_back(std::move(unit));
        }
    }

    QString mode = QStringLiteral("A");
    // Off: entries are dropped, to see what the rest of the receive path costs.
    bool logging = true;
    MessagePane pane;
    DailyLog &log() { return m_log; }

    int NoUnits() const override { return 5; }
    UnitView *Unit(int n) override { return n >= 0 && n <= 5 ? m_units[size_t(n)].get() : nullptr; }
    std::optional<int> unitByUID(const QString &uid) const override
    {
        bool ok = false;
        const int v = uid.toInt(&ok);
        return ok && v >= 101 && v <= 105 ? std::optional<int>(v - 100) : std::nullopt;
    }
    std::optional<QString> countText(int) const override { return std::nullopt; }
    void setCountText(int, const QString &) override {}
    std::optional<QString> countTag(int) const override { return std::nullopt; }
    void prependOut(const QString &text) override { pane.prepend(text); }
    QString filterMode() const override { return mode; }
    void SetStatus(const QString &, int) override {}
    void ensureStatusTimerRunning() override {}
    void LOG(const QString &text) override
    {
        if (logging)
            m_log.LOG(text);
    }
    Platform &platform() override { return m_platform; }

private:
    BenchPlatform &m_platform;
    DailyLog m_log;
    std::vector<std::unique_ptr<BenchUnit>> m_units;
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
