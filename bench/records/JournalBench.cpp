// Prints what keeping the journal's pending rows on disk costs a dispense run: every change of the run's rows
// replaces Log/.pending-Runs.csv whole and syncs it. A run of n units makes about 4n changes (the unit added,
// its line sent, its final count, its verdict), spread over the 200 ms between the run's lines. Then how long
// the start after a crash takes to recover 20,000 pending rows into the day's journal (the bound is 1 s).

#include "records/DailyLog.h"
#include "records/RunJournal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) + QStringLiteral("/vorn-XXXXXX") : QString());
    if (!dir.isValid())
        return 1;
    const QDateTime start(QDate(2026, 12, 6), QTime(14, 3, 12));
    DailyLog runs(
        dir.path(), [&] { return start; }, DailyLog::Format{QStringLiteral("Runs.csv"), RunJournal::Header, false});
    std::printf("folder %s\n%8s %10s %14s %14s\n", qPrintable(dir.path()), "units", "changes", "run ms",
                "ms per change");
    const RunJournal::PendingKeeper file =
        RunJournal::pendingFile(dir.filePath(QStringLiteral("Log/.pending-Runs.csv")));
    for (const int units : {1, 5, 10, 50}) {
        for (const bool keep : {false, true}) {
            RunJournal journal([&](const QByteArray &row, QDate) {
                runs.append(row);
                return runs.heldCount() == 0;
            });
            int changes = 0;
            if (keep) {
                journal.setPendingKeeper([&](const QByteArray &rows) {
                    ++changes;
                    file(rows);
                });
            }
            QElapsedTimer timer;
            timer.start();
            journal.startRun(start, QStringLiteral("RING"));
            for (int n = 1; n <= units; ++n)
                journal.addUnit(n, QStringLiteral("UNIT %1").arg(n), QString::number(100 + n), QStringLiteral("4"));
            for (int n = 1; n <= units; ++n)
                journal.sent(n);
            for (int n = 1; n <= units; ++n)
                journal.finalReport(n, 4, false);
            for (int n = 1; n <= units; ++n)
                journal.verdict(n, true);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            if (keep)
                std::printf("%8d %10d %14.2f %14.3f\n", units, changes, ms, ms / qMax(changes, 1));
            else
                std::printf("%8d %10s %14.2f %14s\n", units, "(none)", ms, "-");
        }
    }

    // 20,000 pending rows, a quarter of them already in the journal.
    constexpr int Pending = 20000;
    QByteArray pending = RunJournal::PendingHeader, onDisk = RunJournal::Header;
    for (int r = 0; r < Pending; ++r) {
        const QByteArray row = start.addSecs(r / 5).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1()
            + ",RING,UNIT " + QByteArray::number(r % 5 + 1) + ",10" + QByteArray::number(r % 5 + 1)
            + ",4,4,,complete,,";
        pending += row + "," + QByteArray::number(r / 5 + 1) + ",0\r\n";
        if (r % 4 == 0)
            onDisk += row + "\r\n";
    }
    QFile journalFile(runs.fileFor(start.date()));
    if (!journalFile.open(QIODevice::WriteOnly) || journalFile.write(onDisk) != onDisk.size())
        return 1;
    journalFile.close();
    RunJournal recovering([&](const QByteArray &row, QDate day) {
        runs.append(row, day);
        return runs.heldCount() == 0;
    });
    recovering.setPendingKeeper(file);
    QElapsedTimer timer;
    timer.start();
    recovering.recover(
        pending,
        [&](QDate day) {
            QFile f(runs.fileFor(day));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        },
        start.date());
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    journalFile.open(QIODevice::ReadOnly);
    std::printf("recovery: %d pending rows, %lld in the journal after, in %.0f ms (the bound is 1000 ms)\n", Pending,
                journalFile.readAll().count('\n') - 1, ms);
    return 0;
}
