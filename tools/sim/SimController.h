#pragma once

#include "sim/SimOptions.h"

#include <QByteArray>
#include <QList>

#include <map>
#include <random>

// What one received line asks for. Command lines are ">" + comma-separated fields; the unit address is
// field 1, except for the dispense line, whose fields are the command, the count and then the address.
struct SimRequest
{
    enum class Kind { Ignored, Probe, Command, Malformed };
    enum class Verb { Unknown, Id, Update, Home, SaveSettings, Flush, Stop, Count };

    Kind kind = Kind::Ignored;
    Verb verb = Verb::Unknown;
    qint64 address = -1; // 0 = all units; -1 = not a number
    qint64 count = -1; // the dispense count; -1 = not a whole number
};

SimRequest parseSimRequest(const QByteArray &line);

// The controller and its units, without any I/O: lines go in with the time they arrived, reply lines come
// out when their time has come. Time is whatever milliseconds the caller counts in, so tests drive it by
// hand and the runner by a monotonic clock.
class SimController
{
public:
    // The command texts this controller understands (letter case is not significant).
    static constexpr const char *kWordId = "ID";
    static constexpr const char *kWordUpdate = "UPDATE";
    static constexpr const char *kWordHome = "HOME";
    static constexpr const char *kWordSave = "SAVE";
    static constexpr const char *kWordFlush = "FLUSH";
    static constexpr const char *kWordStop = "STOP";
    static constexpr const char *kWordCount = "COUNT";

    static constexpr qint64 kMaxCount = 99999;

    enum class UnitState { Idle, Counting, Homing, Flushing, Stuck };

    explicit SimController(const SimOptions &options);

    void receiveLine(const QByteArray &line, qint64 nowMs);
    // A received line that was too long to keep: answered like any unreadable command.
    void receiveOverlong(qint64 nowMs);

    // Reply lines (each ending in CR LF) due at or before nowMs, in the order they are to be written.
    QList<QByteArray> takeDue(qint64 nowMs);
    // When the next line falls due; -1 when nothing is pending.
    qint64 nextDueMs() const;

    // One response line "seq TAB uid TAB message [TAB value]" CR LF, taking the next sequence number.
    QByteArray formatLine(qint64 uid, const QByteArray &message, const QByteArray &value = QByteArray());

    QList<int> uids() const;
    UnitState unitState(int uid) const;
    qint64 unitCount(int uid) const;
    qint64 lastSequence() const { return m_sequence; }

    static QByteArray greeting();
    static QByteArray idReport(int uid);
    static QByteArray homeReport(int uid);

private:
    enum class Failure { None, Short, Stuck };

    struct Unit
    {
        int uid = 0;
        UnitState state = UnitState::Idle;
        qint64 target = 0;
        qint64 count = 0;
        Failure failure = Failure::None;
        qint64 failAt = 0; // stones that fall before the failure
        quint64 generation = 0; // bumped to cancel a run's pending events
    };

    struct Event
    {
        enum class Kind { Text, Reply, Stone, HomeDone, FlushDone };
        Kind kind = Kind::Reply;
        qint64 uid = 0;
        QByteArray message;
        QByteArray value;
        quint64 generation = 0;
    };

    void handle(const SimRequest &request, Unit &unit, qint64 nowMs);
    void reply(qint64 atMs, qint64 uid, const QByteArray &message, const QByteArray &value = QByteArray());
    void schedule(qint64 atMs, Event event);
    void run(qint64 atMs, const Event &event, QList<QByteArray> &out);
    void stone(qint64 atMs, Unit &unit, QList<QByteArray> &out);
    bool chance(double rate);

    SimOptions m_options;
    std::map<int, Unit> m_units; // ascending UID: the order in which "all units" answer
    std::multimap<qint64, Event> m_events; // equal times keep their insertion order
    std::mt19937 m_rng;
    qint64 m_sequence = 0;
};
