// How long the shift report takes to summarise a month of dispense journals: 30 files of 2,000 rows, as a
// busy month of five units leaves them. The report window reads them on a thread of its own; the
// command line waits for them. Then the memory a journal of the largest size read (64 MiB) takes: the
// process's peak resident memory before and after summing it.
#include "records/JournalReader.h"
#include "records/RunJournal.h"
#include "records/ShiftSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

const char *Results[] = {"complete", "complete", "complete", "short", "stuck", "over", "not sent", "no report"};

// Row r of a day's journal: five units to a run.
QByteArray journalRow(QDate day, int r, int secondsPerRun)
{
    const QDateTime start(day, QTime(0, 0).addSecs((r / 5) * secondsPerRun % 86400));
    return start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + ",\"RING, big "
        + QByteArray::number(r % 7) + "\",UNIT " + QByteArray::number(r % 5 + 1) + ",10" + QByteArray::number(r % 5 + 1)
        + ",12,11,1," + Results[r % 8] + ",OK,\r\n";
}

// The process's peak resident memory so far, in MB (-1 where the system does not say).
double peakMB()
{
#ifdef Q_OS_UNIX
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        return double(usage.ru_maxrss) * 1024 / 1e6; // KiB on Linux
#endif
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int Days = 30;
    constexpr int Rows = 2000;
    const QDate first(2026, 11, 1);
    QTemporaryDir dir;
    QDir().mkpath(journal::logFolder(dir.path()));

    // First the largest journal, written in pieces, so that the peak is the reading's.
    const QDate big(2026, 10, 1);
    qint64 bigRows = 0;
    {
        QFile f(journal::fileFor(dir.path(), big));
        if (!f.open(QIODevice::WriteOnly) || f.write(RunJournal::Header) < 0)
            return 1;
        QByteArray piece;
        while (f.size() + piece.size() < journal::MaxFileBytes - 4096) {
            piece += journalRow(big, int(bigRows++), 1);
            if (piece.size() > 1024 * 1024)
                f.write(std::exchange(piece, {}));
        }
        f.write(piece);
        const double before = peakMB();
        QElapsedTimer t;
        t.start();
        const ShiftSummary one = ShiftSummaryBuilder::readDays(dir.path(), big, big);
        if (one.total.runs != bigRows || !one.refused.isEmpty()) {
            std::fprintf(stderr, "bench_records: read %lld of %lld rows\n", one.total.runs, bigRows);
            return 1;
        }
        std::printf("shift summary: one journal of %.1f MiB (%lld rows) in %.0f ms; peak resident memory %.0f MB "
                    "before, %.0f MB after (the bound is 100 MB)\n",
                    double(f.size()) / (1024 * 1024), bigRows, double(t.nsecsElapsed()) / 1e6, before, peakMB());
        f.remove();
    }

    qint64 bytes = 0;
    for (int d = 0; d < Days; ++d) {
        const QDate day = first.addDays(d);
        QByteArray file = RunJournal::Header;
        for (int r = 0; r < Rows; ++r)
            file += journalRow(day, r, 60);
        QFile f(journal::fileFor(dir.path(), day));
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) {
            std::fprintf(stderr, "bench_records: cannot write %s\n", qPrintable(f.fileName()));
            return 1;
        }
        bytes += file.size();
    }

    qint64 best = -1;
    ShiftSummary s;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        s = ShiftSummaryBuilder::readDays(dir.path(), first, first.addDays(Days - 1));
        const qint64 ns = t.nsecsElapsed();
        best = best < 0 ? ns : std::min(best, ns);
    }
    if (s.total.runs != Days * Rows || s.unreadable != 0) {
        std::fprintf(stderr, "bench_records: read %lld rows, %d unreadable\n", s.total.runs, s.unreadable);
        return 1;
    }
    std::printf("shift summary: %d journal files of %d rows (%.1f MiB) in %.1f ms (best of 5; the bound is 1000 ms)\n",
                Days, Rows, double(bytes) / (1024 * 1024), double(best) / 1e6);
    return 0;
}
