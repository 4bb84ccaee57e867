#include "designs/DispenseRun.h"

#include "common/NumberText.h"
#include "common/Platform.h"
#include "host/ConsoleHost.h"
#include "link/CommandSender.h"
#include "records/RunJournal.h"

#include <QStringList>

#include <cmath>
#include <memory>

bool DispenseRun::isStoneCount(double count)
{
    return count >= 1 && count <= MaxCount && std::floor(count) == count;
}

namespace {

// What one run has left to say when it is over.
struct Outcome
{
    bool lost = false;
    // The rest was dropped: the console closed.
    bool closed = false;
    QStringList notSent;
    QStringList check;
};

void start(ConsoleHost &host, CommandSender &sender, const std::function<QString(int n)> &designOf,
           const std::function<void()> &done)
{
    const auto finish = [done] {
        if (done)
            done();
    };
    if (!sender.mayLeave())
        return finish();
    // The boxes as they stand when the run starts: what the operator edits meanwhile is for the next run.
    struct Box
    {
        int n;
        double count;
        QString uid;
        QString design;
    };
    QList<Box> boxes;
    // Two units of the run at one address would both count at that unit: nothing goes out.
    QList<std::pair<int, QString>> addressed;
    // Each row is booked under the design of its own box; the run's outcome names the design when every
    // unit's count came from the same one.
    QStringList designs;
    for (int n = 1; n <= host.unitCount(); ++n) {
        const std::optional<QString> text = host.countText(n);
        if (!text)
            continue;
        const double count = numtext::read(*text);
        if (DispenseRun::isStoneCount(count))
            addressed.append({n, host.countTag(n).value_or(QString())});
        if (count > 0) {
            boxes.append({n, count, host.countTag(n).value_or(QString()), designOf ? designOf(n) : QString()});
            designs.append(boxes.last().design);
        }
    }
    if (const QString shared = CommandSender::sharedUid(addressed); !shared.isEmpty()) {
        host.announce(QStringLiteral("Dispense not started: ") + shared);
        return finish();
    }

    RunJournal *journal = host.journal();
    if (journal)
        journal->startRun(host.platform().now(),
                          designs.size() == designs.count(designs.value(0)) ? designs.value(0) : QString());
    // Once a line has not gone out whole the run stops: the operator is told which units did not get their
    // count, and nothing is resent by itself, so no unit ever dispenses twice. A run dropped by the close
    // of the console says so in the log, and the journal has every row.
    const auto outcome = std::make_shared<Outcome>();
    QList<SendQueue::Step> steps;
    for (const Box &box : std::as_const(boxes)) {
        const auto unitStep = [&host, &sender, journal, outcome, box](bool dropped) {
            UnitModel *unit = host.unit(box.n);
            const QString name = QStringLiteral("UNIT ") + QString::number(box.n);
            if (journal)
                journal->addUnit(box.n, unit ? unit->name() : QString(), box.uid, numtext::plain(box.count),
                                 box.design);
            const auto skip = [&] {
                if (journal)
                    journal->notSent(box.n);
                return 0;
            };
            if (outcome->lost || dropped) {
                outcome->closed = outcome->closed || (dropped && !outcome->lost);
                outcome->lost = true;
                if (DispenseRun::isStoneCount(box.count) && CommandSender::isUnitAddress(box.uid))
                    outcome->notSent.append(name);
                return skip();
            }
            // A fraction or a number too large for any unit means nothing on the line.
            if (!DispenseRun::isStoneCount(box.count)) {
                host.announce(name + QStringLiteral(": count not sent (whole numbers up to 999999)"),
                              DispenseRun::NoticeSecs);
                return skip();
            }
            if (!CommandSender::isUnitAddress(box.uid)) {
                host.announce(name + QStringLiteral(" has no valid UID"), DispenseRun::NoticeSecs);
                return skip();
            }
            if (unit) {
                unit->setCount(QString());
                unit->setInfo(QString());
            }
            // The catalogue is read for every unit, so an edit of the file between two runs takes effect.
            const QString body =
                CommandSender::commandCode(QStringLiteral("Count")) + u',' + numtext::plain(box.count) + u',' + box.uid;
            // The body holds its two commas already; the history keeps operator commands only.
            if (!sender.send(body, true, CommandSender::NotSent::Silent)) {
                outcome->lost = true;
                outcome->notSent.append(name);
                if (sender.lastPartlyTaken())
                    outcome->check.append(name);
                return skip();
            }
            if (journal)
                journal->sent(box.n);
            return DispenseRun::SpacingMs;
        };
        steps.append({[unitStep] { return unitStep(false); }, [unitStep] { unitStep(true); }});
    }
    const auto report = [&host, &sender, outcome, finish] {
        if (outcome->lost && !(outcome->closed && outcome->notSent.isEmpty())) {
            QString text = outcome->closed     ? QStringLiteral("Dispense stopped: console closed. Not sent: ")
                : sender.controllerEverFound() ? QStringLiteral("Dispense stopped: port lost. Not sent: ")
                                               : QStringLiteral("Dispense stopped: no controller. Not sent: ");
            text += outcome->notSent.join(QStringLiteral(", "));
            if (!outcome->check.isEmpty())
                text += QStringLiteral(". Check: ") + outcome->check.join(QStringLiteral(", "));
            host.announce(text);
        }
        finish();
    };
    steps.append({[report] {
                      report();
                      return 0;
                  },
                  report});
    sender.queue().postNext(steps);
}

} // namespace

void DispenseRun::run(ConsoleHost &host, CommandSender &sender, const std::function<QString(int n)> &designOf,
                      const std::function<void()> &done)
{
    sender.queue().post({[&host, &sender, designOf, done] {
                             start(host, sender, designOf, done);
                             return 0;
                         },
                         done});
}
