#include "DailyLog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_DailyLog : public QObject
{
    Q_OBJECT
private slots:
    void firstEntryCreatesFolderAndFile();
    void entriesOfOneDayAppendInOrder();
    void midnightStartsTheNextFile();
    void existingFileIsExtendedNotReplaced();
    void unwritableEntriesAreWrittenLaterInOrder();
    void keptEntriesAreBounded();

private:
    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

void tst_DailyLog::firstEntryCreatesFolderAndFile()
{
    QTemporaryDir dir;
    QDateTime now(QDate(2024, 7, 26), QTime(9, 30));
    DailyLog log(dir.path(), [&] { return now; });
    log.LOG(u"1\t101\t[F]\t25"_s);
    const QString file = dir.filePath(u"Log/24-07-26-Log.txt"_s);
    QCOMPARE(log.fileFor(now), file);
    QCOMPARE(read(file), QByteArray("1\t101\t[F]\t25\r\n"));
}

void tst_DailyLog::entriesOfOneDayAppendInOrder()
{
    QTemporaryDir dir;
    QDateTime now(QDate(2024, 7, 26), QTime(9, 30));
    DailyLog log(dir.path(), [&] { return now; });
    log.LOG(u"first"_s);
    log.LOG(QString()); // an empty text writes an empty line
    log.LOG(u"\r\n2024-07-26-09-30"_s);
    log.LOG(u"Zähler"_s); // 8-bit text: one byte per character
    QCOMPARE(read(log.fileFor(now)), QByteArray("first\r\n\r\n\r\n2024-07-26-09-30\r\nZ\xe4hler\r\n"));
}

void tst_DailyLog::midnightStartsTheNextFile()
{
    QTemporaryDir dir;
    QDateTime now(QDate(2024, 12, 31), QTime(23, 59, 59));
    DailyLog log(dir.path(), [&] { return now; });
    log.LOG(u"before"_s);
    now = QDateTime(QDate(2025, 1, 1), QTime(0, 0, 1));
    log.LOG(u"after"_s);
    QCOMPARE(read(dir.filePath(u"Log/24-12-31-Log.txt"_s)), QByteArray("before\r\n"));
    QCOMPARE(read(dir.filePath(u"Log/25-01-01-Log.txt"_s)), QByteArray("after\r\n"));
}

void tst_DailyLog::existingFileIsExtendedNotReplaced()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(u"Log"_s);
    QFile f(dir.filePath(u"Log/24-07-26-Log.txt"_s));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("from the morning\r\n");
    f.close();
    DailyLog log(dir.path(), [] { return QDateTime(QDate(2024, 7, 26), QTime(14, 0)); });
    log.LOG(u"afternoon"_s);
    QCOMPARE(read(f.fileName()), QByteArray("from the morning\r\nafternoon\r\n"));
}

void tst_DailyLog::unwritableEntriesAreWrittenLaterInOrder()
{
    QTemporaryDir dir;
    QDateTime now(QDate(2024, 7, 26), QTime(23, 59));
    DailyLog log(dir.path(), [&] { return now; });
    // A file where the folder should be: nothing can be written (as root, too).
    QFile blocker(dir.filePath(u"Log"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    log.LOG(u"one"_s);
    log.LOG(u"two"_s);
    QCOMPARE(log.pendingCount(), std::size_t(2));

    QVERIFY(blocker.remove());
    now = QDateTime(QDate(2024, 7, 27), QTime(0, 1));
    log.LOG(u"three"_s);
    QCOMPARE(log.pendingCount(), std::size_t(0));
    // Each entry goes to the file of the day it was made on.
    QCOMPARE(read(dir.filePath(u"Log/24-07-26-Log.txt"_s)), QByteArray("one\r\ntwo\r\n"));
    QCOMPARE(read(dir.filePath(u"Log/24-07-27-Log.txt"_s)), QByteArray("three\r\n"));
}

void tst_DailyLog::keptEntriesAreBounded()
{
    QTemporaryDir dir;
    DailyLog log(dir.path(), [] { return QDateTime(QDate(2024, 7, 26), QTime(8, 0)); });
    QFile blocker(dir.filePath(u"Log"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const int extra = 5;
    for (int i = 0; i < int(DailyLog::MaxPending) + extra; ++i)
        log.LOG(QString::number(i));
    QCOMPARE(log.pendingCount(), DailyLog::MaxPending);
    QCOMPARE(log.droppedCount(), quint64(extra));
    QVERIFY(blocker.remove());
    log.LOG(u"last"_s);
    const QList<QByteArray> lines = read(log.fileFor(QDateTime(QDate(2024, 7, 26), QTime(8, 0)))).split('\n');
    QCOMPARE(lines.first(), QByteArray::number(extra) + '\r'); // the oldest gave way
    QCOMPARE(lines.at(lines.size() - 2), QByteArray("last\r"));
}

QTEST_GUILESS_MAIN(tst_DailyLog)
#include "tst_DailyLog.moc"
