#pragma once

#include <QString>
#include <functional>

class CommandSender;
class ConsoleHost;

// The dispense button's run: every unit whose count box holds a positive number is told to dispense that
// many stones. The count line carries the unit's address third, after the count.
class DispenseRun
{
public:
    // Lines go out this far apart, so that each unit has taken its line before the next one starts.
    static constexpr int SpacingMs = 200;

    // The largest count a unit is sent.
    static constexpr double MaxCount = 999999;
    static constexpr int NoticeSecs = 5;

    // Units 1 to NoUnits in ascending order; units without a count box (above 10), without a valid UID or
    // with a count that is not a whole number from 1 to MaxCount are skipped.
    // designOf(n): the design credited with unit n's count, for the journal (empty: typed by hand).
    // The run takes its turn in the sender's queue and reads the boxes then; its lines go out one per
    // turn, SpacingMs apart, and done is called once the run is over (also when it sent nothing, or was
    // dropped because the console closed).
    static void run(ConsoleHost &host, CommandSender &sender, const std::function<QString(int n)> &designOf = {},
                    const std::function<void()> &done = {});

    static bool isStoneCount(double count);
};
