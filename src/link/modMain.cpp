#include "modMain.h"

#include "Comm1.h"
#include "NumberText.h"
#include "Platform.h"

namespace modMain {

qint32 FoundPort = 0;

namespace {

// The controller's product word; only this capitalisation counts.
const QString Greeting = QStringLiteral("Tessaloran");
const QString ProbeLine = QStringLiteral("DP>\n");

constexpr int ProbeSettleMs = 50;
constexpr int ReadIntervalMs = 50;
// The greeting is looked for after each read; the read that makes the count exceed this is the last.
constexpr int MaxReads = 50;

} // namespace

qint32 portNumberOf(const QString &name)
{
    const qsizetype com = name.indexOf(QLatin1String("COM"));
    if (com < 0 || name.contains(QLatin1String("COM ")))
        return 0;
    const qint32 n = numtext::toInt32(numtext::read(name.mid(com + 3))).value_or(0);
    return n > 0 ? n : 0;
}

bool ProbePort(Comm1 &comm, Platform &platform, qint32 port)
{
    // The receive poll may tick while this waits; it must not take the greeting.
    const Comm1::PollPause pause(comm);

    comm.setPortOpen(false);
    // A number the port cannot take would leave the previous port set, and the controller found there
    // would be reported under the wrong number.
    if (!comm.setCommPort(port))
        return false;
    const bool opened = comm.setPortOpen(true);
    platform.Sleep(ProbeSettleMs);
    if (!opened)
        return false;
    comm.Output(ProbeLine);
    platform.Sleep(ProbeSettleMs);

    // Only whether the greeting occurs matters; keeping the last few characters is enough to find one
    // that arrived in pieces, however much else the port says.
    QString received;
    bool found = false;
    int counter = 0;
    for (;;) {
        ++counter;
        platform.DoEvents();
        platform.Sleep(ReadIntervalMs);
        received += comm.Input();
        found = received.contains(Greeting);
        if (counter > MaxReads || found)
            break;
        if (received.size() >= Greeting.size())
            received = received.right(Greeting.size() - 1);
    }
    return found;
}

qint32 FindPort(Comm1 &comm, Platform &platform, const QString &Port, const std::function<bool()> &stop)
{
    qint32 result = 0;
    const double configured = numtext::read(Port);
    if (configured > 0) {
        const auto n = numtext::toInt32(configured);
        if (n && ProbePort(comm, platform, *n))
            result = *n;
    }
    if (result <= 0) {
        const QStringList devices = platform.deviceList();
        for (const QString &name : devices) {
            if (stop && stop())
                break;
            const qint32 n = portNumberOf(name);
            if (n > 0 && ProbePort(comm, platform, n)) {
                result = n;
                break;
            }
        }
        platform.DoEvents();
    }
    FoundPort = result > 0 ? result : 0;
    return FoundPort;
}

} // namespace modMain
