#include "PropertyBag.h"

#include <QFont>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_PropertyBag : public QObject
{
    Q_OBJECT

private slots:
    void valuesSurviveTheTextForm_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::newRow("caption with quotes, backslash and line breaks") << QVariant(u"a \"b\" \\ c\r\nd\te"_s);
        QTest::newRow("control characters and non-ASCII") << QVariant(QString(u"\u0001x\u00e9\u4e2d\u007f"_s));
        QTest::newRow("system colour") << QVariant(qint32(0x80000012u));
        QTest::newRow("opacity") << QVariant(0.5);
        QTest::newRow("whole seconds stay a number with a point") << QVariant(2.0);
        QTest::newRow("True") << QVariant(true);
        QFont styled(u"Some \"Family\""_s, 8, QFont::Bold, true);
        styled.setUnderline(true);
        styled.setStrikeOut(true);
        QTest::newRow("font with every attribute") << QVariant(styled);
    }

    void valuesSurviveTheTextForm()
    {
        QFETCH(QVariant, value);
        PropertyBag bag;
        bag.WriteProperty(u"Key"_s, value);
        PropertyBag read;
        QStringList errors;
        read.readText(bag.toText(), &errors);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        const QVariant back = read.ReadProperty(u"key"_s);
        QCOMPARE(back.metaType(), value.metaType());
        QVERIFY2(PropertyBag::sameValue(back, value), qPrintable(bag.toText()));
        QCOMPARE(read.toText(), bag.toText());
    }

    void unreadableLinesAreSkipped_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("no value") << u"Style ="_s;
        QTest::newRow("no equals sign") << u"Style 6"_s;
        QTest::newRow("unterminated string") << u"Caption = \"open"_s;
        QTest::newRow("number out of range") << u"Style = 99999999999"_s;
        QTest::newRow("not a finite number") << u"Opacity = 1e999"_s;
        QTest::newRow("font without a size") << u"Font = Font(\"Verdana\")"_s;
    }

    void unreadableLinesAreSkipped()
    {
        QFETCH(QString, line);
        PropertyBag bag;
        QStringList errors;
        bag.readText(u"Style = 6\n"_s + line + u"\nCaption = \"ok\"\n"_s, &errors);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(u"line 2:"_s), qPrintable(errors.first()));
        QCOMPARE(bag.keys(), (QStringList{u"Style"_s, u"Caption"_s}));
    }

    void defaultsAreLeftOut()
    {
        // Any letter case names the same key; a value back at its default removes it.
        PropertyBag bag;
        bag.WriteProperty(u"Opacity"_s, 0.5, 1.0);
        QVERIFY(bag.contains(u"Opacity"_s));
        bag.WriteProperty(u"OPACITY"_s, 1.0, 1.0);
        QVERIFY(bag.isEmpty());
        bag.WriteProperty(u"AnimationDuration"_s, double(0.2f), 0.2); // a single-precision 0.2 is 0.2
        bag.WriteProperty(u"Style"_s, 0, 0);
        bag.WriteProperty(u"Enabled"_s, true, true);
        bag.WriteProperty(u"Caption"_s, QString(), QString());
        QVERIFY2(bag.isEmpty(), qPrintable(bag.toText()));
    }
};

QTEST_MAIN(tst_PropertyBag)
#include "tst_PropertyBag.moc"
