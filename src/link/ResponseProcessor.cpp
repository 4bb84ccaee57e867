#include "ResponseProcessor.h"

#include "Comm1.h"
#include "CommandSender.h"
#include "ConsoleHost.h"
#include "Markers.h"
#include "NumberText.h"
#include "Platform.h"
#include "RunJournal.h"
#include "SettingsSchema.h"
#include "UnitColours.h"

#include <utility>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString SentOk = QStringLiteral("Sent OK");
const QString NotAck = QStringLiteral("Not Ack");
const QString StuckMessage = QStringLiteral("STUCK STONE ERROR- REMOVE MANUALLY");

constexpr int StuckStatusSecs = 10;
// After a stuck stone the controller's chatter is drained this many times, this far apart.
constexpr int DrainRounds = 5;
constexpr int DrainPauseMs = 100;

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
    // A tick that comes while a batch is being handled (its sends let events run) waits for the next one,
    // so lines reach the log in the order they arrived. A probe owns the port while it runs.
    if (m_inStep || m_comm.pollPaused())
        return;
    m_inStep = true;

    bool failed = false;
    QString text = std::exchange(m_handed, {});
    const qint64 waiting = m_comm.InBufferCount();
    if (waiting > 0) {
        bool ok = true;
        text += m_comm.Input(&ok);
        failed = !ok;
        m_host.platform().DoEvents();
    } else {
        failed = waiting < 0;
    }
    if (!text.isEmpty()) {
        m_lastArrival = m_host.platform().monotonicSeconds();
        take(text);
    } else if (m_host.platform().monotonicSeconds() - m_lastArrival >= HeldQuietSecs) {
        // Nothing came to continue the held text for long enough: it is a line of its own.
        flushHeld();
    }
    if (failed) {
        m_comm.setPortOpen(false);
        m_comm.setPortOpen(true);
    }
    m_inStep = false;
}

void ResponseProcessor::hand(const QString &text)
{
    m_handed += text;
    receiveStep();
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
    if (m_held.isEmpty())
        return;
    const QString line = std::exchange(m_held, {});
    if (std::exchange(m_heldFromDrain, false))
        logOnly(line, 0);
    else
        processResponse(line);
}

void ResponseProcessor::processResponse(const QString &tTemp)
{
    m_tabTags.clear();
    const int units = m_host.NoUnits();
    for (int k = 1; k <= units; ++k) {
        const UnitView *unit = m_host.Unit(k);
        m_tabTags.append(unit ? u'\t' + unit->Tag() : QString());
    }

    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = tTemp.indexOf(CrLf, pos);
        const qsizetype lineEnd = end < 0 ? tTemp.size() : end;
        const QString line = tTemp.mid(pos, lineEnd - pos);
        const qsizetype next = end < 0 ? tTemp.size() : end + 2;
        if (processLine(line)) {
            // Nothing the controller said may be missing from the log: the rest of the batch and what
            // came during the drain are logged, in order, though not shown or acted upon.
            logOnly(tTemp, next);
            // What arrived during the drain continues the text held back from this batch; its
            // unterminated rest is held in turn, to be completed by the next tick.
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
            return;
        }
        if (end < 0)
            break;
        pos = next;
    }
}

bool ResponseProcessor::processLine(const QString &line)
{
    if (line.isEmpty())
        return false;
    logLine(line);
    show(line);
    if (instrQS(line, SentOk))
        return false;

    const Fields f = cutFields(line);
    if (f.count >= 3) {
        const auto id = numtext::toInt32(numtext::read(f.field[1].toString()));
        const std::optional<int> u = id ? m_host.unitByUID(QString::number(*id)) : std::nullopt;
        UnitView *unit = u ? m_host.Unit(*u) : nullptr;
        // A line for no registered unit is logged and shown only: acting on it would touch some other
        // unit's panel or stop the wrong units.
        if (!unit)
            return false;

        const QString message = f.field[2].toString();
        RunJournal *journal = m_host.journal();
        if (instrQS(message, QStringLiteral("[F]"))) {
            std::optional<double> count;
            if (f.count >= 4) {
                count = numtext::read(f.field[3].toString());
                unit->setCaption3(QStringLiteral("Count: ") + numtext::plain(*count));
            }
            const bool stuck = message.contains(QLatin1String("!!!"));
            if (journal && (count || stuck))
                journal->finalReport(*u, count, stuck);
            if (stuck) {
                stuckStone(*u);
                return true;
            }
        } else if (instrQS(message, QStringLiteral("ID:"))) {
            storeReported(SettingsSchema::Setting(SettingsSchema::Key::Init, *u), message);
        } else if (instrQS(message, QStringLiteral("L1L2:"))) {
            storeReported(SettingsSchema::Setting(SettingsSchema::Key::Home, *u), message);
        } else if (instrQS(message, QStringLiteral("[C]<-"))) {
            const double shortBy = numtext::read(message.mid(5));
            unit->setCaption4(QStringLiteral("Short : ") + numtext::plain(shortBy));
            if (journal)
                journal->shortfall(*u, shortBy);
        } else if (instrQS(message, QStringLiteral("[c]("))) {
            unit->setCaption3(QStringLiteral("Count : ") + numtext::plain(numtext::read(message.mid(4))));
        }
    }

    // Highlight every unit whose UID follows a TAB anywhere in the line (10 also for 101, as ever).
    for (qsizetype k = 0; k < m_tabTags.size(); ++k) {
        if (!line.contains(m_tabTags.at(k)))
            continue;
        if (UnitView *unit = m_host.Unit(int(k) + 1)) {
            unit->setState(unitcolour::Answer);
            m_host.ensureStatusTimerRunning();
        }
    }
    return false;
}

void ResponseProcessor::logLine(const QString &line)
{
    if (instrQS(line, SentOk)) {
        // An empty line and a time stamp set each completed transfer apart in the log.
        m_host.LOG(CrLf + m_host.platform().now().toString(QStringLiteral("yyyy-MM-dd-hh-mm")));
    }
    m_host.LOG(line);
    if (m_lineObserver)
        m_lineObserver(line);
}

void ResponseProcessor::show(const QString &line)
{
    if (m_host.filterMode() == QLatin1String("A")) {
        m_host.prependOut(line + CrLf);
    } else if (!instrQS(line, NotAck)) {
        // Important messages only: the answers to one command run together on the line SendCMD opened.
        m_host.prependOut(line);
    }
}

void ResponseProcessor::stuckStone(int u)
{
    if (UnitView *unit = m_host.Unit(u))
        unit->setState(unitcolour::Stuck);
    // A STOP that did not go out must not pass for sent: the unit is still running.
    if (m_sender.sendInternal(QStringLiteral("STOP"), u, CommandSender::NotSent::LogOnly))
        m_host.SetStatus(StuckMessage, StuckStatusSecs);
    else
        m_host.SetStatus(QStringLiteral("STOP NOT SENT - STOP UNIT ") + QString::number(u) + QStringLiteral(" BY HAND"),
                         StuckStatusSecs);
    // The unit keeps talking while it stops; that chatter is not to be acted upon.
    for (int i = 0; i < DrainRounds; ++i) {
        m_drained += m_comm.Input();
        m_host.platform().Sleep(DrainPauseMs);
    }
    if (UnitView *unit = m_host.Unit(u)) {
        unit->setState(unitcolour::Stuck);
        unit->setCaption4(QStringLiteral("STUCK STN"));
    }
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
        if (end > pos)
            logLine(text.mid(pos, end - pos));
        pos = end + 2;
    }
}
