#pragma once

#include "records/JournalRow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class UnitModel;
enum class UnitState;

// What the console publishes, as plain functions: the topics, the unit's state word, the JSON payloads.
namespace fleet {

// The status topic's payloads: the console's own while it is connected, and the will the broker sends
// for it when the connection is lost.
inline const QByteArray Online = QByteArrayLiteral("online");
inline const QByteArray Offline = QByteArrayLiteral("offline");

// "tessaloran/<station>/<leaf>".
QByteArray topic(const QString &station, const QString &leaf);

// The unit's state word (idle, answering, answered, stuck), or "checked" for a unit the operator has
// checked whose state says nothing newer than idle.
QString unitState(UnitState state, bool checked);

// One JSON object with its keys in the order given; every value a string.
QByteArray jsonObject(const QList<std::pair<QString, QString>> &fields);

// The retained message of one unit; time in local time to the second. Besides the lines as the panel
// shows them, the count and the shortfall as numbers (null when the panel shows none).
QByteArray unitMessage(const UnitModel &unit, const QString &time);

// One journal row as a JSON object: the journal's columns as keys, then station and id.
QByteArray runMessage(const JournalRow &row, const QString &station, const QString &id);

} // namespace fleet
