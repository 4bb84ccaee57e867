#include "DailyLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_DailyLog : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private slots:
    // One file per day in the Log folder, extended and never replaced, 8-bit text, an entry per line.
    void entriesGoToTheFileOfTheirDay()
    {
        QTemporaryDir dir;
        QDateTime now(QDate(2024, 7, 26), QTime(23, 59, 59));
        DailyLog log(dir.path(), [&] { return now; });
        QVERIFY(QDir().mkpath(log.folder()));
        QFile morning(log.fileFor(now));
        QVERIFY(morning.open(QIODevice::WriteOnly) && morning.write("from the morning\r\n"));
        morning.close();
        for (const QString &text : {u"Zähler"_s, QString(), u"\r\n2024-07-26-23-59"_s})
            log.LOG(text);
        now = now.addSecs(2);
        log.LOG(u"after midnight"_s);
        QCOMPARE(QDir(log.folder()).entryList(QDir::Files),
                 QStringList({u"24-07-26-Log.txt"_s, u"24-07-27-Log.txt"_s}));
        QCOMPARE(read(morning.fileName()), QByteArray("from the morning\r\nZ\xe4hler\r\n\r\n\r\n2024-07-26-23-59\r\n"));
        QCOMPARE(read(log.fileFor(now)), QByteArray("after midnight\r\n"));
    }

    // Entries made while nothing can be written are held, and written in order to the file of their day
    // once there is room again: before the next entry, at the latest when the log goes away.
    void heldEntries_data()
    {
        QTest::addColumn<bool>("fullDisk"); // the day's file on a full disk; otherwise a file where the folder goes
        QTest::addColumn<int>("entries"); // made on 26 July while nothing can be written
        QTest::addColumn<int>("size"); // characters of each
        QTest::addColumn<QString>("release"); // once there is room again: "next entry" or "close"
        QTest::addColumn<int>("lost");
        QTest::newRow("folder blocked, written before the next entry") << false << 2 << 3 << u"next entry"_s << 0;
#ifndef Q_OS_WIN // the full disk is /dev/full
        QTest::newRow("full disk, written at close") << true << 3 << 10 << u"close"_s << 0;
        // 1 MiB entries: 15 fit in 16 MiB with their bookkeeping.
        QTest::newRow("full disk past the bound, at close") << true << 20 << (1 << 20) << u"close"_s << 5;
#endif
    }
    void heldEntries()
    {
        QFETCH(bool, fullDisk);
        QFETCH(int, entries);
        QFETCH(int, size);
        QFETCH(QString, release);
        QFETCH(int, lost);
        QTemporaryDir dir;
        QDateTime now(QDate(2024, 7, 26), QTime(23, 59));
        auto log = std::make_unique<DailyLog>(dir.path(), [&] { return now; });
        const QString dayFile = log->fileFor(now);
        if (fullDisk) {
            QVERIFY(QDir().mkpath(log->folder()));
            QVERIFY(QFile::link(u"/dev/full"_s, dayFile));
        } else { // nothing can be written there, as root too
            QFile blocker(log->folder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QByteArray expected;
        if (lost > 0)
            expected = "[" + QByteArray::number(lost) + " log entries lost: the log could not be written]\r\n";
        for (int i = 0; i < entries; ++i) {
            const QString text = QString::number(i).leftJustified(size, u'.');
            log->LOG(text);
            if (i >= lost)
                expected += text.toLatin1() + "\r\n";
        }
        QVERIFY(!log->flush());

        QVERIFY(QFile::remove(fullDisk ? dayFile : log->folder()));
        now = QDateTime(QDate(2024, 7, 27), QTime(0, 1));
        if (release == u"next entry") {
            log->LOG(u"next"_s);
            QCOMPARE(read(log->fileFor(now)), QByteArray("next\r\n"));
        }
        log.reset();
        QCOMPARE(read(dayFile), expected);
    }
};

QTEST_GUILESS_MAIN(tst_DailyLog)
#include "tst_DailyLog.moc"
