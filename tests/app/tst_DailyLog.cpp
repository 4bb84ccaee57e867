#include "DailyLog.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::Literals::StringLiterals;

using Steps = QList<std::pair<QDateTime, QString>>; // when each entry is made, and its text
using Files = QMap<QString, QByteArray>; // file name in the Log folder -> its bytes

class tst_DailyLog : public QObject
{
    Q_OBJECT
private slots:
    void entries_data();
    void entries();
    void heldEntries_data();
    void heldEntries();

private:
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

void tst_DailyLog::entries_data()
{
    QTest::addColumn<QByteArray>("before"); // the file of 26 July as found; null: no Log folder at all
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<Files>("after");

    const QDateTime morning(QDate(2024, 7, 26), QTime(9, 30));
    QTest::newRow("first entry creates folder and file") << QByteArray() << Steps{{morning, u"1\t101\t[F]\t25"_s}}
                                                         << Files{{u"24-07-26-Log.txt"_s, "1\t101\t[F]\t25\r\n"}};
    QTest::newRow("one day appends in order, 8-bit text, empty entry")
        << QByteArray()
        << Steps{{morning, u"first"_s},
                 {morning, QString()},
                 {morning, u"\r\n2024-07-26-09-30"_s},
                 {morning, u"Zähler"_s}}
        << Files{{u"24-07-26-Log.txt"_s, "first\r\n\r\n\r\n2024-07-26-09-30\r\nZ\xe4hler\r\n"}};
    QTest::newRow("midnight starts the next file")
        << QByteArray()
        << Steps{{QDateTime(QDate(2024, 7, 26), QTime(23, 59, 59)), u"before"_s},
                 {QDateTime(QDate(2024, 7, 27), QTime(0, 0, 1)), u"after"_s}}
        << Files{{u"24-07-26-Log.txt"_s, "before\r\n"}, {u"24-07-27-Log.txt"_s, "after\r\n"}};
    QTest::newRow("existing file extended, not replaced")
        << QByteArray("from the morning\r\n") << Steps{{QDateTime(QDate(2024, 7, 26), QTime(14, 0)), u"afternoon"_s}}
        << Files{{u"24-07-26-Log.txt"_s, "from the morning\r\nafternoon\r\n"}};
}

void tst_DailyLog::entries()
{
    QFETCH(QByteArray, before);
    QFETCH(Steps, steps);
    QFETCH(Files, after);
    QTemporaryDir dir;
    const QDir logDir(dir.filePath(u"Log"_s));
    if (!before.isNull()) {
        QVERIFY(logDir.mkpath(u"."_s));
        QFile f(logDir.filePath(u"24-07-26-Log.txt"_s));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
    }
    QDateTime now;
    DailyLog log(dir.path(), [&] { return now; });
    for (const auto &[when, text] : steps) {
        now = when;
        log.LOG(text);
    }
    QCOMPARE(log.fileFor(steps.first().first), logDir.filePath(after.firstKey()));
    QCOMPARE(logDir.entryList(QDir::Files), after.keys());
    for (auto it = after.cbegin(); it != after.cend(); ++it)
        QCOMPARE(read(logDir.filePath(it.key())), it.value());
}

void tst_DailyLog::heldEntries_data()
{
    QTest::addColumn<bool>("fullDisk"); // the day's file on a full disk; otherwise a file where the folder goes
    QTest::addColumn<int>("entries"); // made on 26 July while nothing can be written
    QTest::addColumn<int>("size"); // characters of each
    QTest::addColumn<QString>("release"); // once there is room again: "flush", "next entry" or "close"
    QTest::addColumn<int>("lost");

    QTest::newRow("folder blocked, written before the next entry") << false << 2 << 3 << u"next entry"_s << 0;
    QTest::newRow("full disk, written by a flush") << true << 3 << 10 << u"flush"_s << 0;
    QTest::newRow("full disk, written at close") << true << 3 << 10 << u"close"_s << 0;
    // 1 MiB entries: 15 fit in 16 MiB with their bookkeeping.
    QTest::newRow("full disk past the bound, at close") << true << 20 << (1 << 20) << u"close"_s << 5;
    QTest::newRow("folder blocked past the bound, next entry") << false << 17 << (1 << 20) << u"next entry"_s << 2;
}

void tst_DailyLog::heldEntries()
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
    } else {
        // A file where the folder should be: nothing can be written (as root, too).
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
    QCOMPARE(log->pendingCount(), std::size_t(entries - lost));
    QCOMPARE(log->lostCount(), quint64(lost));

    QVERIFY(QFile::remove(fullDisk ? dayFile : log->folder()));
    now = QDateTime(QDate(2024, 7, 27), QTime(0, 1));
    if (release == u"flush") {
        QVERIFY(log->flush());
        QCOMPARE(log->pendingCount(), std::size_t(0));
        QVERIFY(log->flush()); // nothing is written twice
    } else if (release == u"next entry") {
        log->LOG(u"next"_s);
        QCOMPARE(read(log->fileFor(now)), QByteArray("next\r\n"));
    }
    log.reset();
    // Each held entry goes to the file of the day it was made on.
    QCOMPARE(read(dayFile), expected);
}

QTEST_GUILESS_MAIN(tst_DailyLog)
#include "tst_DailyLog.moc"
