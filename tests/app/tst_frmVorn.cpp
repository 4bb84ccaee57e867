#include "FullDisk.h"
#include "TestFolder.h"
#include "app/FocusMark.h"
#include "app/MessagePane.h"
#include "app/frmVorn.h"
#include "designs/DesignBook.h"
#include "ninepatch/ctxPatchButton.h"
#include "records/RunJournal.h"
#include "units/dUnit.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSpinBox>
#include <QWheelEvent>

using namespace Qt::Literals::StringLiterals;
using SettingsSchema::Key;
using SettingsSchema::Setting;

namespace {
// Three units, the third's UID to follow.
const QByteArray Three = "[Settings]\r\nNoUnits=3\r\n[UNIT1]\r\nUID=101\r\n[UNIT2]\r\nUID=102\r\n[UNIT3]\r\nUID=";
} // namespace

// The window on settings files as the shop floor leaves them, its message pane and its status line.
class tst_frmVorn : public QObject
{
    Q_OBJECT

    std::unique_ptr<frmVorn> start(const QByteArray &ini)
    {
        m_folder.emplace(ini);
        m_platform.folder = m_folder->dir.path();
        auto w = std::make_unique<frmVorn>(m_platform);
        w->load();
        return w;
    }

private slots:
    // The window on the settings file it finds. Nothing of a bad file is lost; one the console cannot read is
    // never rewritten, and the operator is told. Units sharing a UID are said once, at the start and when a
    // layout pass finds them. Only the boxes of the units there are take counts, and each says whose it is.
    void startUp_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("said");
        QTest::addColumn<bool>("unreadable");
        const QString hint = u" - right-click a unit to set its UID"_s,
                      shared = u"UNIT 1 and UNIT 2 share UID 100"_s + hint;
        QTest::newRow("first start: every unit 100") << QByteArray() << 5 << shared << false;
        QTest::newRow("a UID of its own each") << Three + "103\r\n" << 3 << QString() << false;
        QTest::newRow("one UID written otherwise") << Three + "0101\r\n"
                                                   << 3 << u"UNIT 1 and UNIT 3 share UID 0101"_s + hint << false;
        QByteArray garbage(64 * 1024, '\0');
        quint32 x = 12345;
        for (char &c : garbage)
            c = char((x = x * 1103515245u + 12345u) >> 24);
        QTest::newRow("binary garbage with NULs") << garbage << 5 << shared << false;
        QTest::newRow("a 1 MB line") << QByteArray("[Settings]\r\nNoUnits=3\r\n" + QByteArray(1 << 20, 'x') + "\r\n")
                                     << 3 << shared << false;
        QTest::newRow("a NoUnits no screen could hold")
            << QByteArray("[Settings]\r\nNoUnits=1000000000\r\n") << 100 << shared << false;
        QTest::newRow("saved as UTF-16 without a byte-order mark")
            << QByteArray("[\0S\0]\0\r\0\n\0", 10) << 5 << shared << true;
    }
    void startUp()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, said);
        QFETCH(bool, unreadable);
        {
            auto w = start(ini);
            QTEST(w->unitCount(), "units");
            QCOMPARE(w->unitPanel(1)->caption1(), u"UNIT 1"_s);
            QCOMPARE(w->statusText(), said);
            QCOMPARE(w->pane().text().contains(u"Vorn.ini could not be read: using defaults"_s), unreadable);
            w->resize(1000, 600);
            QCOMPARE(w->pane().text().count(u"share UID"_s), said.isEmpty() ? 0 : 1);
            for (int n = 1; n <= 10; ++n) {
                const auto *box = w->findChild<QLineEdit *>(u"txtNos_%1"_s.arg(n));
                QCOMPARE(box->isEnabled(), n <= w->unitCount());
                QCOMPARE(box->accessibleName(), u"UNIT %1 count"_s.arg(n));
            }
            w->close();
        }
        const QByteArray after = m_folder->read(u"Vorn.ini"_s);
        if (unreadable)
            QCOMPARE(after, ini);
        for (qsizetype from = 0, at = 0, end; (end = ini.indexOf('\n', from)) >= 0; from = end + 1) {
            at = after.indexOf(ini.mid(from, end + 1 - from), at); // every complete line, in its order
            QVERIFY2(at >= 0, qPrintable(u"line at byte %1 lost"_s.arg(from)));
        }
    }

    // The link is always in sight: looked for, found, and lost the moment the device goes, without waiting
    // for a command; the status line, the pane and the log say so. F5 on a live link: what the link held, what
    // came during the probe and what came with the greeting go through the receive path like every other
    // line; a stuck stone among them is stopped.
    void linkFoundSearchedAgainAndLost()
    {
        auto w = start("[Settings]\r\nComm Port=7\r\nNoUnits=2\r\n[UNIT1]\r\nUID=101\r\n[UNIT2]\r\nUID=102\r\n");
        m_folder->write(u"Vorn2.ini"_s, Rig::Catalogue);
        PtyPeer peer;
        QVERIFY(peer.linkAs(m_folder->dir.path(), 7));
        peer.greetProbes("2\t102\t[F]\t3\r\nTessaloran V2\r\n1\t101\t[F]!!!\t4\r\n", 300);
        QTRY_COMPARE(w->linkText(), u"Looking for the controller"_s);
        QTRY_COMPARE(w->linkText(), u"Port 7: controller"_s);
        const auto log = [this] { return m_folder->read(u"Log/24-07-26-Log.txt"_s); };
        QTRY_VERIFY(peer.received().contains(">S,101,0\r\n")); // the stuck stone's STOP
        QTRY_VERIFY(log().contains("2\t102\t[F]\t3\r\nTessaloran V2\r\n1\t101\t[F]!!!\t4\r\n"));
        m_platform.advance(500); // the unit is stopped
        peer.send("1\t101\t[c](5\r\n"); // held by the link when F5 comes
        w->searchController();
        QTRY_COMPARE(peer.received().count("DP>\n"), 2);
        peer.send("2\t102\t[c](6\r\n"); // during the probe
        QTRY_COMPARE(w->statusText(), u"STUCK STONE ERROR- REMOVE MANUALLY"_s);
        QTRY_VERIFY(log().endsWith(
            "1\t101\t[c](5\r\n2\t102\t[c](6\r\n2\t102\t[F]\t3\r\nTessaloran V2\r\n1\t101\t[F]!!!\t4\r\n"));
        QCOMPARE(log().count("Tessaloran V2"), 2); // once per search

        m_platform.advance(500); // the unit is stopped again
        const QString lost = u"Controller lost on Port 7 - press F5 to search again"_s;
        peer.hangUp();
        QTRY_COMPARE(w->linkText(), u"No controller - F5"_s);
        QCOMPARE(w->statusText(), lost);
        QVERIFY(w->pane().text().contains(lost));
        QCOMPARE(log().count(lost.toUtf8()), 1);
        // The probes and the STOPs, and no command was needed to find out.
        QCOMPARE(peer.received(), QByteArray("DP>\n>S,101,0\r\nDP>\n>S,101,0\r\n"));
    }

    // From the keyboard: Tab goes down the design column, along the live count boxes, to the command column
    // and the pane; the keys are named in the tool tips. A screen reader finds push buttons named by what
    // they do, and can press them.
    // The content grows with the window by the lesser of its two ratios, fonts and faces with it, and keeps
    // its size at the default size and below, where the window scrolls. Nothing is cut and nothing covers
    // another: every control, a panel's lines and buttons among them, lies apart from its neighbours.
    void scalesAndScrolls_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("scrolls");
        // The content's drawn width (1230 pixels) fits the default window's 1200.
        QTest::newRow("below the default size: it scrolls") << QSize(800, 500) << 0.9756 << true;
        QTest::newRow("the default size") << QSize(1200, 733) << 0.9756 << false;
        QTest::newRow("1920 x 1080: the height's ratio, 1080 / 733") << QSize(1920, 1080) << 1.4375 << false;
        QTest::newRow("tall and narrow: the width's ratio, 1300 / 1200") << QSize(1300, 1400) << 1.0569 << false;
    }
    void scalesAndScrolls()
    {
        QFETCH(QSize, window);
        QFETCH(double, scale);
        auto w = start(Three + "103\r\n");
        w->show();
        w->resize(window);
        QVERIFY(QTest::qWaitFor([&] { return w->size() == window; }));
        QVERIFY2(qAbs(w->scale() - scale) < 0.0005, qPrintable(QString::number(w->scale())));
        const auto *scroll = w->findChild<QAbstractScrollArea *>(u"scroll"_s);
        QTEST(scroll->horizontalScrollBar()->maximum() > 0 && scroll->verticalScrollBar()->maximum() > 0, "scrolls");

        const auto *canvas = w->findChild<QWidget *>(u"canvas"_s);
        QList<const QWidget *> parents = {canvas, w->findChild<QWidget *>(u"picContainer"_s),
                                          w->findChild<QWidget *>(u"picContainer2"_s)};
        for (int n = 0; n <= w->unitCount(); ++n)
            parents << w->unitPanel(n)->findChild<QWidget *>(u"Unit"_s);
        for (const QWidget *parent : parents) {
            QList<QRect> placed;
            for (const QWidget *c : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (!c->isVisible() || c->objectName().startsWith(u"picContainer"_s)
                    || c->objectName() == u"focusMark"_s)
                    continue;
                const QRect r(c->mapTo(canvas, QPoint()), c->size());
                QVERIFY2(canvas->rect().contains(r), qPrintable(c->objectName()));
                for (const QRect &other : std::as_const(placed))
                    QVERIFY2(!other.intersects(r), qPrintable(c->objectName()));
                placed << r;
            }
        }
        for (int n = 1; n <= w->unitCount(); ++n)
            QCOMPARE(w->unitPanel(n)->findChild<ctxPatchButton *>(u"cYes"_s)->scale(), w->scale());
        const auto *box = w->findChild<QLineEdit *>(u"txtNos_5"_s);
        QCOMPARE(box->font().pointSizeF(), 11.25 * w->scale());
        QCOMPARE(w->pane().font().pointSizeF(), 8.25 * w->scale());
        QCOMPARE(w->findChild<ctxPatchButton *>(u"cmdDispense"_s)->scale(), w->scale());
        // The largest count there is, whole in its box.
        QVERIFY(QFontMetrics(box->font()).horizontalAdvance(u"999999"_s) < box->width() - 8);
    }

    void keyboardAndScreenReader()
    {
        auto w = start(Three + "103\r\n");
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        const QStringList wanted = {u"lstDesign"_s,   u"txtDesign"_s,  u"txtNos_1"_s,    u"txtNos_2"_s, u"txtNos_3"_s,
                                    u"cmdDispense"_s, u"txtCommand"_s, u"lstCommands"_s, u"txtOut"_s,   u"Unit_0"_s,
                                    u"Unit_1"_s,      u"Unit_2"_s,     u"Unit_3"_s};
        // Where the focus is: a panel's button stands for its panel.
        const auto focused = [] {
            QWidget *f = QApplication::focusWidget();
            for (QWidget *p = f; p; p = p->parentWidget())
                if (qobject_cast<dUnit *>(p))
                    return p->objectName();
            return f ? f->objectName() : QString();
        };
        w->findChild<QWidget *>(wanted.first())->setFocus();
        QStringList visited;
        for (int i = 0; i < 40 && visited.size() < wanted.size(); ++i) {
            if (wanted.contains(focused()) && (visited.isEmpty() || visited.last() != focused()))
                visited << focused();
            // Every stop says what it is to a screen reader.
            QAccessibleInterface *stop = QAccessible::queryAccessibleInterface(QApplication::focusWidget());
            QVERIFY2(!stop->text(QAccessible::Name).isEmpty(), qPrintable(focused()));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(visited, wanted); // the boxes of units 4 to 10 are no stops: they take no count; a panel is one

        // The arrow keys move among a panel's buttons, Shift+Tab leaves it; the focus is marked around it.
        w->unitPanel(2)->setFocus(Qt::TabFocusReason);
        for (const auto &[key, name] : {std::pair{Qt::Key_Left, "cInit"},
                                        {Qt::Key_Right, "cHome"},
                                        {Qt::Key_Down, "cSave"},
                                        {Qt::Key_Right, "cUpd"},
                                        {Qt::Key_Up, "cFlush"},
                                        {Qt::Key_Up, "cNo"},
                                        {Qt::Key_Up, "cYes"}}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(name));
        }
        const auto *mark = w->findChild<FocusMark *>();
        QCOMPARE(mark->marked(), QApplication::focusWidget());
        QVERIFY(mark->isVisible()
                && mark->geometry().contains(QRect(QApplication::focusWidget()->mapTo(mark->parentWidget(), QPoint()),
                                                   QApplication::focusWidget()->size())));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(focused(), u"Unit_1"_s);
        const auto *dispense = w->findChild<ctxPatchButton *>(u"cmdDispense"_s);
        QCOMPARE(dispense->toolTip(), u"Dispense (F9)"_s);
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(const_cast<ctxPatchButton *>(dispense));
        QCOMPARE(face->role(), QAccessible::Button);
        QCOMPARE(face->text(QAccessible::Name), u"Dispense"_s);
        auto *id = w->unitPanel(2)->findChild<ctxPatchButton *>(u"cInit"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(id)->text(QAccessible::Name), id->Caption() + u" UNIT 2"_s);
        w->prependOut(QString(3000, u'w') + u"\r\n"_s); // a long answer wraps: nothing of it hides to the right
        w->pane().flush();
        QCOMPARE(w->pane().horizontalScrollBar()->maximum(), 0);
        QAccessibleInterface *clear =
            QAccessible::queryAccessibleInterface(w->findChild<ctxPatchButton *>(u"cClearOut"_s));
        clear->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(w->pane().text(), QString());
    }

    // The window comes up where it was, as exact as one pixel (15 twips) allows, and stores where it really was.
    // The pane's text zooms on its own, from the keyboard and the wheel, within its bounds, and the zoom is kept
    // as "Pane Zoom"; a value that is no number is no zoom.
    void placeAndZoom_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QRectF>("twips");
        QTest::addColumn<QString>("keys"); // +: Ctrl+plus, -: Ctrl+minus, 0: Ctrl+0, w: Ctrl+wheel up
        QTest::addColumn<int>("zoom");
        // The test screen is 800 x 800 pixels: the default width is cut to it, the height fits.
        const QRectF defaults(0, 0, 12000, 11000);
        QTest::newRow("as stored, no zoom stored, two steps up")
            << QByteArray("Left=150\r\nwidth=12000\r\nheight=9000\r\n") << QRectF(150, 0, 12000, 9000) << u"++"_s << 2;
        QTest::newRow("off every screen, negative height, a zoom beyond the bounds: the defaults, no larger")
            << QByteArray("Left=2000000000\r\nTop=2000000000\r\nheight=-1\r\nPane Zoom=99\r\n") << defaults << u"-"_s
            << MessagePane::MaxZoom - 1;
        QTest::newRow("zoom kept from before, one down") << QByteArray("Pane Zoom=3\r\n") << defaults << u"-"_s << 2;
        QTest::newRow("back to the pane's size") << QByteArray("Pane Zoom=5\r\n") << defaults << u"w0"_s << 0;
        QTest::newRow("a zoom that is no number") << QByteArray("Pane Zoom=big\r\n") << defaults << u"w"_s << 1;
    }
    void placeAndZoom()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QRectF, twips);
        QFETCH(QString, keys);
        QFETCH(int, zoom);
        auto w = start("[Settings]\r\n" + stored);
        const QRectF shown(w->twipsLeft(), w->twipsTop(), w->twipsWidth(), w->twipsHeight());
        QVERIFY2(
            (shown.topLeft() - twips.topLeft()).manhattanLength() < 15 && qAbs(shown.width() - twips.width()) < 15
                && qAbs(shown.height() - twips.height()) < 15,
            qPrintable(u"%1 %2 %3 %4"_s.arg(shown.left()).arg(shown.top()).arg(shown.width()).arg(shown.height())));
        MessagePane &pane = w->pane();
        const double base = pane.font().pointSizeF() - pane.zoom();
        for (const QChar key : keys) {
            if (key == u'w') {
                QWheelEvent wheel(QPointF(5, 5), pane.mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton,
                                  Qt::ControlModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(pane.viewport(), &wheel);
            } else {
                QTest::keyClick(&pane,
                                key == u'+'       ? Qt::Key_Plus
                                    : key == u'-' ? Qt::Key_Minus
                                                  : Qt::Key_0,
                                Qt::ControlModifier);
            }
        }
        QCOMPARE(pane.zoom(), zoom);
        QCOMPARE(pane.font().pointSizeF(), base + zoom);
        QCOMPARE(TestFolder::stored(Setting(Key::PaneZoom)), QString::number(zoom));
        w->close(); // stores where the window really was
        QCOMPARE(TestFolder::stored(Setting(Key::Left)), QString::number(twips.left()));
    }

    // A full disk: the settings file's failure is said once until a write succeeds again; the log says how
    // much it holds, refreshed at most once a second, and writes it all once there is room.
    void fullDisk()
    {
        auto w = start("[Settings]\r\nNoUnits=2\r\n");
        const QString notSaved = u"Vorn.ini could not be written: settings are not being saved"_s;
        const auto said = [&] {
            w->pane().flush();
            return w->pane().text().count(notSaved);
        };
        {
            const FullDisk full;
            w->cShow_Click();
            QCOMPARE(w->statusText(), notSaved);
            w->cShow_Click();
            w->log(u"a"_s);
            QCOMPARE(w->statusText(), notSaved); // within the second
            m_platform.advance(1000);
            w->log(u"b"_s);
            QCOMPARE(w->statusText(), u"Log cannot be written: 3 entries held"_s);
        }
        QCOMPARE(said(), 1);
        QTRY_COMPARE(m_folder->read(u"Log/24-07-26-Log.txt"_s), (notSaved + u"\r\na\r\nb\r\n"_s).toLatin1());
        QVERIFY(!w->statusText().startsWith(u"Log cannot"_s));
        w->cShow_Click(); // lands
        // A design that could not be stored says so in its own words only, at each try.
        w->findChild<QLineEdit *>(u"txtDesign"_s)->setText(u"ring"_s);
        for (int i = 0; i < 2; ++i)
            onFullDisk([&] { w->designs().cmdAddDesign_Click(); });
        QCOMPARE(said(), 1);
        QCOMPARE(w->statusText(), u"Design RING not stored: Vorn.ini could not be written"_s);
        QCOMPARE(w->pane().text().count(w->statusText()), 2);
        onFullDisk([&] { w->cShow_Click(); });
        QCOMPARE(said(), 2);
        QCOMPARE(TestFolder::stored(Setting(Key::ShowMessages)), u"F"_s); // the last write that landed
    }

    // What the Log folder did not take by the close goes to the per-user folder; a run cut off by a kill
    // reaches the journal at the next start.
    void journalRowsSurvive_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("Log folder blocked until the close") << false;
        QTest::newRow("killed after a run, started again") << true;
    }
    void journalRowsSurvive()
    {
        QFETCH(bool, killed);
        auto w = start({});
        const QString log = m_folder->path(u"Log"_s);
        if (!killed) {
            QVERIFY(QDir(log).removeRecursively());
            m_folder->write(u"Log"_s, {}); // a file where the folder goes
            w->setUnsavedFolders({log, m_folder->path(u"user"_s)});
        }
        const QDateTime at = m_platform.now();
        w->log(u"entry"_s);
        w->journal()->startRun(at, u"RING"_s);
        w->journal()->addUnit(1, u"UNIT 1"_s, u"101"_s, u"4"_s);
        w->journal()->sent(1);
        const QByteArray row =
            at.toString(u"yyyy-MM-ddTHH:mm:ss"_s).toLatin1() + ",RING,UNIT 1,101,4,,,no report,,\r\n";
        if (killed) {
            w.reset(); // never closed
            QVERIFY(!QFile::exists(log + u"/24-07-26-Runs.csv"_s));
            w = std::make_unique<frmVorn>(m_platform);
        } else {
            w->close();
        }
        const QString where = killed ? u"Log/24-07-26-"_s : u"user/unsaved/24-07-26-"_s;
        QCOMPARE(m_folder->read(where + u"Runs.csv"_s), RunJournal::Header + row);
        QCOMPARE(m_folder->read(where + u"Log.txt"_s), "entry\r\n");
    }

    // A unit's settings from its panel: OK only for a UID of its own and a size that fits; what is stored the
    // panel, the count box and the UID map follow at once.
    void unitSettings_data()
    {
        QTest::addColumn<QString>("uid");
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("problem"); // empty: OK stores
        const QString notAnAddress = u"The UID is a whole number from 1 to 2147483647"_s;
        QTest::newRow("a UID of its own") << u"107"_s << u"2.5 mm"_s << QString();
        QTest::newRow("UNIT 2's UID written otherwise") << u"0102"_s << u"2.5"_s << u"UID 0102 is UNIT 2's"_s;
        QTest::newRow("0 reaches every unit") << u"0"_s << u"2.5"_s << notAnAddress;
        QTest::newRow("empty size") << u"107"_s << QString() << u"The SIZE is not empty"_s;
        QTest::newRow("260 characters") << u"107"_s << QString(260, u'x') << u"The SIZE takes at most 259 characters"_s;
        QTest::newRow("a full disk: said, nothing changes") << u"107"_s << u"2.5 mm"_s << u"full"_s;
    }
    void unitSettings()
    {
        QFETCH(QString, uid);
        QFETCH(QString, size);
        QFETCH(QString, problem);
        auto w = start(Three + "103\r\nINIT=ID:TSL SN-1\r\n");
        w->show();
        dUnit *panel = w->unitPanel(3);
        panel->setFocus();
        QTest::keyClick(panel, Qt::Key_F10, Qt::ShiftModifier);
        QAction *offered = panel->contextMenu()->actions().value(0);
        QVERIFY(panel->contextMenu()->isVisible());
        QCOMPARE(offered->text(), u"UNIT 3 settings..."_s);
        offered->trigger();
        auto *dialog = w->findChild<QDialog *>(u"UnitSettingsDialog"_s);
        QVERIFY(dialog);
        auto *uidBox = dialog->findChild<QLineEdit *>(u"txtUid"_s);
        QCOMPARE(uidBox->selectedText(), u"103"_s); // ready to be typed over
        QCOMPARE(dialog->findChild<QLineEdit *>(u"txtInit"_s)->text(), u"ID:TSL SN-1"_s);
        QTest::keyClicks(uidBox, uid);
        dialog->findChild<QLineEdit *>(u"txtSize"_s)->setText(size);
        const bool full = problem == u"full"_s;
        QCOMPARE(dialog->findChild<QLabel *>(u"lblProblem"_s)->text(), full ? QString() : problem);
        if (full) {
            onFullDisk([&] { QTest::keyClick(dialog, Qt::Key_Return); });
            QCOMPARE(w->statusText(), u"UNIT 3 settings not stored: Vorn.ini could not be written"_s);
        } else {
            QTest::keyClick(dialog, problem.isEmpty() ? Qt::Key_Return : Qt::Key_Escape);
        }
        QTRY_VERIFY(!w->findChild<QDialog *>(u"UnitSettingsDialog"_s));
        const QString shown = problem.isEmpty() ? uid : u"103"_s;
        QCOMPARE(TestFolder::stored(Setting(Key::Uid, 3)), shown);
        QCOMPARE(panel->Tag(), shown);
        QCOMPARE(w->countTag(3), shown);
        QCOMPARE(w->unitByUID(shown), 3);
        QCOMPARE(w->unitByUID(u"103"_s).has_value(), !problem.isEmpty());
        QCOMPARE(panel->caption2(), u"SIZE :"_s + (problem.isEmpty() ? size : u"1.0"_s));
    }

    // The console's settings: more units show at once, fewer at the next start, a new port is probed.
    void consoleSettings_data()
    {
        QTest::addColumn<int>("units");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("shown");
        QTest::addColumn<QString>("status");
        QTest::newRow("more units") << 7 << u"7"_s << 7 << u"Console settings stored"_s;
        QTest::newRow("fewer units") << 2 << u"7"_s << 3 << u"The number of units takes effect at the next start"_s;
        QTest::newRow("another port, typed") << 3 << u"9"_s << 3 << u"Looking for the controller on Port 9"_s;
    }
    void consoleSettings()
    {
        QFETCH(int, units);
        QFETCH(QString, port);
        auto w = start(Three + "103\r\n");
        w->show();
        QTRY_VERIFY(!w->isSearching()); // nothing answers on port 7
        for (QAction *action : w->findChild<QLabel *>(u"lblStatus"_s)->actions())
            if (action->text() == u"Console settings..."_s)
                action->trigger();
        auto *dialog = w->findChild<QDialog *>(u"ConsoleSettingsDialog"_s);
        QVERIFY(dialog);
        dialog->findChild<QSpinBox *>(u"spnUnits"_s)->setValue(units);
        dialog->findChild<QComboBox *>(u"cboPort"_s)->setEditText(port);
        QTest::keyClick(dialog, Qt::Key_Return);
        QTEST(w->unitCount(), "shown");
        QTEST(w->statusText(), "status");
        QCOMPARE(TestFolder::stored(Setting(Key::NoUnits)), QString::number(units));
        QCOMPARE(TestFolder::stored(Setting(Key::CommPort)), port);
        QCOMPARE(w->unitPanel(units) && w->unitPanel(units)->isVisible(), true);
    }

    // Neither dialog opens while a search or a dispense run is going.
    void settingsNotDuringARun()
    {
        auto w = start(Three + "103\r\n");
        m_folder->write(u"Vorn2.ini"_s, Rig::Catalogue);
        PtyPeer peer;
        QVERIFY(peer.linkAs(m_folder->dir.path(), 7));
        peer.greetProbes("Tessaloran\r\n");
        QStringList said;
        const auto tryBoth = [&] {
            w->openUnitSettings(1);
            w->openConsoleSettings();
            said << w->statusText();
        };
        QTRY_VERIFY(w->isSearching());
        tryBoth();
        QTRY_VERIFY(!w->isSearching());
        w->setCountText(1, u"3"_s);
        w->designs().cmdDispense_Click();
        tryBoth(); // the run pauses after its line
        m_platform.settle();
        QVERIFY(!w->designs().isDispensing());
        QCOMPARE(said,
                 (QStringList{u"Settings cannot be changed while the controller is being looked for"_s,
                              u"Settings cannot be changed during a dispense run"_s}));
        QVERIFY(w->findChildren<QDialog *>().isEmpty());
    }

    // The pane keeps the newest lines, within its bounds.
    void paneKeepsTheNewest()
    {
        MessagePane pane;
        for (int i = 0; i < 10600; ++i) {
            pane.prepend(QString::number(i) + u"\r\n"_s);
            if (i >= 10500) // in several passes too
                pane.flush();
        }
        QCOMPARE(pane.lineCount(), MessagePane::MaxLines);
        QCOMPARE(pane.text().section(u'\n', 0, 0), u"10599"_s);
        // A line of a megabyte shows its start; long lines fill the character bound first.
        pane.clearOut();
        for (int i = 0; i < 400; ++i)
            pane.prepend(QString(i ? MessagePane::MaxLineLength : 1 << 20, u'y') + u"\r\n"_s);
        pane.flush();
        QCOMPARE(pane.text().section(u'\n', 0, 0).size(), MessagePane::MaxLineLength);
        QVERIFY(pane.document()->characterCount() <= MessagePane::MaxCharacters);
    }

private:
    FakePlatform m_platform;
    std::optional<TestFolder> m_folder;
};

QTEST_MAIN(tst_frmVorn)
#include "tst_frmVorn.moc"
