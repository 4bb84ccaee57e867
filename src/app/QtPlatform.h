#pragma once

#include "common/Platform.h"

#include <QElapsedTimer>
#include <memory>

class PortFolder;
class QWidget;

// The platform layer on Qt: single-shot timers, the real clocks, QMessageBox and QInputDialog, QProcess.
class QtPlatform : public Platform
{
public:
    explicit QtPlatform(const QString &programFolder);
    ~QtPlatform() override;

    // Parent window of the modal boxes.
    void setDialogParent(QWidget *parent) { m_parent = parent; }
    PortFolder &ports() { return *m_ports; }

    void after(int ms, QObject *context, std::function<void()> fn) override;
    QDateTime now() const override;
    double monotonicSeconds() const override;
    void askYesNo(const QString &prompt, const QString &title, QObject *context,
                  std::function<void(bool)> answered) override;
    void inputBox(const QString &prompt, const QString &title, const QString &initial, QObject *context,
                  std::function<void(const QString &)> answered) override;
    bool startDetached(const QString &program, const QStringList &arguments) override;
    QStringList deviceList() override;
    QString programFolder() const override { return m_folder; }

private:
    QString m_folder;
    std::unique_ptr<PortFolder> m_ports;
    QElapsedTimer m_clock;
    QWidget *m_parent = nullptr;
};
