#include "TestFolder.h"
#include "UnitHandlers.h"
#include "ctxPatchButton.h"
#include "dUnit.h"

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

    // A unit without an address of its own gets nothing: "0" and an empty UID would reach every unit.
    void buttons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("uid"); // null: the unit's own
        QTest::addColumn<QByteArray>("line");
        const QString own;
        QTest::newRow("H on All Units goes to every unit") << u"cHome"_s << 0 << own << QByteArray(">H,0,0\r\n");
        QTest::newRow("Fl on unit 5") << u"cFlush"_s << 5 << own << QByteArray(">,105,0\r\n");
        QTest::newRow("U on unit 4: script after the pause") << u"cUpd"_s << 4 << own << QByteArray(">UPD,104,0\r\n");
        QTest::newRow("H, UID 0") << u"cHome"_s << 4 << u"0"_s << QByteArray();
        QTest::newRow("Id, UID empty") << u"cInit"_s << 4 << u""_s << QByteArray();
        QTest::newRow("U, UID text: no script either") << u"cUpd"_s << 4 << u"abc"_s << QByteArray();
    }
    void buttons()
    {
        QFETCH(QString, button);
        QFETCH(int, index);
        QFETCH(QString, uid);
        QFETCH(QByteArray, line);
        m_rig->platform.onStart = [&] { // the units have taken the command before the script talks to them
            QCOMPARE(m_rig->peer.wire(1), line);
            QCOMPARE(m_rig->platform.virtualMs, UnitHandlers::UpdatePauseMs);
        };
        if (!uid.isNull())
            m_rig->host.unit(index).tag = uid;
        m_rig->host.unit(4).checked = true; // for the send to the checked units below
        m_rig->host.unit(1).c3 = u"Count: 9"_s;
        QTest::mouseClick(panel(index).findChild<ctxPatchButton *>(button), Qt::LeftButton); // a missing one aborts
        m_rig->platform.settle();
        if (line.isEmpty()) {
            m_rig->sender.SendCMDtoSelected(u"X"_s); // the console skips it too
            QCOMPARE(m_rig->host.statuses, QStringList(2, u"UNIT 4 has no valid UID"_s));
            QTest::qWait(30);
        } else {
            QCOMPARE(m_rig->host.statuses.size(), 1); // "Sending Command ... - Pls Wait !"
            QCOMPARE(m_rig->host.unit(1).c3, QString()); // every send clears the panels
        }
        QCOMPARE(line.isEmpty() ? m_rig->peer.received() : m_rig->peer.wire(1), line);
        QCOMPARE(m_rig->platform.started,
                 button == u"cUpd"_s && !line.isEmpty() ? QStringList{UnitHandlers::updateScript(m_rig->dir.path())}
                                                        : QStringList());
    }

    void report_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("line"); // empty: nothing asked, shown or logged
        const QString none;
        QTest::newRow("Y on All Units") << u"cYes"_s << 0 << none << none << u">>LAST OK - UNIT0"_s;
        QTest::newRow("Y on unit 12 (no count box)") << u"cYes"_s << 12 << none << none << u">>LAST OK - UNIT12"_s;
        QTest::newRow("N: 24 of 25") << u"cNo"_s << 3 << u"25"_s << u"24"_s << u">>LAST NOT OK 3 - 25 - 24"_s;
        QTest::newRow("N: Cancel records 0") << u"cNo"_s << 3 << u"25"_s << u""_s << u">>LAST NOT OK 3 - 25 - 0"_s;
        QTest::newRow("N: too big") << u"cNo"_s << 2 << u"25"_s << u"3000000000"_s << u">>LAST NOT OK 2 - 25 - 0"_s;
        QTest::newRow("N on unit 11 (no count box) does nothing") << u"cNo"_s << 11 << none << u"3"_s << none;
    }
    void report()
    {
        QFETCH(QString, button);
        QFETCH(int, index);
        QFETCH(QString, box);
        QFETCH(QString, answer);
        QFETCH(QString, line);
        if (!box.isNull())
            m_rig->host.setCountText(index, box);
        m_rig->platform.answer = answer;
        m_rig->host.pane = u"earlier\r\n"_s;
        QTest::mouseClick(panel(index).findChild<ctxPatchButton *>(button), Qt::LeftButton);
        QCOMPARE(m_rig->platform.asked,
                 (button == u"cNo"_s && !line.isEmpty()
                      ? QStringList{u"Enter Actual Count for Error"_s, u"Logging Error"_s, box}
                      : QStringList()));
        QCOMPARE(m_rig->host.pane, line.isEmpty() ? u"earlier\r\n"_s : line + u"\r\nearlier\r\n"_s);
        QCOMPARE(m_rig->host.log, line.isEmpty() ? QStringList() : QStringList{line});
        QVERIFY(m_rig->peer.received().isEmpty());
    }

    // A single click on the name selects nothing, a double click does; All Units stands alone.
    void selectionByDoubleClickOnTheName()
    {
        auto *name = panel(2).findChild<QLabel *>(u"lblName"_s);
        QTest::mouseClick(name, Qt::LeftButton);
        QVERIFY(!m_rig->host.unit(2).checked);
        QTest::mouseDClick(name, Qt::LeftButton);
        QVERIFY(m_rig->host.unit(2).checked);
        for (const auto &[index, expected] : {std::pair{3, QList<int>{2, 3}}, {3, {2}}, {0, {0}}, {4, {4}}, {4, {}}}) {
            m_handlers->checkClicked(index);
            QList<int> checked;
            for (int n = 0; n <= 12; ++n)
                if (m_rig->host.unit(n).checked)
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
