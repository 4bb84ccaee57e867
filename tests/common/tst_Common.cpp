#include "common/LegacyTimer.h"
#include "common/NumberText.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The shared helpers: numbers as the console reads and writes them, the legacy timer.
class tst_Common : public QObject
{
    Q_OBJECT
private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("written"); // numtext::plain of the value
        QTest::addColumn<int>("whole"); // rounded half to even, 0 when out of 32 bits
        QTest::newRow("letters first") << u"abc"_s << 0.0 << u"0"_s << 0;
        QTest::newRow("blanks around and inside") << u"  1 2 "_s << 12.0 << u"12"_s << 12;
        QTest::newRow("negative half") << u"-2.5"_s << -2.5 << u"-2.5"_s << -2;
        QTest::newRow("half rounds to even above") << u"13.5"_s << 13.5 << u"13.5"_s << 14;
        QTest::newRow("second point ends the number") << u"1.2.3"_s << 1.2 << u"1.2"_s << 1;
        QTest::newRow("exponent with sign") << u"25E-1"_s << 2.5 << u"2.5"_s << 2;
        QTest::newRow("exponent without digits") << u"12e"_s << 12.0 << u"12"_s << 12;
        QTest::newRow("text after the number, as after a shortfall") << u"7)"_s << 7.0 << u"7"_s << 7;
        QTest::newRow("negative zero") << u"-0"_s << 0.0 << u"0"_s << 0;
        QTest::newRow("nan is not a number") << u"nan"_s << 0.0 << u"0"_s << 0;
        QTest::newRow("a tenth") << u"0.1"_s << 0.1 << u"0.1"_s << 0;
        QTest::newRow("largest whole") << u"2147483647"_s << 2147483647.0 << u"2147483647"_s << 2147483647;
        QTest::newRow("beyond 32 bits") << u"3000000000"_s << 3e9 << u"3000000000"_s << 0;
        QTest::newRow("beyond 15 digits") << u"1e20"_s << 1e20 << u"1E+20"_s << 0;
        QTest::newRow("too large to hold") << u"1e400"_s << qInf() << u"1E+999"_s << 0;
        QTest::newRow("too small to hold") << u"-1e400"_s << -qInf() << u"-1E+999"_s << 0;
    }
    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(numtext::read(text), value);
        QTEST(numtext::plain(numtext::read(text)), "written");
        QTEST(numtext::readInt32(text), "whole");
        QTEST(numtext::toInt32(value).value_or(0), "whole");
        QCOMPARE(numtext::read(numtext::plain(value)), value); // what is written reads back as itself
    }

    void timerIntervals()
    {
        LegacyTimer t;
        QSignalSpy spy(&t, &LegacyTimer::timeout);
        QVERIFY(t.setInterval(0));
        t.setEnabled(true);
        QVERIFY(t.isEnabled() && !t.isTicking());
        QTest::qWait(50); // a QTimer with 0 would have fired many times by now
        QCOMPARE(spy.count(), 0);

        QVERIFY(t.setInterval(65535));
        QVERIFY(!t.setInterval(66000)); // refused, the previous interval kept
        QCOMPARE(t.interval(), 65535);
        QVERIFY(t.setInterval(10));
        QTRY_VERIFY(spy.count() >= 1);
        t.setEnabled(false);
        QVERIFY(!t.isTicking());
    }
};

QTEST_GUILESS_MAIN(tst_Common)
#include "tst_Common.moc"
