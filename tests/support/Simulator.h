#pragma once

#include "Files.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <csignal>

// The controller simulator as a child process on port 7 of a program folder, quick to count and to home,
// recording what it receives in trace.bin there.
class Simulator
{
public:
    explicit Simulator(const QString &program)
        : m_program(program)
    {}
    ~Simulator() { stop(SIGTERM); }

    // True once the simulator says its port can be opened.
    bool start(const QString &folder, const QStringList &options = {})
    {
        m_folder = folder;
        m_process.start(m_program,
                        QStringList{QStringLiteral("--dir"), folder, QStringLiteral("--seed"), QStringLiteral("1"),
                                    QStringLiteral("--stone-ms"), QStringLiteral("5"), QStringLiteral("--home-ms"),
                                    QStringLiteral("50"), QStringLiteral("--trace"),
                                    folder + QStringLiteral("/trace.bin")}
                            + options);
        QByteArray out;
        for (QDeadlineTimer deadline(15000);
             !out.contains('\n') && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning;) {
            m_process.waitForReadyRead(100);
            out += m_process.readAllStandardOutput();
        }
        m_ready = QString::fromLocal8Bit(out.left(out.indexOf('\n'))).split(QLatin1Char(' '));
        return out.startsWith("ready: ");
    }
    // The words of the line it said once ready: "ready:", the port's link, "->", the device.
    QStringList ready() const { return m_ready; }
    // SIGKILL leaves the port as an unplugged adapter does; SIGTERM lets the simulator tidy up. True when it
    // ended of its own accord, with exit code 0.
    bool stop(int signal = SIGKILL)
    {
        if (m_process.state() == QProcess::NotRunning)
            return false;
        ::kill(pid_t(m_process.processId()), signal);
        return m_process.waitForFinished(15000) && m_process.exitStatus() == QProcess::NormalExit
            && m_process.exitCode() == 0;
    }
    // What the simulator received since its start.
    QByteArray trace() const { return readFile(m_folder + QStringLiteral("/trace.bin")); }

private:
    QString m_program;
    QString m_folder;
    QStringList m_ready;
    QProcess m_process;
};
