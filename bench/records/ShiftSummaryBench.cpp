// How long the shift report takes to summarise a month of dispense journals: 30 files of 2,000 rows, as a
// busy month of five units leaves them. The report window reads them on a thread of its own; the
// command line waits for them.
#include "JournalReader.h"
#include "RunJournal.h"
#include "ShiftSummary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int Days = 30;
    constexpr int Rows = 2000;
    const QDate first(2026, 11, 1);
    QTemporaryDir dir;
    QDir().mkpath(journal::logFolder(dir.path()));
    const char *results[] = {"complete", "complete", "complete", "short", "stuck", "over", "not sent", "no report"};
    qint64 bytes = 0;
    for (int d = 0; d < Days; ++d) {
        const QDate day = first.addDays(d);
        QByteArray file = RunJournal::Header;
        for (int r = 0; r < Rows; ++r) {
            const QDateTime start(day, QTime(6, 0).addSecs((r / 5) * 60));
            file += start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + ",\"RING, big "
                + QByteArray::number(r % 7) + "\",UNIT " + QByteArray::number(r % 5 + 1) + ",10"
                + QByteArray::number(r % 5 + 1) + ",12,11,1," + results[r % 8] + ",OK,\r\n";
        }
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
