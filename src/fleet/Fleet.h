#pragma once

#include "records/JournalRow.h"

#include <QString>
#include <memory>

class ConsoleHost;

// The console's link to the shop's MQTT broker: its presence, the units, every journal row (as a journal
// sink) and, when asked, the controller's lines. A console without an [MQTT] section, or built without
// libmosquitto, has none.
class Fleet : public JournalSink
{
public:
    // The publisher the settings ask for, or nullptr.
    static std::unique_ptr<Fleet> make(ConsoleHost &host);

    // Starts connecting; the units are read from now on.
    virtual void start() = 0;
    // A normal close: "offline" is published, the connection closed, the outbox kept.
    virtual void close() = 0;
    // Unit n changed.
    virtual void unitChanged(int n) = 0;
    // A line from the controller, as logged.
    virtual void controllerLine(const QString &line) = 0;
};
