#include "link/ResponseProcessor.h"

#include "common/Markers.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "host/ConsoleHost.h"
#include "link/Comm1.h"
#include "link/CommandSender.h"
#include "records/RunJournal.h"
#include "settings/SettingsSchema.h"

#include <utility>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString SentOk = QStringLiteral("Sent OK");
const QString NotAck = QStringLiteral("Not Ack");

constexpr int StuckStatusSecs = 10;
// After a stuck stone the controller's chatter is drained this many times, this far apart.
constexpr int DrainRounds = 5;
constexpr int DrainPauseMs = 100;

// The opening of text whose port is closed for good: nothing ever continues it.
constexpr quint64 EndedOpening = ~quint64(0);

// Fields 1 to 3 of a line; count is the number of fields, up to 4 (4 meaning "4 or more").
struct Fields
{
    QStringView field[4];
    int count = 0;
};

Fields cutFields(QStringView line)
{
    Fields f;
    qsizetype start = 0;
    while (f.count < 4) {
        const qsizetype tab = line.indexOf(u'\t', start);
        if (tab < 0) {
            f.field[f.count++] = line.mid(start);
            break;
        }
        f.field[f.count++] = line.mid(start, tab - start);
        start = tab + 1;
    }
    return f;
}

} // namespace

ResponseProcessor::ResponseProcessor(ConsoleHost &host, Comm1 &comm, CommandSender &sender)
    : m_host(host)
    , m_comm(comm)
    , m_sender(sender)
{}

void ResponseProcessor::receiveStep()
{
    // While lines go out (and through the pause after the last one) the answers wait in the port, and
    // while a stuck unit is being stopped they are drained: either way they are read once it is over. A
    // probe owns the port while it runs.
    if (m_sender.pacing())
        return;
    step();
}

void ResponseProcessor::step()
{
    if (m_inStep || m_stuckUnit || m_comm.pollPaused())
        return;
    m_inStep = true;

    while (!m_handedEnded.isEmpty()) {
        m_lastArrival = m_host.platform().monotonicSeconds();
        take(m_handedEnded.takeFirst(), EndedOpening);
        if (m_stuckUnit) {
            // The rest waits for the stuck unit to be stopped, in the order it came.
            m_inStep = false;
            return;
        }
        flushHeld();
    }
    bool failed = false;
    QString text = std::exchange(m_handed, {});
    const qint64 waiting = m_comm.InBufferCount();
    if (waiting > 0) {
        bool ok = true;
        text += m_comm.Input(&ok);
        failed = !ok;
    } else {
        failed = waiting < 0;
    }
    if (!text.isEmpty()) {
        m_lastArrival = m_host.platform().monotonicSeconds();
        take(text, m_comm.opening());
    } else if (m_heldOpening != m_comm.opening()
               || m_host.platform().monotonicSeconds() - m_lastArrival >= HeldQuietSecs) {
        // Nothing came to continue the held text for long enough, or the port was opened anew meanwhile:
        // it is a line of its own.
        flushHeld();
    }
    if (failed) {
        // Nothing of the lost link's will come after its held text.
        flushHeld();
        if (m_linkFailed)
            m_linkFailed();
        m_comm.setPortOpen(false);
        m_comm.setPortOpen(true);
    }
    m_inStep = false;
}

void ResponseProcessor::hand(const QStringList &ended, const QString &open)
{
    for (const QString &text : ended) {
        if (!text.isEmpty())
            m_handedEnded.append(text);
    }
    m_handed += open;
    receiveStep();
}

void ResponseProcessor::endOfLink()
{
    if (m_inStep)
        return;
    // A unit being stopped is stopped now: what the port holds is drained, and the rest comes after it.
    if (m_stuckUnit) {
        m_drained += m_comm.Input();
        endDrain();
    }
    if (!m_comm.pollPaused() && (m_comm.PortOpen() || m_comm.InBufferCount() > 0))
        step();
    flushHeld();
}

void ResponseProcessor::take(const QString &text, quint64 opening)
{
    if (!m_held.isEmpty() && opening != m_heldOpening)
        flushHeld();
    m_heldOpening = opening;
    take(text);
}

void ResponseProcessor::take(const QString &text)
{
    if (text.isEmpty()) {
        flushHeld();
        return;
    }
    QString combined = std::exchange(m_held, {}) + text;
    if (m_heldFromDrain) {
        // The line that was cut off at the end of a stuck-stone drain is drained text too: logged, never
        // acted upon (a second stuck stone in it must not send a second STOP).
        const qsizetype end = combined.indexOf(CrLf);
        if (end < 0) {
            m_held = std::move(combined);
            if (m_held.size() > MaxHeldTail)
                flushHeld();
            return;
        }
        m_heldFromDrain = false;
        logOnly(combined.left(end), 0);
        combined.remove(0, end + 2);
    }
    const qsizetype cut = combined.lastIndexOf(CrLf);
    if (cut < 0) {
        m_held = std::move(combined);
    } else {
        // Held before the complete lines are processed, so a stuck stone among them can log it in order.
        m_held = combined.mid(cut + 2);
        combined.truncate(cut + 2);
        processResponse(combined);
    }
    if (m_held.size() > MaxHeldTail)
        flushHeld();
}

void ResponseProcessor::flushHeld()
{
    // While a unit is being stopped the held text waits: what the drain brings may continue it.
    if (m_held.isEmpty() || m_stuckUnit)
        return;
    const QString line = std::exchange(m_held, {});
    if (std::exchange(m_heldFromDrain, false))
        logOnly(line, 0);
    else
        processResponse(line);
}

void ResponseProcessor::processResponse(const QString &tTemp)
{
    // What comes while a unit is being stopped is drained text: logged and credited, not acted upon.
    if (m_stuckUnit) {
        logOnly(tTemp, 0);
        return;
    }
    m_tabTags.clear();
    const int units = m_host.unitCount();
    for (int k = 1; k <= units; ++k) {
        const UnitModel *unit = m_host.unit(k);
        m_tabTags.append(unit ? u'\t' + unit->uid() : QString());
    }

    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = tTemp.indexOf(CrLf, pos);
        const qsizetype lineEnd = end < 0 ? tTemp.size() : end;
        const QString line = tTemp.mid(pos, lineEnd - pos);
        const qsizetype next = end < 0 ? tTemp.size() : end + 2;
        if (processLine(line)) {
            // Nothing the controller said may be missing from the log: the rest of the batch is logged, in
            // order, though not shown or acted upon; what comes while the unit is stopped follows it.
            logOnly(tTemp, next);
            return;
        }
        if (end < 0)
            break;
        pos = next;
    }
}

struct ResponseProcessor::Report
{
    enum class Kind { Final, Id, Home, Short, Progress, Other };
    int u = 0;
    UnitModel *unit = nullptr;
    QString message;
    Kind kind = Kind::Other;
    // The count of a final report (when the line has field 3), the shortfall, or the progress count.
    std::optional<double> value;
    bool stuck = false;
};

std::optional<ResponseProcessor::Report> ResponseProcessor::reportOf(const QString &line) const
{
    const Fields f = cutFields(line);
    if (f.count < 3)
        return std::nullopt;
    const auto id = numtext::toInt32(numtext::read(f.field[1].toString()));
    const std::optional<int> u = id ? m_host.unitByUID(QString::number(*id)) : std::nullopt;
    UnitModel *unit = u ? m_host.unit(*u) : nullptr;
    // A line for no registered unit is logged and shown only: acting on it would touch some other unit's
    // panel or stop the wrong units.
    if (!unit)
        return std::nullopt;
    Report r;
    r.u = *u;
    r.unit = unit;
    r.message = f.field[2].toString();
    // The first marker found applies.
    if (containsNoCase(r.message, QStringLiteral("[F]"))) {
        r.kind = Report::Kind::Final;
        if (f.count >= 4)
            r.value = numtext::read(f.field[3].toString());
        r.stuck = r.message.contains(QLatin1String("!!!"));
    } else if (containsNoCase(r.message, QStringLiteral("ID:"))) {
        r.kind = Report::Kind::Id;
    } else if (containsNoCase(r.message, QStringLiteral("L1L2:"))) {
        r.kind = Report::Kind::Home;
    } else if (containsNoCase(r.message, QStringLiteral("[C]<-"))) {
        r.kind = Report::Kind::Short;
        r.value = numtext::read(r.message.mid(5));
    } else if (containsNoCase(r.message, QStringLiteral("[c]("))) {
        r.kind = Report::Kind::Progress;
        r.value = numtext::read(r.message.mid(4));
    }
    return r;
}

void ResponseProcessor::credit(const Report &report)
{
    RunJournal *journal = m_host.journal();
    if (!journal)
        return;
    if (report.kind == Report::Kind::Final && (report.value || report.stuck))
        journal->finalReport(report.u, report.value, report.stuck);
    else if (report.kind == Report::Kind::Short)
        journal->shortfall(report.u, *report.value);
}

bool ResponseProcessor::processLine(const QString &line)
{
    if (line.isEmpty())
        return false;
    const bool sentOk = containsNoCase(line, SentOk);
    const bool notAck = containsNoCase(line, NotAck);
    // A refusal goes into the log with the line that says it, in one entry: every entry is a write of the
    // day's file, the most costly step of the receive path.
    const Said refusal = notAck && !sentOk ? refusalOf(line) : Said();
    logLine(line, sentOk, refusal.english);
    show(line, notAck);
    if (sentOk)
        return false;
    if (!refusal.english.isEmpty()) {
        m_host.setStatus(refusal.shown);
        m_host.prependOut(refusal.shown + CrLf);
    }

    if (const std::optional<Report> r = reportOf(line)) {
        credit(*r);
        switch (r->kind) {
        case Report::Kind::Final:
            if (r->value)
                r->unit->setCount(QCoreApplication::translate("Console", "Count: ") + numtext::plain(*r->value),
                                  r->value);
            if (r->stuck) {
                stuckStone(r->u);
                return true;
            }
            break;
        case Report::Kind::Id:
            storeReported(SettingsSchema::Setting(SettingsSchema::Key::Init, r->u), r->message);
            break;
        case Report::Kind::Home:
            storeReported(SettingsSchema::Setting(SettingsSchema::Key::Home, r->u), r->message);
            break;
        case Report::Kind::Short:
            r->unit->setInfo(QCoreApplication::translate("Console", "Short : ") + numtext::plain(*r->value), r->value);
            break;
        case Report::Kind::Progress:
            r->unit->setCount(QCoreApplication::translate("Console", "Count : ") + numtext::plain(*r->value), r->value);
            break;
        case Report::Kind::Other: break;
        }
    }

    // Highlight every unit whose UID follows a TAB anywhere in the line (10 also for 101, as ever).
    for (qsizetype k = 0; k < m_tabTags.size(); ++k) {
        if (!line.contains(m_tabTags.at(k)))
            continue;
        if (UnitModel *unit = m_host.unit(int(k) + 1)) {
            unit->setState(UnitState::Answering);
            m_host.ensureStatusTimerRunning();
        }
    }
    return false;
}

Said ResponseProcessor::refusalOf(const QString &line) const
{
    // A refusal looks like any answer on the panel (its band turns green): the operator is told in words,
    // in every filter mode, with the line the unit was last sent when it is known.
    const Fields f = cutFields(line);
    const qint32 id = f.count >= 2 ? numtext::toInt32(numtext::read(f.field[1].toString())).value_or(-1) : -1;
    Said who = said(QT_TRANSLATE_NOOP("Console", "The controller"));
    QString sent;
    if (id >= 0) {
        const QString uid = QString::number(id);
        const std::optional<int> u = m_host.unitByUID(uid);
        who = u ? said(QT_TRANSLATE_NOOP("Console", "%1 (UID %2)"), unitName(*u), uid)
                : said(QT_TRANSLATE_NOOP("Console", "UID %1"), uid);
        sent = m_sender.lastSentTo(uid);
    }
    return sent.isEmpty() ? said(QT_TRANSLATE_NOOP("Console", "%1 did not acknowledge"), who)
                          : said(QT_TRANSLATE_NOOP("Console", "%1 did not acknowledge %2"), who, sent);
}

void ResponseProcessor::logLine(const QString &line, bool sentOk, const QString &notice)
{
    if (sentOk) {
        // An empty line and a time stamp set each completed transfer apart in the log.
        m_host.log(CrLf + m_host.platform().now().toString(QStringLiteral("yyyy-MM-dd-hh-mm")));
    }
    m_host.log(notice.isEmpty() ? line : line + CrLf + notice);
    if (m_lineObserver)
        m_lineObserver(line);
}

void ResponseProcessor::show(const QString &line, bool notAck)
{
    if (m_host.filterMode() == MessageFilter::All) {
        m_host.prependOut(line + CrLf);
    } else if (!notAck) {
        // Important messages only: the answers to one command run together on the line SendCMD opened.
        m_host.prependOut(line);
    }
}

void ResponseProcessor::stuckStone(int u)
{
    if (UnitModel *unit = m_host.unit(u))
        unit->setState(UnitState::Stuck);
    // Until the unit is stopped and its chatter drained, nothing the controller says is acted upon.
    m_stuckUnit = u;
    m_drainRound = 0;
    const quint64 drain = ++m_drain;
    const auto stop = [this, u, drain](bool dropped) {
        // A STOP that did not go out must not pass for sent: the unit is still running.
        if (m_sender.sendInternal(QStringLiteral("STOP"), u, CommandSender::NotSent::LogOnly))
            m_host.setStatus(QCoreApplication::translate("Console", "STUCK STONE ERROR- REMOVE MANUALLY"),
                             StuckStatusSecs);
        else
            m_host.setStatus(QCoreApplication::translate("Console", "STOP NOT SENT - STOP UNIT %1 BY HAND").arg(u),
                             StuckStatusSecs);
        if (dropped || drain != m_drain || !m_stuckUnit)
            return;
        // Nothing else goes out while the unit stops.
        m_sender.queue().hold();
        m_drainHold = true;
        drainRound(drain);
    };
    // Even when the console closes before its turn, the STOP goes out.
    m_sender.queue().post({[stop] {
                               stop(false);
                               return 0;
                           },
                           [stop] { stop(true); }});
}

void ResponseProcessor::drainRound(quint64 drain)
{
    if (drain != m_drain || !m_stuckUnit)
        return;
    if (m_drainRound == DrainRounds) {
        endDrain();
        return;
    }
    // The unit keeps talking while it stops; that chatter is not to be acted upon.
    ++m_drainRound;
    m_drained += m_comm.Input();
    m_host.platform().after(DrainPauseMs, &m_timers, [this, drain] { drainRound(drain); });
}

void ResponseProcessor::endDrain()
{
    const int u = *std::exchange(m_stuckUnit, std::nullopt);
    if (UnitModel *unit = m_host.unit(u)) {
        unit->setState(UnitState::Stuck);
        unit->setInfo(QCoreApplication::translate("Console", "STUCK STN"));
    }
    // What arrived during the drain continues the text held back from the stuck stone's batch, unless that
    // came from an opening of the port that is over; its unterminated rest is held in turn, to be completed
    // by the next tick.
    if (!m_held.isEmpty() && m_heldOpening != m_comm.opening())
        logOnly(std::exchange(m_held, {}), 0);
    m_heldOpening = m_comm.opening();
    QString after = std::exchange(m_held, {}) + std::exchange(m_drained, {});
    const qsizetype cut = after.lastIndexOf(CrLf);
    if (cut >= 0) {
        m_held = after.mid(cut + 2);
        after.truncate(cut);
        logOnly(after, 0);
    } else {
        m_held = std::move(after);
    }
    m_heldFromDrain = !m_held.isEmpty();
    if (m_held.size() > MaxHeldTail)
        flushHeld();
    // What waited to be sent goes now.
    if (std::exchange(m_drainHold, false))
        m_sender.queue().release();
}

void ResponseProcessor::storeReported(const SettingsSchema::Setting &setting, const QString &message)
{
    // A settings read gives back no more than this; a longer value (garbage on the line) would only make
    // every later read of the file slower. A settings line cannot hold a stray CR, LF or NUL: the report is
    // what came before it.
    qsizetype end = qMin(message.size(), MaxStoredValue);
    for (const char16_t stop : {u'\r', u'\n', u'\0'}) {
        const qsizetype at = message.indexOf(QChar(stop));
        if (at >= 0)
            end = qMin(end, at);
    }
    setting.write(message.left(end));
}

void ResponseProcessor::logOnly(const QString &text, qsizetype from)
{
    qsizetype pos = from;
    while (pos < text.size()) {
        qsizetype end = text.indexOf(CrLf, pos);
        if (end < 0)
            end = text.size();
        if (end > pos) {
            const QString line = text.mid(pos, end - pos);
            const bool sentOk = containsNoCase(line, SentOk);
            logLine(line, sentOk);
            if (const std::optional<Report> r = reportOf(line); r && !sentOk)
                credit(*r);
        }
        pos = end + 2;
    }
}
