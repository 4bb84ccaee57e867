#pragma once

#include <QString>
#include <functional>

class Comm1;
class Platform;

// Finding the controller's serial port: the configured port first, then every COM port the device list
// names. A port is the controller's when the greeting "Tessaloran" comes back after the probe line.
namespace modMain {

// The port on which the controller answered during the last search, or 0.
extern qint32 FoundPort;

// Port: the configured port number as text. Returns the port found, or 0; sets FoundPort to the same.
// stop, when given, is asked before each further probe: a search that is no longer wanted (the window was
// closed meanwhile) ends without walking the rest of the device list.
qint32 FindPort(Comm1 &comm, Platform &platform, const QString &Port, const std::function<bool()> &stop = {});

// Probes one port: true when the greeting arrived. Leaves the port open whatever the outcome.
bool ProbePort(Comm1 &comm, Platform &platform, qint32 port);

// The port number a device-list name shows ("USB Serial Device (COM4)" gives 4), or 0 when the name is to
// be skipped: no "COM", a "COM " anywhere, or no number after the first "COM". Case-sensitive.
qint32 portNumberOf(const QString &name);

} // namespace modMain
