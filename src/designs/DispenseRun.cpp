#include "DispenseRun.h"

#include "CommandSender.h"
#include "ConsoleHost.h"
#include "NumberText.h"
#include "Platform.h"
#include "RunJournal.h"

#include <QStringList>
#include <cmath>

bool DispenseRun::isStoneCount(double count)
{
    return count >= 1 && count <= MaxCount && std::floor(count) == count;
}

void DispenseRun::run(ConsoleHost &host, CommandSender &sender, const std::function<QString(int n)> &designOf)
{
    if (!sender.mayLeave())
        return;
    // Two units of the run at one address would both count at that unit: nothing goes out.
    QList<std::pair<int, QString>> addressed;
    // Each row is booked under the design of its own box; the run's outcome names the design when every
    // unit's count came from the same one.
    QStringList designs;
    for (int n = 1; n <= host.NoUnits(); ++n) {
        const double count = numtext::read(host.countText(n).value_or(QString()));
        if (host.countText(n) && isStoneCount(count))
            addressed.append({n, host.countTag(n).value_or(QString())});
        if (host.countText(n) && count > 0)
            designs.append(designOf ? designOf(n) : QString());
    }
    if (const QString shared = CommandSender::sharedUid(addressed); !shared.isEmpty()) {
        host.announce(QStringLiteral("Dispense not started: ") + shared);
        return;
    }

    RunJournal *journal = host.journal();
    if (journal)
        journal->startRun(host.platform().now(),
                          designs.size() == designs.count(designs.value(0)) ? designs.value(0) : QString());
    // Once a line has not gone out whole the run stops: the operator is told which units did not get their
    // count, and nothing is resent by itself, so no unit ever dispenses twice.
    bool lost = false;
    QStringList notSent;
    QStringList check;
    for (int n = 1; n <= host.NoUnits(); ++n) {
        const std::optional<QString> text = host.countText(n);
        if (!text)
            continue;
        const double count = numtext::read(*text);
        if (!(count > 0))
            continue;
        const QString uid = host.countTag(n).value_or(QString());
        UnitModel *unit = host.Unit(n);
        const QString name = QStringLiteral("UNIT ") + QString::number(n);
        if (journal)
            journal->addUnit(n, unit ? unit->name() : QString(), uid, numtext::plain(count),
                             designOf ? designOf(n) : QString());
        const auto skip = [&] {
            if (journal)
                journal->notSent(n);
        };
        if (lost) {
            if (isStoneCount(count) && CommandSender::isUnitAddress(uid))
                notSent.append(name);
            skip();
            continue;
        }
        // A fraction or a number too large for any unit means nothing on the line.
        if (!isStoneCount(count)) {
            host.announce(name + QStringLiteral(": count not sent (whole numbers up to 999999)"), NoticeSecs);
            skip();
            continue;
        }
        if (!CommandSender::isUnitAddress(uid)) {
            host.announce(name + QStringLiteral(" has no valid UID"), NoticeSecs);
            skip();
            continue;
        }
        if (unit) {
            unit->setCount(QString());
            unit->setInfo(QString());
        }
        // The catalogue is read for every unit, so an edit of the file between two runs takes effect.
        const QString body =
            CommandSender::GetCommandInternal(QStringLiteral("Count")) + u',' + numtext::plain(count) + u',' + uid;
        // The body holds its two commas already; the history keeps operator commands only.
        if (!sender.SendCMD(body, true, CommandSender::NotSent::Silent)) {
            lost = true;
            notSent.append(name);
            if (sender.lastPartlyTaken())
                check.append(name);
            skip();
            continue;
        }
        if (journal)
            journal->sent(n);
        host.platform().Sleep(SpacingMs);
    }
    if (lost) {
        QString report = sender.controllerEverFound() ? QStringLiteral("Dispense stopped: port lost. Not sent: ")
                                                      : QStringLiteral("Dispense stopped: no controller. Not sent: ");
        report += notSent.join(QStringLiteral(", "));
        if (!check.isEmpty())
            report += QStringLiteral(". Check: ") + check.join(QStringLiteral(", "));
        host.announce(report);
    }
}
