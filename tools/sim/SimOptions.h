#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The units of the demo program folder.
QList<int> defaultSimUids();

// Everything the simulator can be told on its command line. Defaults give a pleasant, fault-free demo.
struct SimOptions
{
    QString dir = QStringLiteral(".");
    int port = 7;
    QList<int> uids = defaultSimUids();

    int stoneMs = 150; // one stone falling
    int progressEvery = 1; // a "[c](k)" report every this many stones
    int homeMs = 600; // homing run before the "L1L2:" report
    int flushMs = 400; // emptying the unit before "FLUSHED"
    double shortRate = 0.0; // chance per dispense that the hopper runs dry
    double stuckRate = 0.0; // chance per dispense that a stone jams

    bool silent = false;
    int greetingDelayMs = 0;
    bool split = false;
    int splitMs = 500;
    int flood = 0; // unsolicited report lines per second
    bool garbage = false;
    bool seedGiven = false;
    quint32 seed = 0;
    QString trace;

    bool help = false;
    bool version = false;
};

// Parses the arguments (without the program name). On a bad value returns false with a message in *error.
bool parseSimOptions(const QStringList &args, SimOptions *options, QString *error);

// The --help text.
QString simUsage();
