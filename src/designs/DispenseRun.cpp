#include "DispenseRun.h"

#include "CommandSender.h"
#include "ConsoleHost.h"
#include "NumberText.h"
#include "Platform.h"

#include <cmath>

void DispenseRun::run(ConsoleHost &host, CommandSender &sender)
{
    for (int n = 1; n <= host.NoUnits(); ++n) {
        const std::optional<QString> text = host.countText(n);
        if (!text)
            continue;
        const double count = numtext::read(*text);
        // A number too large to hold is no count a unit could dispense; its text would mean nothing on
        // the line.
        if (!(count > 0) || !std::isfinite(count))
            continue;
        if (UnitView *unit = host.Unit(n)) {
            unit->setCaption3(QString());
            unit->setCaption4(QString());
        }
        // The catalogue is read for every unit, so an edit of the file between two runs takes effect.
        const QString body = CommandSender::GetCommandInternal(QStringLiteral("Count")) + u',' + numtext::plain(count)
            + u',' + host.countTag(n).value_or(QString());
        // The body holds its two commas already; the history keeps operator commands only.
        sender.SendCMD(body, true);
        host.platform().Sleep(SpacingMs);
    }
}
