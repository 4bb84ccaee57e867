#include "Files.h"
#include "FullDisk.h"
#include "records/DailyLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <optional>

using namespace Qt::Literals::StringLiterals;

class tst_DailyLog : public QObject
{
    Q_OBJECT

private slots:
    // One file per day in the Log folder, extended and never replaced, 8-bit text, an entry per line. The
    // name comes from the date alone: where the clocks change at midnight a day may have no 00:00.
    void entriesGoToTheFileOfTheirDay_data()
    {
        QTest::addColumn<QByteArray>("zone"); // TZ; empty: the machine's own
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("the machine's zone")
            << QByteArray() << QDate(2024, 7, 26) << QStringList{u"24-07-26-Log.txt"_s, u"24-07-27-Log.txt"_s};
#ifndef Q_OS_WIN // TZ names a zone on Unix only
        QTest::newRow("Santiago: the next day starts at 01:00")
            << QByteArray("America/Santiago") << QDate(2026, 9, 5)
            << QStringList{u"26-09-05-Log.txt"_s, u"26-09-06-Log.txt"_s};
#endif
    }
    void entriesGoToTheFileOfTheirDay()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDate, day);
        const auto restore = qScopeGuard([machine = qgetenv("TZ")] { // null when unset
            machine.isNull() ? qunsetenv("TZ") : qputenv("TZ", machine);
            tzset();
        });
        if (!zone.isEmpty()) {
            qputenv("TZ", zone);
            tzset();
            QVERIFY(!QDateTime(day.addDays(1), QTime(0, 0)).isValid()); // the zone is in force: no midnight
        }
        QTemporaryDir dir;
        QDateTime now(day, QTime(23, 59, 59));
        DailyLog log(dir.path(), [&] { return now; });
        QVERIFY(QDir().mkpath(log.folder()));
        const QString morning = log.fileFor(now);
        QVERIFY(writeFile(morning, "from the morning\r\n"));
        for (const QString &text : {u"Zähler"_s, QString(), u"\r\n2024-07-26-23-59"_s})
            log.log(text);
        now = now.addSecs(2);
        log.log(u"after midnight"_s);
        QTEST(QDir(log.folder()).entryList(QDir::Files), "files");
        QCOMPARE(readFile(morning), QByteArray("from the morning\r\nZ\xe4hler\r\n\r\n\r\n2024-07-26-23-59\r\n"));
        QCOMPARE(readFile(log.fileFor(now)), QByteArray("after midnight\r\n"));
    }

    // Entries made while nothing can be written are held, and written in order to the file of their day
    // once there is room again: before the next entry, at the latest when the log goes away.
    void heldEntries_data()
    {
        QTest::addColumn<bool>("fullDisk"); // otherwise a file where the folder goes
        QTest::addColumn<int>("entries"); // made on 26 July while nothing can be written
        QTest::addColumn<int>("size"); // characters of each
        QTest::addColumn<QString>("release"); // once there is room again: "next entry" or "close"
        QTest::addColumn<int>("lost");
        QTest::addColumn<QByteArray>("header"); // the runs file's
        QTest::newRow("folder blocked, written before the next entry")
            << false << 2 << 3 << u"next entry"_s << 0 << QByteArray();
#ifndef Q_OS_WIN // the full disk is a file size limit
        QTest::newRow("full disk, written at close") << true << 3 << 10 << u"close"_s << 0 << QByteArray();
        // 1 MiB entries: 15 fit in 16 MiB with their bookkeeping.
        QTest::newRow("full disk past the bound, at close")
            << true << 20 << (1 << 20) << u"close"_s << 5 << QByteArray();
        QTest::newRow("runs file: its header first") << true << 2 << 3 << u"next entry"_s << 0 << QByteArray("h,1\r\n");
#endif
    }
    void heldEntries()
    {
        QFETCH(bool, fullDisk);
        QFETCH(int, entries);
        QFETCH(int, size);
        QFETCH(QString, release);
        QFETCH(int, lost);
        QFETCH(QByteArray, header);
        QTemporaryDir dir;
        QDateTime now(QDate(2024, 7, 26), QTime(23, 59));
        auto log = std::make_unique<DailyLog>(
            dir.path(), [&] { return now; }, DailyLog::Format{u"Log.txt"_s, header, header.isEmpty()});
        const QString dayFile = log->fileFor(now);
        std::optional<FullDisk> full;
        if (fullDisk) {
            full.emplace();
        } else { // nothing can be written there, as root too
            QVERIFY(writeFile(log->folder(), {}));
        }
        QByteArray expected = header;
        if (lost > 0)
            expected = "[" + QByteArray::number(lost) + " log entries lost: the log could not be written]\r\n";
        for (int i = 0; i < entries; ++i) {
            const QString text = QString::number(i).leftJustified(size, u'.');
            log->log(text);
            if (i >= lost)
                expected += text.toLatin1() + "\r\n";
        }
        QVERIFY(!log->flush());
        // No empty file is left behind, which a reader would take for a day without entries.
        QVERIFY(!QFile::exists(dayFile));
        QVERIFY(full ? (full.reset(), true) : QFile::remove(log->folder()));
        now = QDateTime(QDate(2024, 7, 27), QTime(0, 1));
        if (release == u"next entry") {
            log->log(u"next"_s);
            QCOMPARE(readFile(log->fileFor(now)), header + "next\r\n");
        }
        log.reset();
        QCOMPARE(readFile(dayFile), expected);
    }
};

QTEST_GUILESS_MAIN(tst_DailyLog)
#include "tst_DailyLog.moc"
