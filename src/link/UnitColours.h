#pragma once

#include <QtGlobal>

// The State colours of a unit panel that the controller link sets (red + 256 * green + 65536 * blue).
namespace unitcolour {
constexpr qint32 Idle = 4194304; // dark navy: no answer since the last command
constexpr qint32 Answer = 49152; // green: a line concerning the unit has just arrived
constexpr qint32 Stuck = 255; // red: stuck stone
} // namespace unitcolour
