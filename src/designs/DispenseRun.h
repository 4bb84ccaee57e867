#pragma once

class CommandSender;
class ConsoleHost;

// The dispense button's run: every unit whose count box holds a positive number is told to dispense that
// many stones. The count line carries the unit's address third, after the count.
class DispenseRun
{
public:
    // Lines go out this far apart, so that each unit has taken its line before the next one starts.
    static constexpr int SpacingMs = 200;

    // Units 1 to NoUnits in ascending order; units without a count box (above 10) are skipped.
    static void run(ConsoleHost &host, CommandSender &sender);
};
