#pragma once

#include "Platform.h"

#include <QCoreApplication>

// A platform whose clock the test sets, whose sleeps only count, and whose boxes give prepared answers.
class TestPlatform : public Platform
{
public:
    explicit TestPlatform(const QString &folder)
        : m_folder(folder)
    {}

    QDateTime clock = QDateTime(QDate(2024, 7, 26), QTime(10, 0));
    int slept = 0;
    bool yes = true;
    QString answer;
    QStringList devices;

    void Sleep(int ms) override { slept += ms; }
    void DoEvents() override { QCoreApplication::processEvents(); }
    QDateTime now() const override { return clock; }
    double monotonicSeconds() const override { return clock.toMSecsSinceEpoch() / 1000.0; }
    bool askYesNo(const QString &, const QString &) override { return yes; }
    QString inputBox(const QString &, const QString &, const QString &) override { return answer; }
    bool startDetached(const QString &, const QStringList &) override { return false; }
    QStringList deviceList() override { return devices; }
    QString programFolder() const override { return m_folder; }

private:
    QString m_folder;
};
