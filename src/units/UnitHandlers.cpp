#include "units/UnitHandlers.h"

#include "common/NumberText.h"
#include "common/Platform.h"
#include "host/ConsoleHost.h"
#include "link/CommandSender.h"
#include "records/RunJournal.h"
#include "units/dUnit.h"

#include <QDir>

namespace {

const QString CrLf = QStringLiteral("\r\n");

} // namespace

UnitHandlers::UnitHandlers(ConsoleHost &host, CommandSender &sender, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_sender(sender)
{}

void UnitHandlers::connectPanel(dUnit *panel, int n)
{
    if (!panel)
        return;
    connect(panel, &dUnit::Init, this, [this, n] { init(n); });
    connect(panel, &dUnit::Update, this, [this, n] { update(n); });
    connect(panel, &dUnit::Home, this, [this, n] { home(n); });
    connect(panel, &dUnit::Save, this, [this, n] { save(n); });
    connect(panel, &dUnit::Flush, this, [this, n] { flush(n); });
    connect(panel, &dUnit::STOPall, this, [this, n] { stopAll(n); });
    connect(panel, &dUnit::ReportOK, this, [this, n] { reportOk(n); });
    connect(panel, &dUnit::ReportNotOK, this, [this, n] { reportNotOk(n); });
    connect(panel, &dUnit::checkClicked, this, [this, n] { checkClicked(n); });
}

void UnitHandlers::send(const QString &key, int n)
{
    m_sender.queue().post({[this, key, n] {
                               m_sender.sendInternal(key, n);
                               return 0;
                           },
                           {}});
}

void UnitHandlers::init(int n)
{
    send(QStringLiteral("Id"), n);
}

void UnitHandlers::update(int n)
{
    SendQueue &queue = m_sender.queue();
    queue.post({[this, &queue, n] {
                    // The script expects a controller that took the update command; without it there is
                    // nothing to start.
                    if (!m_sender.sendInternal(QStringLiteral("UPDATE"), n))
                        return 0;
                    // Never waited for; a missing or unstartable script changes nothing, the command is out.
                    queue.postNext({{[this] {
                                         Platform &platform = m_host.platform();
                                         platform.startDetached(updateScript(platform.programFolder()));
                                         return 0;
                                     },
                                     {}}});
                    return UpdatePauseMs;
                },
                {}});
}

void UnitHandlers::home(int n)
{
    send(QStringLiteral("HOME"), n);
}

void UnitHandlers::save(int n)
{
    send(QStringLiteral("Save Settings"), n);
}

void UnitHandlers::flush(int n)
{
    send(QStringLiteral("Flush"), n);
}

void UnitHandlers::stopAll(int n)
{
    send(QStringLiteral("STOP"), n);
}

void UnitHandlers::reportOk(int n)
{
    const QString line = QStringLiteral(">>LAST OK - UNIT") + QString::number(n);
    m_host.log(line);
    m_host.prependOut(line + CrLf);
    if (RunJournal *journal = m_host.journal())
        journal->verdict(n, true);
}

void UnitHandlers::reportNotOk(int n)
{
    // Units above 10 have no count box: there is no requested count to show or record.
    const std::optional<QString> requested = m_host.countText(n);
    if (!requested)
        return;
    m_host.platform().inputBox(
        tr("Enter Actual Count for Error"), tr("Logging Error"), *requested, this,
        [this, n, requested = *requested](const QString &answer) { recordNotOk(n, requested, answer); });
}

void UnitHandlers::recordNotOk(int n, const QString &requested, const QString &answer)
{
    const qint32 actual = actualCount(answer);
    const QString line = QStringLiteral(">>LAST NOT OK ") + QString::number(n) + QStringLiteral(" - ") + requested
        + QStringLiteral(" - ") + QString::number(actual);
    m_host.prependOut(line + CrLf);
    m_host.log(line);
    if (RunJournal *journal = m_host.journal())
        journal->verdict(n, false, actual);
}

void UnitHandlers::checkClicked(int n)
{
    UnitModel *panel = m_host.unit(n);
    if (!panel)
        return;
    panel->setChecked(!panel->isChecked());
    if (!panel->isChecked())
        return;
    // "All Units" and single units are never checked together: commands go either to all or to the chosen.
    if (n != 0) {
        if (UnitModel *all = m_host.unit(0))
            all->setChecked(false);
    } else {
        for (int n = 1; n <= m_host.unitCount(); ++n) {
            if (UnitModel *unit = m_host.unit(n))
                unit->setChecked(false);
        }
    }
}

QString UnitHandlers::updateScript(const QString &programFolder)
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("update.bat");
#else
    const QString name = QStringLiteral("update.sh");
#endif
    return QDir::toNativeSeparators(QDir(programFolder).filePath(name));
}

qint32 UnitHandlers::actualCount(const QString &answer)
{
    bool ok = false;
    const double value = answer.trimmed().toDouble(&ok);
    if (!ok)
        return 0;
    return numtext::toInt32(value).value_or(0);
}
