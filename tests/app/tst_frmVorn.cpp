#include "DesignBook.h"
#include "FullDisk.h"
#include "MessagePane.h"
#include "RunJournal.h"
#include "TestFolder.h"
#include "dUnit.h"
#include "frmVorn.h"

#include <QDir>
#include <QLineEdit>
#include <QScrollBar>

using namespace Qt::Literals::StringLiterals;
using SettingsSchema::Key;
using SettingsSchema::Setting;

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
    void storedPosition_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QRectF>("twips");
        QTest::newRow("as stored") << QByteArray("Left=150\r\nwidth=12000\r\nheight=9000\r\n")
                                   << QRectF(150, 0, 12000, 9000);
        QTest::newRow("off every screen, negative height: the defaults")
            << QByteArray("Left=2000000000\r\nTop=2000000000\r\nheight=-1\r\n") << QRectF(0, 0, 18000, 11000);
    }
    void storedPosition()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QRectF, twips);
        auto w = start("[Settings]\r\n" + ini);
        const QRectF shown(w->twipsLeft(), w->twipsTop(), w->twipsWidth(), w->twipsHeight());
        // As exact as one pixel (15 twips) allows.
        QVERIFY2(
            (shown.topLeft() - twips.topLeft()).manhattanLength() < 15 && qAbs(shown.width() - twips.width()) < 15
                && qAbs(shown.height() - twips.height()) < 15,
            qPrintable(u"%1 %2 %3 %4"_s.arg(shown.left()).arg(shown.top()).arg(shown.width()).arg(shown.height())));
        w->close(); // stores where the window really was
        QCOMPARE(TestFolder::stored(Setting(Key::Left)), QString::number(twips.left()));
    }

    // Nothing of a bad file is lost; one the console cannot read is never rewritten, and the operator is told.
    void badSettingsFiles_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("units");
        QTest::addColumn<bool>("unreadable");
        QByteArray garbage(64 * 1024, '\0');
        quint32 x = 12345;
        for (char &c : garbage)
            c = char((x = x * 1103515245u + 12345u) >> 24);
        QTest::newRow("binary garbage with NULs") << garbage << 5 << false;
        QTest::newRow("a 1 MB line") << QByteArray("[Settings]\r\nNoUnits=3\r\n" + QByteArray(1 << 20, 'x') + "\r\n")
                                     << 3 << false;
        QTest::newRow("a NoUnits no screen could hold")
            << QByteArray("[Settings]\r\nNoUnits=1000000000\r\n") << 100 << false;
        QTest::newRow("saved as UTF-16 without a byte-order mark") << QByteArray("[\0S\0]\0\r\0\n\0", 10) << 5 << true;
    }
    void badSettingsFiles()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, units);
        QFETCH(bool, unreadable);
        {
            auto w = start(ini);
            QCOMPARE(w->NoUnits(), units);
            QCOMPARE(w->unitPanel(1)->caption1(), u"UNIT 1"_s);
            if (unreadable) {
                QCOMPARE(w->statusText(), u"Vorn.ini could not be read: using defaults"_s);
                QVERIFY(w->pane().text().contains(w->statusText()));
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
            w->LOG(u"a"_s);
            QCOMPARE(w->statusText(), notSaved); // within the second
            m_platform.Sleep(1000);
            w->LOG(u"b"_s);
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
        w->LOG(u"entry"_s);
        w->journal()->startRun(at, u"RING"_s);
        w->journal()->addUnit(1, u"UNIT 1"_s, u"101"_s, u"4"_s);
        w->journal()->sent(1);
        const QByteArray row =
            at.toString(u"yyyy-MM-ddTHH:mm:ss"_s).toLatin1() + ",RING,UNIT 1,101,4,,,no report,,\r\n";
        if (killed) {
            w.reset(); // never closed
            QVERIFY(!QFile::exists(log + u"/24-07-26-Runs.csv"_s));
            w = std::make_unique<frmVorn>(m_platform);
            QVERIFY(!QFile::exists(log + u"/.pending-Runs.csv"_s));
        } else {
            w->close();
        }
        const QString where = killed ? u"Log/24-07-26-"_s : u"user/unsaved/24-07-26-"_s;
        QCOMPARE(m_folder->read(where + u"Runs.csv"_s), RunJournal::Header + row);
        QCOMPARE(m_folder->read(where + u"Log.txt"_s), "entry\r\n");
    }

    void paneWrapsAndKeepsTheNewest()
    {
        auto w = start({});
        w->show();
        w->prependOut(QString(3000, u'w') + u"\r\n"_s); // a long answer wraps: nothing of it hides to the right
        w->pane().flush();
        QCOMPARE(w->pane().horizontalScrollBar()->maximum(), 0);

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
