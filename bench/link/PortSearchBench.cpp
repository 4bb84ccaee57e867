// Time to find the controller behind N silent serial ports: the configured port is missing, the device list
// names N pseudo-terminals that never answer and then the controller. Prints the time to the result next to
// the time a walk of the list one port after the other takes (N x 2.65 s before the controller answers).

#include "FakePlatform.h"
#include "PtyPeer.h"
#include "link/Comm1.h"
#include "link/PortFolder.h"
#include "link/modMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // A silent port costs 50 ms after opening, 50 after the probe line and 51 reads 50 ms apart.
    constexpr double SilentSeconds = 2.65;
    std::printf("%8s %14s %22s\n", "silent", "search (s)", "one by one (s)");
    for (int silent : {1, 4, 8, 16}) {
        QTemporaryDir dir;
        FakePlatform platform;
        std::vector<std::unique_ptr<PtyPeer>> peers;
        for (int n = 1; n <= silent + 1; ++n) {
            peers.push_back(std::make_unique<PtyPeer>());
            peers.back()->linkAs(dir.path(), n);
            platform.devices << QStringLiteral("USB Serial Device (COM%1)").arg(n);
        }
        peers.back()->greetProbes("Tessaloran Dispenser V2\r\n", 0);
        PortFolder ports(dir.path(), [] { return QList<PortFolder::SerialDevice>{}; });
        Comm1 comm(ports);
        modMain::FindPort search(comm, platform);
        QSignalSpy finished(&search, &modMain::FindPort::finished);
        QElapsedTimer clock;
        clock.start();
        search.start(QStringLiteral("99")); // configured, but no such port
        finished.wait(60000);
        const double seconds = double(clock.elapsed()) / 1000.0;
        const int found = finished.isEmpty() ? 0 : finished.at(0).at(0).toInt();
        std::printf("%8d %14.2f %22.2f%s\n", silent, seconds, silent * SilentSeconds,
                    found == silent + 1 ? "" : "  (controller not found)");
    }
    return 0;
}
