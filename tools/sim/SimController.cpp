#include "sim/SimController.h"

#include <limits>

namespace {

const QByteArray kSentOk = QByteArrayLiteral("Sent OK");
const QByteArray kNotAck = QByteArrayLiteral("Not Ack");
const QByteArray kFinal = QByteArrayLiteral("[F]");
const QByteArray kStuck = QByteArrayLiteral("[F] !!!");
const QByteArray kFlushed = QByteArrayLiteral("FLUSHED");
const QByteArray kSaved = QByteArrayLiteral("SETTINGS SAVED");
const QByteArray kUpdateReady = QByteArrayLiteral("UPDATE READY");
const QByteArray kStopped = QByteArrayLiteral("STOPPED");

// A field that must be a whole number: digits only, blanks around them allowed. -1 otherwise.
qint64 wholeNumber(const QByteArray &field)
{
    const QByteArray t = field.trimmed();
    if (t.isEmpty() || t.size() > 10)
        return -1;
    qint64 v = 0;
    for (const char c : t) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v <= std::numeric_limits<int>::max() ? v : -1;
}

SimRequest::Verb verbOf(const QByteArray &word)
{
    using V = SimRequest::Verb;
    const QByteArray w = word.trimmed().toUpper();
    if (w == SimController::kWordId)
        return V::Id;
    if (w == SimController::kWordUpdate)
        return V::Update;
    if (w == SimController::kWordHome)
        return V::Home;
    if (w == SimController::kWordSave)
        return V::SaveSettings;
    if (w == SimController::kWordFlush)
        return V::Flush;
    if (w == SimController::kWordStop)
        return V::Stop;
    if (w == SimController::kWordCount)
        return V::Count;
    return V::Unknown;
}

QByteArray number(qint64 v)
{
    return QByteArray::number(v);
}

} // namespace

SimRequest parseSimRequest(const QByteArray &line)
{
    SimRequest r;
    // The probe carries no address; it is matched whole (blanks around it forgiven).
    if (line.trimmed() == "DP>") {
        r.kind = SimRequest::Kind::Probe;
        return r;
    }
    // Anything that is not a command line is noise on the wire and gets no answer, so two talkative
    // ends can never keep each other busy.
    if (!line.startsWith('>'))
        return r;

    const QList<QByteArray> fields = line.mid(1).split(',');
    if (fields.size() < 3) {
        r.kind = SimRequest::Kind::Malformed;
        return r;
    }
    r.kind = SimRequest::Kind::Command;
    r.verb = verbOf(fields.at(0));
    if (r.verb == SimRequest::Verb::Count) {
        r.count = wholeNumber(fields.at(1));
        r.address = wholeNumber(fields.at(2));
    } else {
        r.address = wholeNumber(fields.at(1));
    }
    if (r.address < 0)
        r.kind = SimRequest::Kind::Malformed;
    return r;
}

SimController::SimController(const SimOptions &options)
    : m_options(options)
    , m_rng(options.seed)
{
    for (const int uid : options.uids) {
        Unit u;
        u.uid = uid;
        m_units.emplace(uid, u);
    }
}

QByteArray SimController::greeting()
{
    return QByteArrayLiteral("Tessaloran Dispenser Controller SIM 1.0 ready\r\n");
}

QByteArray SimController::idReport(int uid)
{
    return QByteArrayLiteral("ID:TSL-DU UID=") + number(uid) + QByteArrayLiteral(" FW=2.31 SN=TS")
        + number(uid).rightJustified(5, '0');
}

QByteArray SimController::homeReport(int uid)
{
    // Positions that differ per unit but stay the same between runs, as a real unit's would.
    const qint64 l1 = 1150 + (qint64(uid) * 37) % 100;
    const qint64 l2 = 2300 + (qint64(uid) * 53) % 100;
    return QByteArrayLiteral("L1L2:L1=") + number(l1) + QByteArrayLiteral(" L2=") + number(l2);
}

void SimController::receiveLine(const QByteArray &line, qint64 nowMs)
{
    if (m_options.silent)
        return;
    const SimRequest request = parseSimRequest(line);
    switch (request.kind) {
    case SimRequest::Kind::Ignored: return;
    case SimRequest::Kind::Probe: {
        Event e;
        e.kind = Event::Kind::Text;
        e.message = greeting();
        schedule(nowMs + m_options.greetingDelayMs, e);
        return;
    }
    case SimRequest::Kind::Malformed: reply(nowMs, 0, kNotAck); return;
    case SimRequest::Kind::Command: break;
    }

    if (request.address == 0) {
        for (auto &[uid, unit] : m_units)
            handle(request, unit, nowMs);
        return;
    }
    const auto it = m_units.find(int(request.address));
    if (it == m_units.end()) {
        reply(nowMs, request.address, kNotAck);
        return;
    }
    handle(request, it->second, nowMs);
}

void SimController::receiveOverlong(qint64 nowMs)
{
    if (!m_options.silent)
        reply(nowMs, 0, kNotAck);
}

void SimController::handle(const SimRequest &request, Unit &unit, qint64 nowMs)
{
    using V = SimRequest::Verb;

    // Identification and stop are always heard; everything else waits until the unit is idle.
    if (request.verb == V::Id) {
        reply(nowMs, unit.uid, kSentOk);
        reply(nowMs, unit.uid, idReport(unit.uid));
        return;
    }
    if (request.verb == V::Stop) {
        reply(nowMs, unit.uid, kSentOk);
        const bool hadRun = unit.state == UnitState::Counting || unit.state == UnitState::Stuck;
        ++unit.generation;
        unit.state = UnitState::Idle;
        reply(nowMs, unit.uid, kStopped, hadRun ? number(unit.count) : QByteArray());
        return;
    }
    if (request.verb == V::Unknown || unit.state != UnitState::Idle) {
        reply(nowMs, unit.uid, kNotAck);
        return;
    }

    Event e;
    e.uid = unit.uid;
    switch (request.verb) {
    case V::Update:
        reply(nowMs, unit.uid, kSentOk);
        reply(nowMs, unit.uid, kUpdateReady);
        break;
    case V::SaveSettings:
        reply(nowMs, unit.uid, kSentOk);
        reply(nowMs, unit.uid, kSaved);
        break;
    case V::Home:
        reply(nowMs, unit.uid, kSentOk);
        unit.state = UnitState::Homing;
        e.kind = Event::Kind::HomeDone;
        e.generation = ++unit.generation;
        schedule(nowMs + m_options.homeMs, e);
        break;
    case V::Flush:
        reply(nowMs, unit.uid, kSentOk);
        unit.state = UnitState::Flushing;
        e.kind = Event::Kind::FlushDone;
        e.generation = ++unit.generation;
        schedule(nowMs + m_options.flushMs, e);
        break;
    case V::Count: {
        if (request.count < 1 || request.count > kMaxCount) {
            reply(nowMs, unit.uid, kNotAck);
            return;
        }
        reply(nowMs, unit.uid, kSentOk);
        unit.state = UnitState::Counting;
        unit.target = request.count;
        unit.count = 0;
        unit.failure = Failure::None;
        // Both draws are made on every run so that one rate does not shift the other's outcomes.
        const bool stuck = chance(m_options.stuckRate);
        const bool runsShort = chance(m_options.shortRate);
        const qint64 at = std::uniform_int_distribution<qint64>(0, request.count - 1)(m_rng);
        if (stuck)
            unit.failure = Failure::Stuck;
        else if (runsShort)
            unit.failure = Failure::Short;
        unit.failAt = at;
        e.kind = Event::Kind::Stone;
        e.generation = ++unit.generation;
        schedule(nowMs + m_options.stoneMs, e);
        break;
    }
    case V::Id:
    case V::Stop:
    case V::Unknown: break;
    }
}

bool SimController::chance(double rate)
{
    const double draw = std::uniform_real_distribution<double>(0.0, 1.0)(m_rng);
    return draw < rate;
}

void SimController::reply(qint64 atMs, qint64 uid, const QByteArray &message, const QByteArray &value)
{
    Event e;
    e.kind = Event::Kind::Reply;
    e.uid = uid;
    e.message = message;
    e.value = value;
    schedule(atMs, e);
}

void SimController::schedule(qint64 atMs, Event event)
{
    m_events.emplace(atMs, std::move(event));
}

QList<QByteArray> SimController::takeDue(qint64 nowMs)
{
    QList<QByteArray> out;
    while (!m_events.empty() && m_events.begin()->first <= nowMs) {
        auto node = m_events.extract(m_events.begin());
        run(node.key(), node.mapped(), out);
    }
    return out;
}

qint64 SimController::nextDueMs() const
{
    return m_events.empty() ? -1 : m_events.begin()->first;
}

void SimController::run(qint64 atMs, const Event &event, QList<QByteArray> &out)
{
    if (event.kind == Event::Kind::Text) {
        out.append(event.message);
        return;
    }
    if (event.kind == Event::Kind::Reply) {
        out.append(formatLine(event.uid, event.message, event.value));
        return;
    }
    const auto it = m_units.find(int(event.uid));
    if (it == m_units.end() || it->second.generation != event.generation)
        return; // the job was stopped or replaced
    Unit &unit = it->second;
    switch (event.kind) {
    case Event::Kind::HomeDone:
        unit.state = UnitState::Idle;
        out.append(formatLine(unit.uid, homeReport(unit.uid)));
        break;
    case Event::Kind::FlushDone:
        unit.state = UnitState::Idle;
        out.append(formatLine(unit.uid, kFlushed));
        break;
    case Event::Kind::Stone: stone(atMs, unit, out); break;
    case Event::Kind::Text:
    case Event::Kind::Reply: break;
    }
}

void SimController::stone(qint64 atMs, Unit &unit, QList<QByteArray> &out)
{
    if (unit.failure == Failure::Stuck && unit.count == unit.failAt) {
        // The unit holds still with the stone in the chute until it is told to stop.
        unit.state = UnitState::Stuck;
        out.append(formatLine(unit.uid, kStuck, number(unit.count)));
        return;
    }
    if (unit.failure == Failure::Short && unit.count == unit.failAt) {
        unit.state = UnitState::Idle;
        out.append(formatLine(unit.uid, QByteArrayLiteral("[C]<-") + number(unit.target - unit.count)));
        out.append(formatLine(unit.uid, kFinal, number(unit.count)));
        return;
    }
    ++unit.count;
    if (unit.count >= unit.target) {
        unit.state = UnitState::Idle;
        out.append(formatLine(unit.uid, kFinal, number(unit.count)));
        return;
    }
    if (unit.count % m_options.progressEvery == 0)
        out.append(formatLine(unit.uid, QByteArrayLiteral("[c](") + number(unit.count) + ')'));
    Event e;
    e.kind = Event::Kind::Stone;
    e.uid = unit.uid;
    e.generation = unit.generation;
    schedule(atMs + m_options.stoneMs, e);
}

QByteArray SimController::formatLine(qint64 uid, const QByteArray &message, const QByteArray &value)
{
    QByteArray line = number(++m_sequence);
    line += '\t';
    line += number(uid);
    line += '\t';
    line += message;
    if (!value.isEmpty()) {
        line += '\t';
        line += value;
    }
    line += "\r\n";
    return line;
}

QList<int> SimController::uids() const
{
    QList<int> list;
    for (const auto &entry : m_units)
        list.append(entry.first);
    return list;
}

SimController::UnitState SimController::unitState(int uid) const
{
    const auto it = m_units.find(uid);
    return it == m_units.end() ? UnitState::Idle : it->second.state;
}

qint64 SimController::unitCount(int uid) const
{
    const auto it = m_units.find(uid);
    return it == m_units.end() ? 0 : it->second.count;
}
