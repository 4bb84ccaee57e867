#include "ButtonTestSupport.h"
#include "PropertyBag.h"
#include "StoredLayout.h"
#include "ctxPatchButton.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace buttontest;

// Properties, the per-state table and the stored layouts.
class tst_ctxPatchButton : public QObject
{
    Q_OBJECT

private slots:
    void styleWrittenTwiceChangesNothing()
    {
        ctxPatchButton b;
        b.resize(60, 30);
        b.setStyle(6);
        b.setButtonTextColor(0x123456, 0);
        b.render();
        QVERIFY(b.facesPrepared());
        QSignalSpy changed(&b, &ctxPatchButton::propertyChanged);
        b.setStyle(6);
        QCOMPARE(b.ButtonTextColor(0), 0x123456); // no reset of the table
        QVERIFY(b.facesPrepared()); // no rebuild
        QCOMPARE(changed.count(), 0);
        b.setStyle(8);
        QCOMPARE(b.ButtonTextColor(0), -1);
        QVERIFY(!b.facesPrepared());
        QVERIFY(changed.contains(QVariantList{u"Style"_s}));
    }

    void perStateAccessorsPickTheEntry_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("eState");
        QTest::addColumn<int>("changedEntry"); // -1: refused
        QTest::newRow("hovered, no index: the hover entry") << 1 << -1 << 1;
        QTest::newRow("normal, no index") << 0 << -1 << 0;
        QTest::newRow("hovered, explicit normal entry") << 1 << 0 << 0;
        QTest::newRow("focus frame entry") << 0 << 8 << 8;
        QTest::newRow("index 9 is out of range") << 0 << 9 << -1;
        QTest::newRow("hovered and focused, no index: state 9 is out of range") << 9 << -1 << -1;
    }

    void perStateAccessorsPickTheEntry()
    {
        QFETCH(int, state);
        QFETCH(int, eState);
        QFETCH(int, changedEntry);
        ctxPatchButton b;
        b.setButtonState(state);
        QCOMPARE(b.setButtonTextColor(0xFF, eState), changedEntry >= 0);
        for (int i = 0; i < ctxPatchButton::StateEntries; ++i)
            QCOMPARE(b.ButtonTextColor(i), i == changedEntry ? 0xFF : -1);
        bool ok = true;
        b.ButtonImageOpacity(eState, &ok);
        QCOMPARE(ok, changedEntry >= 0);
    }

    void buttonStateClearsBeforeItSets()
    {
        ctxPatchButton b;
        b.resize(40, 20);
        b.setButtonImageBitmap(solidPatch(0xFFFF0000u), 0); // normal: red
        b.setButtonImageBitmap(solidPatch(0xFF00FF00u), 1); // hover: green
        b.setButtonImageBitmap(solidPatch(0xFF0000FFu), 2); // pressed: blue
        b.setButtonState(1);
        b.render();
        b.setButtonState(10);
        QCOMPARE(b.ButtonState(), 10);
        // Two fades: hover to normal, then normal to pressed; the face faded from is the normal one.
        QCOMPARE(b.previousFace().pixel(20, 10), 0xFFFF0000u);
        QCOMPARE(b.currentFace().pixel(20, 10), 0xFF0000FFu);
    }

    void valueClicksOnceAndReadsFalse()
    {
        ctxPatchButton b;
        QSignalSpy clicks(&b, &ctxPatchButton::Click);
        b.setValue(true);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(!b.Value());
        b.setValue(false);
        QCOMPARE(clicks.count(), 1);
        QVERIFY(b.setProperty("Value", true));
        QCOMPARE(clicks.count(), 2);
    }

    void disabledWithoutDisabledImageShowsNormalFace()
    {
        ctxPatchButton b;
        b.resize(30, 20);
        b.setButtonImageBitmap(solidPatch(0xFF336699u), 0);
        b.setButtonImageOpacity(0.8, 0);
        b.setOpacity(0.5);
        const QImage enabled = b.render();
        b.setEnabledState(false);
        QCOMPARE(b.ButtonState(), int(ctxPatchButton::StateDisabled));
        QCOMPARE(b.render(), enabled);
        QCOMPARE(b.faceOpacity(), 0.4);
        b.setEnabledState(true);
        QCOMPARE(b.ButtonState(), 0);
    }

    void defaultsAreLeftOutAndRestored()
    {
        QWidget host;
        auto *b = new ctxPatchButton(&host);
        PropertyBag bag;
        b->WriteProperties(bag);
        QVERIFY2(bag.isEmpty(), qPrintable(bag.toText()));

        b->setStyle(7);
        b->setEnabledState(false);
        b->setOpacity(0.3);
        b->setAnimationDuration(1.5);
        b->setCaption(u"x"_s);
        QFont f(u"Verdana"_s);
        f.setPointSizeF(20);
        b->setFont(f);
        b->setForeColor(0x123);
        b->setManualFocus(true);
        b->setMaskColor(-1);
        b->setAutoRedraw(true);
        b->WriteProperties(bag);
        QCOMPARE(bag.keys(),
                 (QStringList{u"Style"_s, u"Enabled"_s, u"Opacity"_s, u"AnimationDuration"_s, u"Caption"_s, u"Font"_s,
                              u"ForeColor"_s, u"ManualFocus"_s, u"MaskColor"_s, u"AutoRedraw"_s}));

        b->ReadProperties(PropertyBag());
        QCOMPARE(b->Style(), 0);
        QVERIFY(b->Enabled());
        QCOMPARE(b->Opacity(), 1.0);
        QCOMPARE(b->AnimationDuration(), 0.0);
        QCOMPARE(b->Caption(), QString());
        QCOMPARE(b->font(), host.font());
        QCOMPARE(b->ForeColor(), ctxPatchButton::DefaultForeColor);
        QVERIFY(!b->ManualFocus());
        QCOMPARE(b->MaskColor(), ctxPatchButton::DefaultMaskColor);
        QVERIFY(!b->AutoRedraw());
        for (int i = 0; i < ctxPatchButton::StateEntries; ++i)
            QVERIFY(b->ButtonImageBitmap(i).isNull());
        PropertyBag again;
        b->WriteProperties(again);
        QVERIFY(again.isEmpty());
    }

    void loadingAppliesStyleFirst_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<qint32>("foreColor");
        QTest::addColumn<double>("duration");
        QTest::newRow("style alone: the defaults replace what the style set")
            << u"Style = 7"_s << ctxPatchButton::DefaultForeColor << 0.0;
        QTest::newRow("stored colour and duration win")
            << u"ForeColor = &HFF\nStyle = 7\nAnimationDuration = 0.5"_s << qint32(0xFF) << 0.5;
        QTest::newRow("keys in any letter case") << u"STYLE = 7\nforecolor = 255"_s << qint32(255) << 0.0;
    }

    void loadingAppliesStyleFirst()
    {
        QFETCH(QString, stored);
        QFETCH(qint32, foreColor);
        QFETCH(double, duration);
        PropertyBag bag;
        bag.readText(stored);
        ctxPatchButton b;
        b.ReadProperties(bag);
        QCOMPARE(b.Style(), 7);
        QVERIFY(!b.ButtonImageBitmap(0).isNull());
        QCOMPARE(b.ForeColor(), foreColor);
        QCOMPARE(b.AnimationDuration(), duration);
    }

    void storedLayoutsHoldTheConsoleButtons_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("opacity");
        const QString main = StoredLayout::MainWindow;
        const QString unit = StoredLayout::UnitPanel;
        QTest::newRow("cmdAddDesign") << main << u"cmdAddDesign"_s << 6 << u"+"_s << 1.0;
        QTest::newRow("cmdDispense") << main << u"cmdDispense"_s << 10 << u"Dispense"_s << 1.0;
        QTest::newRow("cClearOut") << main << u"cClearOut"_s << 6 << u"C"_s << 1.0;
        QTest::newRow("cShow") << main << u"cShow"_s << 8 << u"A"_s << 1.0;
        QTest::newRow("cmdRemoveDesign") << main << u"cmdRemoveDesign"_s << 6 << u"-"_s << 1.0;
        QTest::newRow("cmdExecCommand") << main << u"cmdExecCommand"_s << 6 << u">"_s << 1.0;
        QTest::newRow("cmdOpenConsole") << main << u"cmdOpenConsole"_s << 6 << u"Open Console"_s << 1.0;
        QTest::newRow("cInit") << unit << u"cInit"_s << 6 << u"Id"_s << 1.0;
        QTest::newRow("cUpd") << unit << u"cUpd"_s << 10 << u"U"_s << 1.0;
        QTest::newRow("cHome") << unit << u"cHome"_s << 6 << u"H"_s << 1.0;
        QTest::newRow("cSave") << unit << u"cSave"_s << 10 << u"S"_s << 1.0;
        QTest::newRow("cFlush") << unit << u"cFlush"_s << 6 << u"Fl"_s << 1.0;
        QTest::newRow("cStop") << unit << u"cStop"_s << 9 << u"ST"_s << 0.5;
        QTest::newRow("cYes") << unit << u"cYes"_s << 8 << u"Y"_s << 1.0;
        QTest::newRow("cNo") << unit << u"cNo"_s << 9 << u"N"_s << 1.0;
    }

    void storedLayoutsHoldTheConsoleButtons()
    {
        QFETCH(QString, layout);
        QFETCH(QString, name);
        QFETCH(int, style);
        QFETCH(QString, caption);
        QFETCH(double, opacity);
        QWidget host;
        auto *inner = new QWidget(&host); // buttons may sit in containers
        auto *b = new ctxPatchButton(inner);
        b->setObjectName(name);
        auto *other = new ctxPatchButton(&host);
        other->setObjectName(u"somethingElse"_s);
        QCOMPARE(StoredLayout::apply(&host, layout), 1);
        QCOMPARE(b->Style(), style);
        QCOMPARE(b->Caption(), caption);
        QCOMPARE(b->Opacity(), opacity);
        QCOMPARE(b->AnimationDuration(), 0.2);
        QCOMPARE(b->ForeColor(), 0xFFFFFF);
        QCOMPARE(b->font().family(), u"Verdana"_s);
        QCOMPARE(b->font().pointSizeF(), 11.25);
        QVERIFY(!b->font().bold() && !b->font().italic() && !b->font().underline() && !b->font().strikeOut());
        QCOMPARE(other->Style(), 0);

        // What the button writes back is the section as stored.
        PropertyBag written;
        b->WriteProperties(written);
        const QStringList expected = opacity == 1.0
            ? QStringList{u"Style"_s, u"AnimationDuration"_s, u"Caption"_s, u"Font"_s, u"ForeColor"_s}
            : QStringList{u"Style"_s, u"Opacity"_s, u"AnimationDuration"_s, u"Caption"_s, u"Font"_s, u"ForeColor"_s};
        QCOMPARE(written.keys(), expected);
        const QList<StoredLayout::Section> sections = StoredLayout::read(layout);
        const auto it = std::find_if(sections.begin(), sections.end(),
                                     [&](const StoredLayout::Section &s) { return s.name == name; });
        QVERIFY(it != sections.end());
        QCOMPARE(it->bag.keys(), expected);
        for (const QString &key : expected)
            QVERIFY2(PropertyBag::sameValue(it->bag.ReadProperty(key), written.ReadProperty(key)), qPrintable(key));
    }

    void storedLayoutsNameEveryButtonOnce()
    {
        QStringList errors;
        QStringList names;
        for (const QString &layout : {QString(StoredLayout::MainWindow), QString(StoredLayout::UnitPanel)})
            for (const StoredLayout::Section &s : StoredLayout::read(layout, &errors))
                names.append(s.name);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(u'\n')));
        names.sort();
        QCOMPARE(names,
                 (QStringList{u"cClearOut"_s, u"cFlush"_s, u"cHome"_s, u"cInit"_s, u"cNo"_s, u"cSave"_s, u"cShow"_s,
                              u"cStop"_s, u"cUpd"_s, u"cYes"_s, u"cmdAddDesign"_s, u"cmdDispense"_s,
                              u"cmdExecCommand"_s, u"cmdOpenConsole"_s, u"cmdRemoveDesign"_s}));
    }

    void savedLayoutLoadsIntoAnotherButton()
    {
        QWidget host;
        auto *b = new ctxPatchButton(&host);
        b->setObjectName(u"cmdSomething"_s);
        b->setStyle(14);
        b->setCaption(u"Say \"hi\"\n&then"_s);
        b->setOpacity(0.25);
        b->setEnabledState(false);
        const QString text = StoredLayout::write({b});

        QWidget copyHost;
        auto *copy = new ctxPatchButton(&copyHost);
        copy->setObjectName(u"cmdSomething"_s);
        QCOMPARE(StoredLayout::apply(&copyHost, StoredLayout::parse(text)), 1);
        QCOMPARE(copy->Style(), 14);
        QCOMPARE(copy->Caption(), b->Caption());
        QCOMPARE(copy->Opacity(), 0.25);
        QVERIFY(!copy->Enabled());
        QCOMPARE(copy->ForeColor(), b->ForeColor());
        QCOMPARE(StoredLayout::write({copy}), text);
    }

    void missingLayoutLoadsNothing()
    {
        QWidget host;
        auto *b = new ctxPatchButton(&host);
        b->setObjectName(u"cShow"_s);
        QCOMPARE(StoredLayout::apply(&host, u":/no/such.layout"_s), 0);
        QCOMPARE(StoredLayout::apply(nullptr, StoredLayout::MainWindow), 0);
        QCOMPARE(b->Style(), 0);
    }
};

QTEST_MAIN(tst_ctxPatchButton)
#include "tst_ctxPatchButton.moc"
