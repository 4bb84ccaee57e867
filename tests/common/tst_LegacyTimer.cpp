#include "LegacyTimer.h"

#include <QSignalSpy>
#include <QTest>

class tst_LegacyTimer : public QObject
{
    Q_OBJECT
private slots:
    void intervalZeroNeverFires();
    void intervalAboveLimitIsRefused_data();
    void intervalAboveLimitIsRefused();
    void firesWithItsInterval();
};

void tst_LegacyTimer::intervalZeroNeverFires()
{
    LegacyTimer t;
    QSignalSpy spy(&t, &LegacyTimer::timeout);
    QVERIFY(t.setInterval(0));
    t.setEnabled(true);
    QVERIFY(t.isEnabled());
    QVERIFY(!t.isTicking());
    QTest::qWait(50); // a QTimer with 0 would have fired many times by now
    QCOMPARE(spy.count(), 0);
}

void tst_LegacyTimer::intervalAboveLimitIsRefused_data()
{
    QTest::addColumn<qint64>("interval");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the limit") << qint64(65535) << true;
    QTest::newRow("66 seconds") << qint64(66000) << false;
    QTest::newRow("negative") << qint64(-1) << false;
}

void tst_LegacyTimer::intervalAboveLimitIsRefused()
{
    QFETCH(qint64, interval);
    QFETCH(bool, accepted);
    LegacyTimer t;
    QVERIFY(t.setInterval(3000));
    QCOMPARE(t.setInterval(interval), accepted);
    QCOMPARE(qint64(t.interval()), accepted ? interval : 3000);
}

void tst_LegacyTimer::firesWithItsInterval()
{
    LegacyTimer t;
    QSignalSpy spy(&t, &LegacyTimer::timeout);
    t.setInterval(10);
    QVERIFY(!t.isTicking()); // not enabled yet
    t.setEnabled(true);
    QVERIFY(t.isTicking());
    QTRY_VERIFY(spy.count() >= 1);
    t.setEnabled(false);
    QVERIFY(!t.isTicking());
}

QTEST_GUILESS_MAIN(tst_LegacyTimer)
#include "tst_LegacyTimer.moc"
