#include "OleColor.h"
#include "UnitLayout.h"
#include "ctxPatchButton.h"
#include "dUnit.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

using namespace unitlayout;

class tst_dUnit : public QObject
{
    Q_OBJECT
private slots:
    void workedExample_data();
    void workedExample();
    void readBackFollowsWhatWasApplied();
    void tooSmallPlacesWhatItCan();
    void checkState_data();
    void checkState();
    void stateAndCaptionsRoundTrip();
    void doubleClickOnNameRaisesCheckClickedOnly();
    void buttonsRaiseTheirEvents_data();
    void buttonsRaiseTheirEvents();
    void realPanelFillsItsWidth();
};

void tst_dUnit::workedExample_data()
{
    QTest::addColumn<int>("child");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    const double row = 2915.0 / 6;
    QTest::newRow("body") << int(UnitBody) << 0.0 << 0.0 << 2300.0 << 2915.0;
    QTest::newRow("shadow") << int(picShadow) << 100.0 << 100.0 << 2300.0 << 2915.0;
    QTest::newRow("name") << int(lblName) << 0.0 << 0.0 << 2300.0 << row;
    QTest::newRow("size") << int(lblSize) << 0.0 << row << 2300.0 << row;
    QTest::newRow("count") << int(lblCount) << 0.0 << 2 * row << 2300.0 << row;
    QTest::newRow("info") << int(lblInfo) << 0.0 << 3 * row << 2300.0 << row;
    QTest::newRow("Id") << int(cInit) << 0.0 << 4 * row << 760.0 << row;
    QTest::newRow("H") << int(cHome) << 770.0 << 4 * row << 760.0 << row;
    QTest::newRow("Fl") << int(cFlush) << 1540.0 << 4 * row << 760.0 << row;
    QTest::newRow("U under Fl") << int(cUpd) << 1540.0 << 5 * row << 760.0 << row;
    QTest::newRow("S under H") << int(cSave) << 770.0 << 5 * row << 760.0 << row;
    QTest::newRow("ST under Id") << int(cStop) << 0.0 << 5 * row << 760.0 << row;
    QTest::newRow("Y on the info line") << int(cYes) << 1920.0 << 3 * row << 380.0 << row / 2;
    QTest::newRow("N below Y") << int(cNo) << 1920.0 << 3 * row + row / 2 << 380.0 << row / 2;
}

void tst_dUnit::workedExample()
{
    QFETCH(int, child);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);
    ExactTarget t;
    apply(2400, 3015, t);
    const Rect r = t.get(Child(child));
    QVERIFY2(qAbs(r.left - left) < 0.01, qPrintable(QString::number(r.left)));
    QVERIFY2(qAbs(r.top - top) < 0.01, qPrintable(QString::number(r.top)));
    QVERIFY2(qAbs(r.width - width) < 0.01, qPrintable(QString::number(r.width)));
    QVERIFY2(qAbs(r.height - height) < 0.01, qPrintable(QString::number(r.height)));
}

// A windowing layer that rounds everything it is given to whole multiples of 15 twips (one pixel).
class RoundingTarget : public ExactTarget
{
public:
    void place(Child c, const Rect &r) override
    {
        auto px = [](double v) { return std::round(v / 15) * 15; };
        ExactTarget::place(c, {px(r.left), px(r.top), px(r.width), px(r.height)});
    }
};

void tst_dUnit::readBackFollowsWhatWasApplied()
{
    RoundingTarget t;
    apply(2400, 3015, t);
    // Rows are stacked on what was really applied, so no gaps or overlaps appear between them.
    for (Child c : {lblSize, lblCount, lblInfo}) {
        const Rect above = t.get(Child(c - 1));
        QCOMPARE(t.get(c).top, above.top + above.height);
    }
    const Rect init = t.get(cInit);
    QCOMPARE(t.get(cHome).left, std::round((init.left + init.width + ColumnGap) / 15) * 15);
    QCOMPARE(t.get(cNo).top, t.get(lblInfo).top + t.get(cYes).height);
}

void tst_dUnit::tooSmallPlacesWhatItCan()
{
    ExactTarget t;
    const Rect untouched{1, 2, 3, 4};
    t.place(UnitBody, untouched);
    t.place(picShadow, untouched);
    apply(50, 50, t); // body and shadow would get negative sizes
    QCOMPARE(t.get(UnitBody), untouched);
    QCOMPARE(t.get(picShadow), Rect({100, 100, 3, 4})); // placed with what the body really has

    dUnit unit;
    unit.Move(0, 0, 30, 30); // a real panel this small neither crashes nor throws
    unit.Move(0, 0, 0, 0);
}

void tst_dUnit::checkState_data()
{
    QTest::addColumn<qint32>("nameColour");
    QTest::addColumn<bool>("checked");
    QTest::newRow("bright green") << qint32(65280) << true;
    QTest::newRow("light grey") << qint32(14737632) << false;
    QTest::newRow("almost bright green") << olecolor::rgb(0, 254, 0) << false;
}

void tst_dUnit::checkState()
{
    QFETCH(qint32, nameColour);
    QFETCH(bool, checked);
    dUnit unit;
    auto *name = unit.findChild<QLabel *>(QStringLiteral("lblName"));
    QVERIFY(name);
    QPalette p = name->palette();
    p.setColor(QPalette::WindowText, olecolor::toColor(nameColour));
    name->setPalette(p);
    QCOMPARE(unit.isChecked(), checked);

    unit.setChecked(true);
    QVERIFY(unit.isChecked());
    QCOMPARE(olecolor::fromColor(name->palette().color(QPalette::WindowText)), dUnit::CheckedColour);
    unit.setChecked(false);
    QVERIFY(!unit.isChecked());
    QCOMPARE(olecolor::fromColor(name->palette().color(QPalette::WindowText)), dUnit::UncheckedColour);
}

void tst_dUnit::stateAndCaptionsRoundTrip()
{
    dUnit unit;
    QCOMPARE(unit.State(), dUnit::Idle);
    QVERIFY(!unit.isChecked());
    for (qint32 c : {dUnit::Answered, dUnit::Stuck, dUnit::AnsweredEarlier, olecolor::rgb(1, 2, 3)}) {
        unit.setState(c);
        QCOMPARE(unit.State(), c);
    }
    unit.setCaption3(QStringLiteral("Count: 25"));
    unit.setCaption4(QString());
    QCOMPARE(unit.caption3(), QStringLiteral("Count: 25"));
    QCOMPARE(unit.caption4(), QString());
    unit.setCaption1(QStringLiteral("UNIT 3"));
    QCOMPARE(unit.findChild<QLabel *>(QStringLiteral("lblName"))->text(), QStringLiteral("UNIT 3"));
}

void tst_dUnit::doubleClickOnNameRaisesCheckClickedOnly()
{
    dUnit unit;
    unit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&unit));
    QSignalSpy spy(&unit, &dUnit::checkClicked);
    auto *name = unit.findChild<QLabel *>(QStringLiteral("lblName"));
    const QPoint at = name->rect().center();
    QTest::mouseClick(name, Qt::LeftButton, {}, at);
    QCOMPARE(spy.count(), 0);
    // A real double click: press, release, double click, release.
    QTest::mousePress(name, Qt::LeftButton, {}, at);
    QTest::mouseRelease(name, Qt::LeftButton, {}, at);
    QTest::mouseDClick(name, Qt::LeftButton, {}, at);
    QTest::mouseRelease(name, Qt::LeftButton, {}, at);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!unit.isChecked());
}

void tst_dUnit::buttonsRaiseTheirEvents_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("event"); // index into the table of signals below
    QTest::newRow("Id") << u"cInit"_s << u"Id"_s << 0;
    QTest::newRow("U") << u"cUpd"_s << u"U"_s << 1;
    QTest::newRow("H") << u"cHome"_s << u"H"_s << 2;
    QTest::newRow("S") << u"cSave"_s << u"S"_s << 3;
    QTest::newRow("Fl") << u"cFlush"_s << u"Fl"_s << 4;
    QTest::newRow("ST") << u"cStop"_s << u"ST"_s << 5;
    QTest::newRow("Y") << u"cYes"_s << u"Y"_s << 6;
    QTest::newRow("N") << u"cNo"_s << u"N"_s << 7;
}

void tst_dUnit::buttonsRaiseTheirEvents()
{
    QFETCH(QString, button);
    QFETCH(QString, caption);
    QFETCH(int, event);
    dUnit unit;
    unit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&unit));
    using Signal = void (dUnit::*)();
    const Signal signals_[] = {&dUnit::Init,  &dUnit::Update,  &dUnit::Home,     &dUnit::Save,
                               &dUnit::Flush, &dUnit::STOPall, &dUnit::ReportOK, &dUnit::ReportNotOK};
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (Signal s : signals_)
        spies.push_back(std::make_unique<QSignalSpy>(&unit, s));
    auto *b = unit.findChild<ctxPatchButton *>(button);
    QVERIFY(b);
    QCOMPARE(b->Caption(), caption);
    QTest::mouseClick(b, Qt::LeftButton, {}, b->rect().center());
    for (int i = 0; i < int(spies.size()); ++i)
        QCOMPARE(spies[i]->count(), i == event ? 1 : 0);
}

void tst_dUnit::realPanelFillsItsWidth()
{
    dUnit unit;
    unit.Move(0, 0, 2295, 2775);
    // The three button columns and their two gaps end where the body ends, give or take a pixel.
    const Rect body = unit.childRect(UnitBody);
    const Rect flush = unit.childRect(cFlush);
    QVERIFY2(qAbs(flush.left + flush.width - body.width) <= 15,
             qPrintable(u"%1 %2 %3"_s.arg(flush.left).arg(flush.width).arg(body.width)));
    QCOMPARE(unit.childRect(cUpd).left, flush.left);
    QVERIFY(unit.childRect(picShadow).left == 100 || unit.childRect(picShadow).left == 105);
}

QTEST_MAIN(tst_dUnit)
#include "tst_dUnit.moc"
