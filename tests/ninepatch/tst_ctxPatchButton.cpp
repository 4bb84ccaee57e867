#include "ButtonTestSupport.h"
#include "PropertyBag.h"
#include "StoredLayout.h"
#include "StyleAtlas.h"
#include "ctxPatchButton.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace buttontest;

// Properties, the per-state table, the styles and the stored layouts.
class tst_ctxPatchButton : public QObject
{
    Q_OBJECT

private slots:
    void styleWrittenTwiceChangesNothing()
    {
        ctxPatchButton b;
        b.resize(60, 30);
        b.setButtonStyle(6);
        b.setButtonTextColor(0x123456, 0);
        b.render();
        QSignalSpy changed(&b, &ctxPatchButton::propertyChanged);
        b.setButtonStyle(6);
        QCOMPARE(b.ButtonTextColor(0), 0x123456); // no reset of the table
        QVERIFY(b.facesPrepared()); // no rebuild
        QCOMPARE(changed.count(), 0);
        b.setButtonStyle(8);
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
        for (int i = 0; i < ButtonStateEntries; ++i)
            QCOMPARE(b.ButtonTextColor(i), i == changedEntry ? 0xFF : -1);
        bool ok = true;
        b.ButtonImageOpacity(eState, &ok);
        QCOMPARE(ok, changedEntry >= 0);
    }

    void buttonStateClearsBeforeItSets()
    {
        ctxPatchButton b;
        b.resize(40, 20);
        b.setButtonImageBitmap(solidPatch(Red), 0);
        b.setButtonImageBitmap(solidPatch(Green), 1);
        b.setButtonImageBitmap(solidPatch(Blue), 2);
        b.setButtonState(1);
        b.render();
        b.setButtonState(10);
        QCOMPARE(b.ButtonState(), 10);
        // Two fades: hover to normal, then normal to pressed; the face faded from is the normal one.
        QCOMPARE(b.previousFace().pixel(20, 10), Red);
        QCOMPARE(b.currentFace().pixel(20, 10), Blue);
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

        b->setButtonStyle(7);
        b->setEnabledState(false);
        b->setOpacity(0.3);
        b->setAnimationDuration(1.5);
        b->setCaption(u"x"_s);
        b->setFont(QFont(u"Verdana"_s, 20));
        b->setForeColor(0x123);
        b->setManualFocus(true);
        b->setMaskColor(-1);
        b->setAutoRedraw(true);
        b->WriteProperties(bag);
        QCOMPARE(bag.keys(),
                 (QStringList{u"Style"_s, u"Enabled"_s, u"Opacity"_s, u"AnimationDuration"_s, u"Caption"_s, u"Font"_s,
                              u"ForeColor"_s, u"ManualFocus"_s, u"MaskColor"_s, u"AutoRedraw"_s}));

        b->ReadProperties(PropertyBag()); // every property back to its default, so none is written
        PropertyBag again;
        b->WriteProperties(again);
        QVERIFY2(again.isEmpty(), qPrintable(again.toText()));
        QCOMPARE(b->font(), host.font());
        for (int i = 0; i < ButtonStateEntries; ++i)
            QVERIFY(b->ButtonImageBitmap(i).isNull());
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

    void stylesTakeTheirCells_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("cell"); // -1: no image
        const auto add = [](int style, const QString &family, std::initializer_list<std::pair<int, int>> cells) {
            for (const auto &[entry, cell] : cells)
                QTest::addRow("style %d, entry %d", style, entry) << style << entry << family << cell;
        };
        add(7, u"flat"_s, {{0, 5}, {1, 7}, {2, 9}, {8, 10}});
        add(15, u"flat"_s, {{0, 6}, {1, 8}, {2, 8}, {8, 9}});
        add(14, u"flat"_s, {{1, 0}}); // one cell back
        add(1, u"tall"_s, {{0, 0}});
        add(3, u"tall"_s, {{2, 9}, {4, 3}});
        add(4, u"tall"_s, {{0, 0}, {1, 5}});
        add(22, u"card"_s, {{0, 0}, {1, -1}}); // no hover face of its own
        add(28, u"card"_s, {{0, 6}, {8, 7}});
        add(29, u"flat"_s, {{0, -1}, {8, -1}});
        add(-1, u"flat"_s, {{0, -1}, {8, -1}});
    }
    void stylesTakeTheirCells()
    {
        QFETCH(int, style);
        QFETCH(int, entry);
        QFETCH(QString, family);
        QFETCH(int, cell);
        ctxPatchButton b;
        b.setButtonStyle(style);
        QCOMPARE(b.Style(), style);
        if (cell < 0)
            QVERIFY(b.ButtonImageBitmap(entry).isNull());
        else
            QCOMPARE(b.ButtonImageBitmap(entry), buttontest::cell(family, cell)->Bitmap());
    }

    void stylesSetColoursAndDuration_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<qint32>("foreColor");
        QTest::addColumn<double>("duration");
        QTest::addColumn<qint32>("normalText");
        QTest::addColumn<double>("normalShadow");
        QTest::newRow("7 white flat") << 7 << qint32(0x575049) << 0.2 << -1 << 0.8;
        QTest::newRow("14 blue outline") << 14 << qint32(0xCF7F46) << 0.2 << -1 << 0.0;
        QTest::newRow("22 card keeps the duration") << 22 << qint32(0) << 1.5 << -1 << 0.5;
        QTest::newRow("29 changes nothing but the table") << 29 << qint32(0x123456) << 1.5 << -1 << 0.5;
    }
    void stylesSetColoursAndDuration()
    {
        QFETCH(int, style);
        QFETCH(qint32, foreColor);
        QFETCH(double, duration);
        QFETCH(qint32, normalText);
        QFETCH(double, normalShadow);
        ctxPatchButton b;
        b.setForeColor(0x123456);
        b.setAnimationDuration(1.5);
        b.setButtonStyle(style);
        QCOMPARE(b.ForeColor(), foreColor);
        QCOMPARE(b.AnimationDuration(), duration);
        QCOMPARE(b.ButtonTextColor(0), normalText);
        QCOMPARE(b.ButtonShadowOpacity(0), normalShadow);
    }

    void style6KeepsItsCornersAtAnySize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("narrower than the corners") << QSize(12, 12);
        QTest::newRow("19 x 19") << QSize(19, 19);
        QTest::newRow("a unit panel button") << QSize(40, 33);
        QTest::newRow("a tall one") << QSize(30, 200);
    }
    void style6KeepsItsCornersAtAnySize()
    {
        QFETCH(QSize, size);
        ctxPatchButton b;
        b.resize(size);
        b.setButtonStyle(6);
        QRect client;
        connect(&b, &ctxPatchButton::OwnerDraw, this,
                [&](QPainter *, const QFont &, qint32, int &l, int &t, int &w, int &h, QString &, const QImage &) {
                    client = QRect(l, t, w, h);
                });
        b.render();
        const QImage face = straight(b.currentFace());
        const QImage source = cell(u"flat", 0)->Bitmap();
        // Invisible pixels compare equal whatever colour they hold.
        const auto same = [](QRgb a, QRgb b) { return (qAlpha(a) == 0 && qAlpha(b) == 0) || near(a, b); };
        const bool roomy = size.width() >= 19 && size.height() >= 19;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                QVERIFY(same(face.pixel(x, y), source.pixel(1 + x, 1 + y)));
                if (roomy)
                    QVERIFY(
                        same(face.pixel(size.width() - 9 + x, size.height() - 9 + y), source.pixel(11 + x, 11 + y)));
            }
        if (roomy)
            QCOMPARE(face.pixel(size.width() / 2, size.height() / 2), qRgb(83, 130, 204));
        // The caption goes in the button less 9 pixels on every side.
        QCOMPARE(client, QRect(9, 9, qMax(0, size.width() - 18), qMax(0, size.height() - 18)));
    }

    void styleChangedWhileFocusedRebuildsFaceAndRing()
    {
        ctxPatchButton b;
        b.resize(33, 33);
        b.setButtonStyle(8);
        b.setButtonState(ctxPatchButton::StateFocused);
        b.render();
        b.setButtonStyle(10);
        // The face and the focus ring come from the new style, not the old one.
        ctxPatchButton fresh;
        fresh.resize(33, 33);
        fresh.setButtonStyle(10);
        fresh.setButtonState(ctxPatchButton::StateFocused);
        QCOMPARE(b.render(), fresh.render());
        QCOMPARE(b.focusLayer(), fresh.focusLayer());
    }

    void atlasIsDecodedOncePerProcess()
    {
        ctxPatchButton first;
        first.setButtonStyle(6);
        ctxPatchButton second;
        second.setButtonStyle(25);
        QVERIFY(!second.ButtonImageBitmap(0).isNull());
        QCOMPARE(StyleAtlas::decodeCount(), 1);
    }

    void everyStoredButtonWritesBackAsStored()
    {
        QStringList errors;
        QStringList names;
        for (const QString &layout : {QString(StoredLayout::MainWindow), QString(StoredLayout::UnitPanel)})
            for (const StoredLayout::Section &s : StoredLayout::read(layout, &errors)) {
                names.append(s.name);
                QWidget host;
                auto *b = new ctxPatchButton(new QWidget(&host)); // buttons may sit in containers
                b->setObjectName(s.name);
                auto *other = new ctxPatchButton(&host);
                QCOMPARE(StoredLayout::apply(&host, layout), 1);
                QCOMPARE(other->Style(), 0);
                PropertyBag written;
                b->WriteProperties(written);
                QCOMPARE(written.keys(), s.bag.keys());
                for (const QString &key : s.bag.keys())
                    QVERIFY2(PropertyBag::sameValue(s.bag.ReadProperty(key), written.ReadProperty(key)),
                             qPrintable(s.name + u' ' + key));
            }
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
        b->setButtonStyle(14);
        b->setCaption(u"Say \"hi\"\n&then"_s);
        b->setOpacity(0.25);
        b->setEnabledState(false);
        const QString text = StoredLayout::write({b});

        QWidget copyHost;
        auto *copy = new ctxPatchButton(&copyHost);
        copy->setObjectName(u"cmdSomething"_s);
        QCOMPARE(StoredLayout::apply(&copyHost, StoredLayout::parse(text)), 1);
        QCOMPARE(copy->Caption(), b->Caption());
        QVERIFY(!copy->Enabled());
        QCOMPARE(StoredLayout::write({copy}), text);
        QCOMPARE(StoredLayout::apply(&copyHost, u":/no/such.layout"_s), 0); // a missing layout loads nothing
        QCOMPARE(StoredLayout::apply(nullptr, StoredLayout::MainWindow), 0);
        QCOMPARE(copy->Style(), 14);
    }
};

QTEST_MAIN(tst_ctxPatchButton)
#include "tst_ctxPatchButton.moc"
