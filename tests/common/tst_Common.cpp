#include "LegacyTimer.h"
#include "Markers.h"
#include "NumberText.h"

#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

// The shared helpers: numbers as the console reads and writes them, the markers, the legacy timer.
class tst_Common : public QObject
{
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void plain_data();
    void plain();
    void toInt32_data();
    void toInt32();
    void markersIgnoreCase();
    void timerIntervalZeroNeverFires();
    void timerIntervalAboveLimitIsRefused_data();
    void timerIntervalAboveLimitIsRefused();
    void timerFiresWithItsInterval();
};

void tst_Common::read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("a plain count") << u"25"_s << 25.0;
    QTest::newRow("digits then letters") << u"12abc"_s << 12.0;
    QTest::newRow("letters first") << u"abc"_s << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("blanks around") << u"  7 "_s << 7.0;
    QTest::newRow("blanks inside a number") << u"1 2"_s << 12.0;
    QTest::newRow("negative") << u"-3"_s << -3.0;
    QTest::newRow("fraction") << u"2.5"_s << 2.5;
    QTest::newRow("second point ends the number") << u"1.2.3"_s << 1.2;
    QTest::newRow("exponent with sign") << u"25E-1"_s << 2.5;
    QTest::newRow("exponent without digits") << u"12e"_s << 12.0;
    QTest::newRow("sign alone") << u"-"_s << 0.0;
    QTest::newRow("shortfall after the marker") << u"7)"_s << 7.0;
    QTest::newRow("negative zero") << u"-0"_s << 0.0;
    QTest::newRow("nan is not a number") << u"nan"_s << 0.0;
}

void tst_Common::read()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(numtext::read(text), expected);
}

void tst_Common::plain_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 25.0 << u"25"_s;
    QTest::newRow("fraction") << 2.5 << u"2.5"_s;
    QTest::newRow("negative zero") << -0.0 << u"0"_s;
    QTest::newRow("a tenth") << 0.1 << u"0.1"_s;
    QTest::newRow("a large count") << 123456789.0 << u"123456789"_s;
    QTest::newRow("beyond 15 digits") << 1e20 << u"1E+20"_s;
}

void tst_Common::plain()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(numtext::plain(value), expected);
}

void tst_Common::toInt32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    QTest::newRow("half rounds to even above") << u"13.5"_s << true << 14;
    QTest::newRow("negative half") << u"-2.5"_s << true << -2;
    QTest::newRow("overflowing exponent") << u"1e400"_s << false << 0;
    QTest::newRow("beyond 32 bits") << u"3000000000"_s << false << 0;
    QTest::newRow("largest") << u"2147483647"_s << true << 2147483647;
}

void tst_Common::toInt32()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, expected);
    const auto v = numtext::toInt32(numtext::read(text));
    QCOMPARE(v.has_value(), valid);
    if (valid)
        QCOMPARE(*v, expected);
    QCOMPARE(numtext::readInt32(text), expected);
}

void tst_Common::markersIgnoreCase()
{
    QVERIFY(instrQS(u"1\t101\t[f]\t25"_s, u"[F]"_s));
    QVERIFY(instrQS(u"sent ok"_s, u"Sent OK"_s));
    QVERIFY(!instrQS(u"[C]<"_s, u"[C]<-"_s));
}

void tst_Common::timerIntervalZeroNeverFires()
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

void tst_Common::timerIntervalAboveLimitIsRefused_data()
{
    QTest::addColumn<qint64>("interval");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("the limit") << qint64(65535) << true;
    QTest::newRow("66 seconds") << qint64(66000) << false;
}

void tst_Common::timerIntervalAboveLimitIsRefused()
{
    QFETCH(qint64, interval);
    QFETCH(bool, accepted);
    LegacyTimer t;
    QVERIFY(t.setInterval(3000));
    QCOMPARE(t.setInterval(interval), accepted);
    QCOMPARE(qint64(t.interval()), accepted ? interval : 3000);
}

void tst_Common::timerFiresWithItsInterval()
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

QTEST_GUILESS_MAIN(tst_Common)
#include "tst_Common.moc"
