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

void UnitHandlers::connectPanel(dUnit *panel, int Index)
{
    if (!panel)
        return;
    connect(panel, &dUnit::Init, this, [this, Index] { Init(Index); });
    connect(panel, &dUnit::Update, this, [this, Index] { Update(Index); });
    connect(panel, &dUnit::Home, this, [this, Index] { Home(Index); });
    connect(panel, &dUnit::Save, this, [this, Index] { Save(Index); });
    connect(panel, &dUnit::Flush, this, [this, Index] { Flush(Index); });
    connect(panel, &dUnit::STOPall, this, [this, Index] { STOPall(Index); });
    connect(panel, &dUnit::ReportOK, this, [this, Index] { ReportOK(Index); });
    connect(panel, &dUnit::ReportNotOK, this, [this, Index] { ReportNotOK(Index); });
    connect(panel, &dUnit::checkClicked, this, [this, Index] { checkClicked(Index); });
}

void UnitHandlers::send(const QString &key, int Index)
{
    m_sender.queue().post({[this, key, Index] {
                               m_sender.sendInternal(key, Index);
                               return 0;
                           },
                           {}});
}

void UnitHandlers::Init(int Index)
{
    send(QStringLiteral("Id"), Index);
}

void UnitHandlers::Update(int Index)
{
    SendQueue &queue = m_sender.queue();
    queue.post({[this, &queue, Index] {
                    // The script expects a controller that took the update command; without it there is
                    // nothing to start.
                    if (!m_sender.sendInternal(QStringLiteral("UPDATE"), Index))
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

void UnitHandlers::Home(int Index)
{
    send(QStringLiteral("HOME"), Index);
}

void UnitHandlers::Save(int Index)
{
    send(QStringLiteral("Save Settings"), Index);
}

void UnitHandlers::Flush(int Index)
{
    send(QStringLiteral("Flush"), Index);
}

void UnitHandlers::STOPall(int Index)
{
    send(QStringLiteral("STOP"), Index);
}

void UnitHandlers::ReportOK(int Index)
{
    const QString line = QStringLiteral(">>LAST OK - UNIT") + QString::number(Index);
    m_host.LOG(line);
    m_host.prependOut(line + CrLf);
    if (RunJournal *journal = m_host.journal())
        journal->verdict(Index, true);
}

void UnitHandlers::ReportNotOK(int Index)
{
    // Units above 10 have no count box: there is no requested count to show or record.
    const std::optional<QString> requested = m_host.countText(Index);
    if (!requested)
        return;
    const QString answer = m_host.platform().inputBox(QStringLiteral("Enter Actual Count for Error"),
                                                      QStringLiteral("Logging Error"), *requested);
    const qint32 actual = actualCount(answer);
    const QString line = QStringLiteral(">>LAST NOT OK ") + QString::number(Index) + QStringLiteral(" - ") + *requested
        + QStringLiteral(" - ") + QString::number(actual);
    m_host.prependOut(line + CrLf);
    m_host.LOG(line);
    if (RunJournal *journal = m_host.journal())
        journal->verdict(Index, false, actual);
}

void UnitHandlers::checkClicked(int Index)
{
    UnitModel *panel = m_host.Unit(Index);
    if (!panel)
        return;
    panel->setChecked(!panel->isChecked());
    if (!panel->isChecked())
        return;
    // "All Units" and single units are never checked together: commands go either to all or to the chosen.
    if (Index != 0) {
        if (UnitModel *all = m_host.Unit(0))
            all->setChecked(false);
    } else {
        for (int n = 1; n <= m_host.NoUnits(); ++n) {
            if (UnitModel *unit = m_host.Unit(n))
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
