#pragma once

#include "JournalRow.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class UnitView;

// What the console publishes, as plain functions: the topics, the unit's state word, the JSON payloads.
namespace fleet {

// "tessaloran/<station>/<leaf>".
QByteArray topic(const QString &station, const QString &leaf);

// The unit's state as the panel shows it: the band's colour (idle, answering, answered, stuck), or
// "checked" for a unit the operator has checked whose band says nothing newer than idle.
QString unitState(qint32 stateColour, bool checked);

// One JSON object with its keys in the order given; every value a string.
QByteArray jsonObject(const QList<std::pair<QString, QString>> &fields);

// The retained message of one unit panel; time in local time to the second.
QByteArray unitMessage(const UnitView &unit, const QString &time);

// One journal row as a JSON object: the journal's columns as keys, then station and id.
QByteArray runMessage(const JournalRow &row, const QString &station, const QString &id);

} // namespace fleet
