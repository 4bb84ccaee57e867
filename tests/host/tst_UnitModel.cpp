#include "host/UnitModel.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

using Change = void (*)(UnitModel &);
Q_DECLARE_METATYPE(Change)

// What a unit model tells its observers: each value that changes its own signal, then changed(); a value set
// again tells nobody, whatever the number beside a line does.
class tst_UnitModel : public QObject
{
    Q_OBJECT
private slots:
    void changes_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("heard");
        const QStringList none;
        QTest::newRow("nothing new") << Change([](UnitModel &m) {
            m.setState(UnitState::Idle), m.setChecked(false), m.setCount({}), m.setInfo({}), m.setUid({});
        }) << none;
        QTest::newRow("the name, size and UID") << Change([](UnitModel &m) {
            m.setName(u"UNIT 3"_s), m.setSize(u"SIZE :2.5"_s), m.setUid(u"103"_s), m.setName(u"UNIT 3"_s);
        }) << QStringList{u"name"_s, u"changed"_s, u"size"_s, u"changed"_s, u"uid"_s, u"changed"_s};
        QTest::newRow("a stuck stone, then idle") << Change([](UnitModel &m) {
            m.setState(UnitState::Stuck), m.setState(UnitState::Stuck), m.setState(UnitState::Idle);
        }) << QStringList{u"state 3"_s, u"changed"_s, u"state 0"_s, u"changed"_s};
        QTest::newRow("checked twice, then unchecked")
            << Change([](UnitModel &m) { m.setChecked(true), m.setChecked(true), m.setChecked(false); })
            << QStringList{u"checked 1"_s, u"changed"_s, u"checked 0"_s, u"changed"_s};
        QTest::newRow("the same count line with another number") << Change([](UnitModel &m) {
            m.setCount(u"Count: 12"_s, 12), m.setCount(u"Count: 12"_s, 12), m.setCount(u"Count: 12"_s);
        }) << QStringList{u"count"_s, u"changed"_s, u"count"_s, u"changed"_s};
        QTest::newRow("a shortfall, then the stuck stone's line") << Change([](UnitModel &m) {
            m.setInfo(u"Short : 2"_s, 2), m.setInfo(u"STUCK STN"_s), m.setInfo(u"STUCK STN"_s);
        }) << QStringList{u"info"_s, u"changed"_s, u"info"_s, u"changed"_s};
    }
    void changes()
    {
        QFETCH(Change, change);
        UnitModel m;
        QStringList heard;
        const auto hear = [&](const QString &what) { return [&heard, what] { heard << what; }; };
        connect(&m, &UnitModel::nameChanged, this, hear(u"name"_s));
        connect(&m, &UnitModel::sizeChanged, this, hear(u"size"_s));
        connect(&m, &UnitModel::uidChanged, this, hear(u"uid"_s));
        connect(&m, &UnitModel::countChanged, this, hear(u"count"_s));
        connect(&m, &UnitModel::infoChanged, this, hear(u"info"_s));
        connect(&m, &UnitModel::changed, this, hear(u"changed"_s));
        connect(&m, &UnitModel::stateChanged, this, [&](UnitState s) { heard << u"state %1"_s.arg(int(s)); });
        connect(&m, &UnitModel::checkedChanged, this, [&](bool c) { heard << u"checked %1"_s.arg(int(c)); });
        change(m);
        QTEST(heard, "heard");
    }
};

QTEST_GUILESS_MAIN(tst_UnitModel)
#include "tst_UnitModel.moc"
