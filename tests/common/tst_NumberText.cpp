#include "Markers.h"
#include "NumberText.h"

#include <QTest>
#include <cmath>

using namespace Qt::Literals::StringLiterals;

class tst_NumberText : public QObject
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
};

void tst_NumberText::read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    QTest::newRow("a plain count") << u"25"_s << 25.0;
    QTest::newRow("leading zeros") << u"007"_s << 7.0;
    QTest::newRow("digits then letters") << u"12abc"_s << 12.0;
    QTest::newRow("letters first") << u"abc"_s << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("blanks around") << u"  7 "_s << 7.0;
    QTest::newRow("blanks inside a number") << u"1 2"_s << 12.0;
    QTest::newRow("tabs and line feeds inside") << u"\t2\n5\r"_s << 25.0;
    QTest::newRow("negative") << u"-3"_s << -3.0;
    QTest::newRow("explicit plus") << u"+4"_s << 4.0;
    QTest::newRow("fraction") << u"2.5"_s << 2.5;
    QTest::newRow("fraction without integer part") << u".5"_s << 0.5;
    QTest::newRow("second point ends the number") << u"1.2.3"_s << 1.2;
    QTest::newRow("exponent") << u"1e3"_s << 1000.0;
    QTest::newRow("exponent with sign") << u"25E-1"_s << 2.5;
    QTest::newRow("exponent without digits") << u"12e"_s << 12.0;
    QTest::newRow("sign alone") << u"-"_s << 0.0;
    QTest::newRow("shortfall after the marker") << u"7)"_s << 7.0;
    QTest::newRow("negative zero") << u"-0"_s << 0.0;
    QTest::newRow("nan is not a number") << u"nan"_s << 0.0;
}

void tst_NumberText::read()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(numtext::read(text), expected);
}

void tst_NumberText::plain_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("whole") << 25.0 << u"25"_s;
    QTest::newRow("fraction") << 2.5 << u"2.5"_s;
    QTest::newRow("zero") << 0.0 << u"0"_s;
    QTest::newRow("negative zero") << -0.0 << u"0"_s;
    QTest::newRow("negative") << -3.0 << u"-3"_s;
    QTest::newRow("a tenth") << 0.1 << u"0.1"_s;
    QTest::newRow("a large count") << 123456789.0 << u"123456789"_s;
    QTest::newRow("beyond 15 digits") << 1e20 << u"1E+20"_s;
}

void tst_NumberText::plain()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(numtext::plain(value), expected);
}

void tst_NumberText::toInt32_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("expected");
    QTest::newRow("half rounds to even below") << u"12.5"_s << true << 12;
    QTest::newRow("half rounds to even above") << u"13.5"_s << true << 14;
    QTest::newRow("negative half") << u"-2.5"_s << true << -2;
    QTest::newRow("overflowing exponent") << u"1e400"_s << false << 0;
    QTest::newRow("beyond 32 bits") << u"3000000000"_s << false << 0;
    QTest::newRow("largest") << u"2147483647"_s << true << 2147483647;
}

void tst_NumberText::toInt32()
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

void tst_NumberText::markersIgnoreCase()
{
    QVERIFY(instrQS(u"1\t101\t[f]\t25"_s, u"[F]"_s));
    QVERIFY(instrQS(u"sent ok"_s, u"Sent OK"_s));
    QVERIFY(!instrQS(u"[C]<"_s, u"[C]<-"_s));
}

QTEST_GUILESS_MAIN(tst_NumberText)
#include "tst_NumberText.moc"
