#include "TestFolder.h"
#include "common/OleColor.h"
#include "ninepatch/ctxPatchButton.h"
#include "units/UnitHandlers.h"
#include "units/dUnit.h"

#include <QLabel>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// A unit panel and what its events do, as the window wires them: clicks on the real panel, lines on a
// real line, units 1 to 12 (11 and 12 have no count box).
class tst_dUnit : public QObject
{
    Q_OBJECT

    // Panel index as the window connects it, shown so its buttons take real clicks.
    dUnit &panel(int index)
    {
        m_panel.emplace();
        m_handlers->connectPanel(&*m_panel, index);
        m_panel->Move(0, 0, 2295, 2775);
        m_panel->show();
        return *m_panel;
    }

private slots:
    void init()
    {
        m_panel.reset(); // the objects of the previous test, before the rig they refer to
        m_handlers.reset();
        QVERIFY(m_rig.emplace(uidsFor(12), 3, true).ok);
        m_handlers.emplace(m_rig->host, m_rig->sender);
    }

    // Each button as the window wires it: what goes on the wire, what is asked, shown and logged. A unit
    // without an address of its own gets nothing: "0" and an empty UID would reach every unit.
    void buttons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("uid"); // null: the unit's own
        QTest::addColumn<QString>("box"); // the count box's text; null: left alone
        QTest::addColumn<QString>("answer"); // to the question for the actual count
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("line"); // reported: empty when nothing is asked, shown or logged
        const auto send = [](const char *name, const char *button, int index, const QString &uid,
                             const QByteArray &wire) {
            QTest::newRow(name) << QString::fromLatin1(button) << index << uid << QString() << QString() << wire
                                << QString();
        };
        const auto report = [](const char *name, const char *button, int index, const QString &box,
                               const QString &answer, const QString &line) {
            QTest::newRow(name) << QString::fromLatin1(button) << index << QString() << box << answer << QByteArray()
                                << line;
        };
        send("H on All Units goes to every unit", "cHome", 0, {}, ">H,0,0\r\n");
        send("Fl on unit 5", "cFlush", 5, {}, ">,105,0\r\n");
        send("U on unit 4: script after the pause", "cUpd", 4, {}, ">UPD,104,0\r\n");
        send("H, UID 0", "cHome", 4, u"0"_s, {});
        send("U, UID text: no script either", "cUpd", 4, u"abc"_s, {});
        report("Y on All Units", "cYes", 0, {}, {}, u">>LAST OK - UNIT0"_s);
        report("Y on unit 12 (no count box)", "cYes", 12, {}, {}, u">>LAST OK - UNIT12"_s);
        report("N: 24 of 25", "cNo", 3, u"25"_s, u"24"_s, u">>LAST NOT OK 3 - 25 - 24"_s);
        report("N: Cancel records 0", "cNo", 3, u"25"_s, u""_s, u">>LAST NOT OK 3 - 25 - 0"_s);
        report("N: too big", "cNo", 2, u"25"_s, u"3000000000"_s, u">>LAST NOT OK 2 - 25 - 0"_s);
        report("N on unit 11 (no count box) does nothing", "cNo", 11, {}, u"3"_s, {});
    }
    void buttons()
    {
        QFETCH(QString, button);
        QFETCH(int, index);
        QFETCH(QString, uid);
        QFETCH(QString, box);
        QFETCH(QByteArray, wire);
        QFETCH(QString, line);
        m_rig->platform.onStart = [&] { // the units have taken the command before the script talks to them
            QCOMPARE(m_rig->peer.wire(1), wire);
            QCOMPARE(m_rig->platform.virtualMs, UnitHandlers::UpdatePauseMs);
        };
        if (!uid.isNull())
            m_rig->host.model(index).setUid(uid);
        if (!box.isNull())
            m_rig->host.setCountText(index, box);
        QFETCH(QString, answer);
        m_rig->platform.answer = answer;
        m_rig->host.pane = u"earlier\r\n"_s;
        m_rig->host.model(4).setChecked(true); // for the send to the checked units below
        m_rig->host.model(1).setCount(u"Count: 9"_s);
        QTest::mouseClick(panel(index).findChild<ctxPatchButton *>(button), Qt::LeftButton); // a missing one aborts
        m_rig->platform.settle();
        if (!uid.isNull()) {
            m_rig->sender.sendToChecked(u"X"_s); // the console skips it too
            QCOMPARE(m_rig->host.statuses, QStringList(2, u"UNIT 4 has no valid UID"_s));
            QTest::qWait(30);
        } else {
            QCOMPARE(m_rig->host.statuses.size(), wire.isEmpty() ? 0 : 1); // "Sending Command ... - Pls Wait !"
        }
        QCOMPARE(m_rig->host.model(1).countLine(),
                 wire.isEmpty() ? u"Count: 9"_s : QString()); // every send clears the panels
        QCOMPARE(wire.isEmpty() ? m_rig->peer.received() : m_rig->peer.wire(1), wire);
        QCOMPARE(m_rig->platform.started,
                 button == u"cUpd"_s && !wire.isEmpty() ? QStringList{UnitHandlers::updateScript(m_rig->dir.path())}
                                                        : QStringList());
        QCOMPARE(m_rig->platform.asked,
                 (button == u"cNo"_s && !line.isEmpty()
                      ? QStringList{u"Enter Actual Count for Error"_s, u"Logging Error"_s, box}
                      : QStringList()));
        QCOMPARE(m_rig->host.pane,
                 (line.isEmpty() ? QString() : line + u"\r\n"_s) + (wire.isEmpty() ? QString() : u"\r\n"_s)
                     + u"earlier\r\n"_s);
        QCOMPARE(m_rig->host.logged, line.isEmpty() ? QStringList() : QStringList{line});
    }

    // The panel draws its model; a band colour set on the panel that names no state reads back as set. Every
    // line is read whole, however long, and Y and N stand apart from the lines and each other, large enough
    // for their letters, at any scale; the size line names the UID, which the model keeps apart.
    void drawsItsModel_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<qint32>("colour"); // set on the panel after the model's state; 0: none
        QTest::addColumn<int>("drawn"); // the model's state then
        QTest::addColumn<qint32>("band");
        QTest::addColumn<double>("scale");
        QTest::addColumn<QString>("info");
        QTest::newRow("stuck, drawn size")
            << int(UnitState::Stuck) << 0 << int(UnitState::Stuck) << dUnit::Stuck << 1.0 << u"STUCK STN"_s;
        QTest::newRow("answered earlier, scaled, a long line")
            << int(UnitState::Answered) << 0 << int(UnitState::Answered) << dUnit::AnsweredEarlier << 1.5
            << u"STUCK STONE ERROR- REMOVE MANUALLY"_s;
        QTest::newRow("a state's colour on the panel")
            << int(UnitState::Idle) << dUnit::Answered << int(UnitState::Answering) << dUnit::Answered << 1.0
            << QString();
        QTest::newRow("a colour of no state")
            << int(UnitState::Stuck) << 0x123456 << int(UnitState::Other) << 0x123456 << 1.0 << QString();
    }
    void drawsItsModel()
    {
        QFETCH(int, state);
        QFETCH(qint32, colour);
        QFETCH(qint32, band);
        QFETCH(double, scale);
        QFETCH(QString, info);
        UnitModel model;
        dUnit unit(model);
        unit.setScale(scale);
        unit.Move(0, 0, 2295, 2775);
        unit.show();
        model.setState(UnitState(state));
        model.setChecked(true);
        model.setUid(u"101"_s);
        model.setSize(u"SIZE :1.0"_s);
        model.setCount(u"Count: 999999"_s, 999999);
        model.setInfo(info);
        if (colour)
            unit.setState(colour);
        QTEST(int(model.state()), "drawn");
        QCOMPARE(unit.State(), band);
        QCOMPARE(unit.findChild<QWidget *>(u"picShadow"_s)->palette().color(QPalette::Window), olecolor::toColor(band));
        QCOMPARE(unit.findChild<QLabel *>(u"lblName"_s)->palette().color(QPalette::WindowText),
                 olecolor::toColor(dUnit::CheckedColour));
        QCOMPARE(unit.findChild<QLabel *>(u"lblCount"_s)->text(), u"Count: 999999"_s);
        QCOMPARE(unit.findChild<QLabel *>(u"lblSize"_s)->text(), u"SIZE :1.0   UID 101"_s);
        QCOMPARE(unit.caption2(), u"SIZE :1.0"_s);
        QList<QRect> taken;
        for (const char *name : {"lblName", "lblSize", "lblCount", "lblInfo"}) {
            const auto *line = unit.findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(QFontMetrics(line->font()).horizontalAdvance(line->text()) <= line->width(), name);
            taken << line->geometry();
        }
        for (const char *name : {"cYes", "cNo"}) {
            const auto *b = unit.findChild<ctxPatchButton *>(QLatin1String(name));
            const QFontMetricsF letters(b->font());
            QVERIFY2(letters.height() * scale <= b->height()
                         && letters.horizontalAdvance(b->Caption()) * scale * 2 < b->width(),
                     name);
            for (const QRect &other : std::as_const(taken))
                QVERIFY2(!other.intersects(b->geometry()), name);
            taken << b->geometry();
        }
    }

    // A single click on the name selects nothing, a double click does; All Units stands alone.
    void selectionByDoubleClickOnTheName()
    {
        auto *name = panel(2).findChild<QLabel *>(u"lblName"_s);
        QTest::mouseClick(name, Qt::LeftButton);
        QVERIFY(!m_rig->host.model(2).isChecked());
        QTest::mouseDClick(name, Qt::LeftButton);
        QVERIFY(m_rig->host.model(2).isChecked());
        for (const auto &[index, expected] : {std::pair{3, QList<int>{2, 3}}, {3, {2}}, {0, {0}}, {4, {4}}, {4, {}}}) {
            m_handlers->checkClicked(index);
            QList<int> checked;
            for (int n = 0; n <= 12; ++n)
                if (m_rig->host.model(n).isChecked())
                    checked << n;
            QCOMPARE(checked, expected);
        }
        m_panel->Move(0, 0, 0, 0); // a panel squeezed to nothing neither crashes nor throws
    }

private:
    std::optional<Rig> m_rig;
    std::optional<UnitHandlers> m_handlers;
    std::optional<dUnit> m_panel;
};

QTEST_MAIN(tst_dUnit)
#include "tst_dUnit.moc"
