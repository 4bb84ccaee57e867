#include "link/CommandSender.h"

#include "common/NumberText.h"
#include "common/Platform.h"
#include "host/ConsoleHost.h"
#include "link/Comm1.h"
#include "records/RunJournal.h"
#include "settings/SettingsSchema.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace {

// Commands to several units go out this far apart, so that each unit has taken its line before the next.
constexpr int InterCommandMs = 200;
constexpr int NoticeSecs = 5;

const QString CrLf = QStringLiteral("\r\n");

} // namespace

CommandSender::CommandSender(ConsoleHost &host, Comm1 &comm, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_comm(comm)
    , m_queue(host.platform())
{}

QString CommandSender::frame(QString command)
{
    if (!command.startsWith(u'>'))
        command.prepend(u'>');
    const qsizetype first = command.indexOf(u',');
    if (first < 0)
        command += QStringLiteral(",0");
    if (command.indexOf(u',', command.indexOf(u',') + 1) < 0)
        command += QStringLiteral(",0");
    return command;
}

bool CommandSender::send(QString command, bool noAddress, NotSent notSent)
{
    command = frame(std::move(command));
    if (!mayLeave())
        return false;

    if (!noAddress) {
        m_history.prepend(command.mid(1));
        if (m_history.size() > MaxHistory)
            m_history.resize(MaxHistory);
        emit historyChanged();
    }

    if (!m_comm.PortOpen())
        m_comm.setPortOpen(true);

    // Whichever unit the command addresses, every panel waits for a fresh answer.
    for (int n = 1; n <= m_host.unitCount(); ++n) {
        if (UnitModel *unit = m_host.unit(n)) {
            unit->setState(UnitState::Idle);
            unit->setCount(QString());
            unit->setInfo(QString());
        }
    }
    m_host.prependOut(CrLf);

    const Comm1::Written written = m_comm.send(command + CrLf);
    m_partlyTaken = written == Comm1::Written::Part;
    if (written == Comm1::Written::Whole) {
        m_lastSent.insert(addressOf(addressField(command)), command);
        return true;
    }
    // A line the controller may not have had must never pass for sent: the operator decides what to redo.
    QString text = QStringLiteral("Not sent: ") + command;
    if (m_partlyTaken)
        text += QStringLiteral(" (partly taken by the port: check ") + addressee(command) + u')';
    if (notSent == NotSent::Report)
        m_host.setStatus(text);
    if (notSent != NotSent::Silent)
        m_host.log(text);
    return false;
}

bool CommandSender::mayLeave()
{
    if (!m_searching)
        return true;
    m_host.setStatus(QStringLiteral("Still looking for the controller"));
    return false;
}

bool CommandSender::isUnitAddress(const QString &uid)
{
    qint64 value = 0;
    for (const QChar c : uid) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > MaxUid)
            return false;
    }
    return value > 0;
}

QString CommandSender::addressOf(const QString &uid)
{
    qsizetype zeros = 0;
    while (zeros + 1 < uid.size() && uid.at(zeros) == u'0')
        ++zeros;
    return uid.mid(zeros);
}

QString CommandSender::sharedUid(const QList<std::pair<int, QString>> &units)
{
    QHash<QString, int> seen;
    for (const auto &[n, uid] : units) {
        if (!isUnitAddress(uid))
            continue;
        const auto it = seen.constFind(addressOf(uid));
        if (it != seen.constEnd())
            return QStringLiteral("UNIT %1 and UNIT %2 share UID %3").arg(*it).arg(n).arg(uid);
        seen.insert(addressOf(uid), n);
    }
    return {};
}

QString CommandSender::sharedUid(ConsoleHost &host)
{
    QList<std::pair<int, QString>> units;
    for (int n = 1; n <= host.unitCount(); ++n) {
        if (const UnitModel *unit = host.unit(n))
            units.append({n, unit->uid()});
    }
    return sharedUid(units);
}

QString CommandSender::addressField(const QString &line)
{
    // A command carries the address second (">H,101,0"), a count third (">C,12,101"): the last field that
    // names a unit is the one.
    const QStringList fields = line.split(u',');
    for (qsizetype i = fields.size() - 1; i >= 1; --i) {
        if (isUnitAddress(fields.at(i)))
            return fields.at(i);
    }
    return QStringLiteral("0");
}

QString CommandSender::addressee(const QString &line) const
{
    if (const std::optional<int> n = m_host.unitByUID(addressOf(addressField(line))))
        return QStringLiteral("UNIT ") + QString::number(*n);
    return QStringLiteral("all units");
}

bool CommandSender::checkAddress(int n, const QString &uid)
{
    if (isUnitAddress(uid))
        return true;
    m_host.setStatus(QStringLiteral("UNIT ") + QString::number(n) + QStringLiteral(" has no valid UID"), NoticeSecs);
    return false;
}

bool CommandSender::sendInternal(const QString &command, int n, NotSent notSent)
{
    if (!mayLeave())
        return false;
    if (n != 0) {
        const UnitModel *unit = m_host.unit(n);
        if (!unit || !checkAddress(n, unit->uid()))
            return false;
    }
    // The builder runs first: its notice is on the status line before the panels are reset.
    const QString body = lineBody(command, n);
    return send(body, false, notSent);
}

QString CommandSender::lineBody(const QString &command, int n)
{
    QString suffix = QStringLiteral(",0");
    if (n != 0) {
        m_host.setStatus(QStringLiteral("Sending Command ") + command + QStringLiteral(" to UNIT ") + QString::number(n)
                             + QStringLiteral(" - Pls Wait !"),
                         NoticeSecs);
        if (UnitModel *unit = m_host.unit(n))
            suffix = u',' + unit->uid();
    } else {
        m_host.setStatus(QStringLiteral("Sending Command ") + command + QStringLiteral(" to all UNITS")
                             + QStringLiteral(" - Pls Wait !"),
                         NoticeSecs);
    }
    return commandCode(command) + suffix;
}

void CommandSender::sendToChecked(const QString &command)
{
    m_queue.post({[this, command] {
                      sendToSelected(command);
                      return 0;
                  },
                  {}});
}

void CommandSender::sendToSelected(const QString &command)
{
    if (!mayLeave())
        return;
    const int units = m_host.unitCount();
    bool all = false;
    if (UnitModel *panel0 = m_host.unit(0); panel0 && panel0->isChecked()) {
        all = true;
    } else {
        all = true;
        for (int n = 1; n <= units; ++n) {
            if (UnitModel *unit = m_host.unit(n); unit && unit->isChecked()) {
                all = false;
                break;
            }
        }
    }
    QStringList lines;
    if (all) {
        lines.append(command);
    } else {
        // Two checked units with one UID are one unit to the controller: a second line would act twice.
        QSet<QString> sent;
        for (int n = 1; n <= units; ++n) {
            UnitModel *unit = m_host.unit(n);
            if (!unit || !unit->isChecked() || !checkAddress(n, unit->uid()))
                continue;
            if (sent.contains(addressOf(unit->uid())))
                continue;
            sent.insert(addressOf(unit->uid()));
            lines.append(command + u',' + unit->uid());
        }
    }
    // Stones counted from the console are a run like any other: the journal knows what was asked of whom.
    RunJournal *journal = m_host.journal();
    const bool journaled = journal && std::any_of(lines.cbegin(), lines.cend(), [this](const QString &line) {
                               const std::optional<CountLine> count = countLine(frame(line));
                               return count && !count->units.isEmpty();
                           });
    if (journaled)
        journal->startRun(m_host.platform().now(), QStringLiteral("(console)"));
    QList<SendQueue::Step> steps;
    for (const QString &line : std::as_const(lines)) {
        steps.append({[this, line, journaled, all] {
                          sendConsoleLine(line, journaled);
                          return all ? 0 : InterCommandMs;
                      },
                      [this, line, journaled] { sendConsoleLine(line, journaled, true); }});
    }
    m_queue.postNext(steps);
}

std::optional<CommandSender::CountLine> CommandSender::countLine(const QString &framed) const
{
    const QString count = commandCode(QStringLiteral("Count"));
    const QStringList fields = framed.mid(1).split(u',');
    // The controller takes its verbs in any letter case.
    if (count.isEmpty() || fields.size() < 3 || fields.at(0).compare(count, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    CountLine line;
    line.asked = numtext::plain(numtext::read(fields.at(1)));
    const QString address = fields.at(2);
    for (int n = 1; n <= m_host.unitCount(); ++n) {
        const UnitModel *unit = m_host.unit(n);
        const bool reached = address == QLatin1String("0")
            || (unit && isUnitAddress(unit->uid()) && isUnitAddress(address)
                && addressOf(unit->uid()) == addressOf(address));
        if (reached)
            line.units.append(n);
    }
    return line;
}

void CommandSender::sendConsoleLine(const QString &command, bool journaled, bool dropped)
{
    RunJournal *journal = journaled ? m_host.journal() : nullptr;
    const std::optional<CountLine> count = journal ? countLine(frame(command)) : std::nullopt;
    if (count) {
        for (const int n : count->units) {
            const UnitModel *unit = m_host.unit(n);
            journal->addUnit(n, unit ? unit->name() : QString(), unit ? unit->uid() : QString(), count->asked,
                             QStringLiteral("(console)"));
        }
    }
    const bool sent = !dropped && send(command);
    if (count) {
        for (const int n : count->units)
            sent ? journal->sent(n) : journal->notSent(n);
    }
}

QString CommandSender::commandCode(const QString &name)
{
    const QString text = SettingsSchema::Setting(SettingsSchema::Key::InternalCommand, name).read();
    return text == QLatin1String("-") ? QString() : text;
}
