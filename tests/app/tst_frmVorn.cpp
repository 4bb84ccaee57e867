#include "Comm1.h"
#include "DailyLog.h"
#include "MessagePane.h"
#include "SettingsSchema.h"
#include "TestPlatform.h"
#include "ctxPatchButton.h"
#include "dUnit.h"
#include "frmVorn.h"
#include "mSettings.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using SettingsSchema::Key;
using SettingsSchema::Setting;

// Each test starts the window on a program folder of its own.
class Fixture
{
public:
    explicit Fixture(const QByteArray &ini = {})
    {
        if (!ini.isNull()) {
            QFile f(dir.filePath(u"Vorn.ini"_s));
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
        mSettings::resetPaths();
        mSettings::setProgramFolder(dir.path());
    }
    QByteArray settings() const
    {
        QFile f(dir.filePath(u"Vorn.ini"_s));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // What the file holds, without writing anything back.
    static QString read(const Setting &s)
    {
        return mSettings::ReadIni(s.path(), s.section(), s.key(), u"<missing>"_s, false);
    }

    QTemporaryDir dir;
    TestPlatform platform{dir.path()};
};

// Twips on screen are as exact as one pixel (15 twips at 96 DPI) allows.
static bool nearTwips(double actual, double expected)
{
    return qAbs(actual - expected) < 15;
}

class tst_frmVorn : public QObject
{
    Q_OBJECT
private slots:
    void firstStartWithEmptyFolder();
    void panelPositions_data();
    void panelPositions();
    void resizingCreatesNoDuplicates();
    void storedPosition_data();
    void storedPosition();
    void settingsThatAreNotNumbers();
    void badSettingsFiles_data();
    void badSettingsFiles();
    void unreadableSettingsAreLeftAlone();
    void closeSavesPosition();
    void statusMessageReplacesTheOld();
    void statusDurations_data();
    void statusDurations();
    void statusExpiryTurnsAnsweredUnitsDarkGreen();
    void filterModeToggleIsStored();
    void filterModeAtStart_data();
    void filterModeAtStart();
    void paneShowsNewestOnTopAndClears();
    void paneKeepsTheNewestLines();
    void paneCutsLinesNoOneCanRead();
    void logGoesToTheProgramFolder();
    void sigtermClosesLikeTheOperator();
};

void tst_frmVorn::firstStartWithEmptyFolder()
{
    Fixture fx;
    frmVorn w(fx.platform);
    w.load();
    QCOMPARE(w.windowTitle(), u"TESSALORAN Dispenser"_s);
    QVERIFY(nearTwips(w.twipsWidth(), 18000));
    QVERIFY(nearTwips(w.twipsHeight(), 11000));
    QCOMPARE(w.NoUnits(), 5);
    QCOMPARE(w.unitPanel(0)->caption1(), u"All Units"_s);
    for (int n = 1; n <= 5; ++n) {
        dUnit *u = w.unitPanel(n);
        QVERIFY(u);
        QCOMPARE(u->caption1(), u"UNIT %1"_s.arg(n));
        QCOMPARE(u->caption2(), u"SIZE :1.0"_s);
        QCOMPARE(u->caption3(), QString());
        QCOMPARE(u->caption4(), QString());
        QCOMPARE(u->Tag(), u"100"_s);
        QCOMPARE(u->State(), dUnit::Idle);
    }
    QVERIFY(!w.unitPanel(6));
    // Five units share UID 100: the first keeps the key.
    QCOMPARE(w.UnitsByUID().size(), 1);
    QCOMPARE(w.UnitsByUID().value(u"U100"_s), 1);
    QCOMPARE(w.countText(1), std::optional<QString>(u"1"_s));
    QCOMPARE(w.countText(2), std::optional<QString>(u"0"_s));
    QCOMPARE(w.countTag(5), std::optional<QString>(u"100"_s));
    QCOMPARE(w.countText(11), std::nullopt);

    // The file documents itself: every key of Vorn.ini that a start reads is there with its default, in the
    // order of the table, the window's section first and then one section per unit.
    QByteArray expected;
    for (int n = 0; n <= 5; ++n) {
        QByteArray header, keys;
        for (const SettingsSchema::Row &row : SettingsSchema::Table) {
            if (row.file != SettingsSchema::File::Vorn || !row.writeBack || !row.key || row.perUnit != (n > 0))
                continue;
            header = '[' + QByteArray(row.section) + (n ? QByteArray::number(n) : QByteArray()) + "]\r\n";
            keys += QByteArray(row.key) + '=' + row.defaultValue + "\r\n";
        }
        expected += (n ? "\r\n" : "") + header + keys;
    }
    QCOMPARE(fx.settings(), expected);
    QVERIFY(!QFile::exists(fx.dir.filePath(u"Vorn3.ini"_s)));
}

void tst_frmVorn::panelPositions_data()
{
    QTest::addColumn<int>("unit");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    // The "All Units" panel is 2295 x 2775: columns 2495 apart, rows 3175 apart, from the second column.
    QTest::newRow("unit 1") << 1 << 2495.0 << 0.0;
    QTest::newRow("unit 5") << 5 << 5 * 2495.0 << 0.0;
    QTest::newRow("unit 6 starts the second row") << 6 << 2495.0 << 3175.0;
    QTest::newRow("unit 10") << 10 << 5 * 2495.0 << 3175.0;
    QTest::newRow("unit 11 starts the third row") << 11 << 2495.0 << 6350.0;
    QTest::newRow("unit 12") << 12 << 2 * 2495.0 << 6350.0;
}

void tst_frmVorn::panelPositions()
{
    QFETCH(int, unit);
    QFETCH(double, left);
    QFETCH(double, top);
    Fixture fx("[Settings]\r\nNoUnits=12\r\n");
    frmVorn w(fx.platform);
    w.load();
    QCOMPARE(w.NoUnits(), 12);
    dUnit *u = w.unitPanel(unit);
    QVERIFY(u);
    // One pixel is 15 twips: positions are as exact as the screen allows.
    const double px = 15;
    QVERIFY2(qAbs(u->x() * px - left) < px, qPrintable(QString::number(u->x() * px)));
    QVERIFY2(qAbs(u->y() * px - top) < px, qPrintable(QString::number(u->y() * px)));
    QCOMPARE(u->size(), w.unitPanel(0)->size());
    QCOMPARE(w.countTag(unit).has_value(), unit <= 10);
}

void tst_frmVorn::resizingCreatesNoDuplicates()
{
    Fixture fx("[Settings]\r\nNoUnits=3\r\n[UNIT1]\r\nUID=101\r\n[UNIT2]\r\nUID=102\r\n[UNIT3]\r\nUID=103\r\n");
    frmVorn w(fx.platform);
    w.load();
    w.show();
    for (int i = 0; i < 5; ++i) {
        w.resize(800 + 10 * i, 600 + 10 * i);
        QCoreApplication::processEvents();
    }
    QCOMPARE(w.findChildren<dUnit *>().size(), 4);
    QCOMPARE(w.UnitsByUID().size(), 3);
    QCOMPARE(w.unitByUID(u"102"_s), std::optional<int>(2));

    // More units in the file show at the next resize; the counts shown are not wiped by it.
    Setting(Key::NoUnits).write(u"4"_s);
    w.unitPanel(2)->setCaption3(u"Count: 25"_s);
    w.resize(820, 620);
    QCoreApplication::processEvents();
    QCOMPARE(w.findChildren<dUnit *>().size(), 5);
    QCOMPARE(w.unitPanel(2)->caption3(), u"Count: 25"_s);
}

void tst_frmVorn::storedPosition_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::newRow("as stored") << QByteArray("Left=150\r\nwidth=12000\r\nheight=9000\r\n") << 150.0 << 12000.0
                               << 9000.0;
    QTest::newRow("negative height and left") << QByteArray("Left=-300\r\nheight=-1\r\n") << 0.0 << 18000.0 << 11000.0;
    QTest::newRow("zero width") << QByteArray("width=0\r\n") << 0.0 << 18000.0 << 11000.0;
    QTest::newRow("not numbers") << QByteArray("Left=abc\r\nwidth=wide\r\n") << 0.0 << 18000.0 << 11000.0;
    QTest::newRow("off every screen: top left of the primary screen")
        << QByteArray("Left=2000000000\r\nTop=2000000000\r\n") << 0.0 << 18000.0 << 11000.0;
}

void tst_frmVorn::storedPosition()
{
    QFETCH(QByteArray, ini);
    QFETCH(double, left);
    QFETCH(double, width);
    QFETCH(double, height);
    Fixture fx("[Settings]\r\n" + ini);
    frmVorn w(fx.platform);
    w.load();
    QCOMPARE(w.twipsLeft(), left);
    QCOMPARE(w.twipsTop(), 0.0);
    QVERIFY(nearTwips(w.twipsWidth(), width));
    QVERIFY2(nearTwips(w.twipsHeight(), height), qPrintable(QString::number(w.twipsHeight())));
    // The close stores where the window really was.
    w.close();
    QCOMPARE(fx.read(Setting(Key::Left)), QString::number(left));
    QCOMPARE(fx.read(Setting(Key::Top)), u"0"_s);
}

void tst_frmVorn::settingsThatAreNotNumbers()
{
    Fixture fx("[Settings]\r\nNoUnits=many\r\nComm Port=seven\r\n");
    frmVorn w(fx.platform);
    w.load();
    QCOMPARE(w.NoUnits(), 0);
    QCOMPARE(w.findChildren<dUnit *>().size(), 1); // only "All Units"
    QCOMPARE(w.comm().CommPort(), 1); // unchanged
}

void tst_frmVorn::badSettingsFiles_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<int>("units");
    QByteArray garbage;
    quint32 x = 12345;
    for (int i = 0; i < 64 * 1024; ++i) {
        x = x * 1103515245u + 12345u;
        garbage.append(char(x >> 24));
    }
    QTest::newRow("binary garbage with NULs") << garbage << 5;
    QTest::newRow("a 1 MB line") << QByteArray("[Settings]\r\nNoUnits=3\r\n" + QByteArray(1 << 20, 'x') + "\r\n") << 3;
    QByteArray many;
    for (int i = 0; i < 100000; ++i)
        many += "[S" + QByteArray::number(i) + "]\r\nk=v\r\n";
    QTest::newRow("100,000 sections") << many << 5;
    QTest::newRow("a NoUnits no screen could hold") << QByteArray("[Settings]\r\nNoUnits=1000000000\r\n") << 100;
}

void tst_frmVorn::badSettingsFiles()
{
    QFETCH(QByteArray, ini);
    QFETCH(int, units);
    Fixture fx(ini);
    {
        frmVorn w(fx.platform);
        w.load();
        QCOMPARE(w.NoUnits(), units);
        QCOMPARE(w.unitPanel(1)->caption1(), u"UNIT 1"_s);
        w.close();
    }
    // The defaults were written back and the window's position stored, and nothing of the file was lost.
    const QList<QByteArray> before = ini.split('\n');
    const QList<QByteArray> after = fx.settings().split('\n');
    qsizetype at = 0;
    for (qsizetype i = 0; i + 1 < before.size(); ++i) { // every complete line, in its order
        while (at < after.size() && after.at(at) != before.at(i))
            ++at;
        QVERIFY2(at < after.size(), qPrintable(u"line %1 lost"_s.arg(i)));
    }
    QCOMPARE(fx.read(Setting(Key::Uid, 1)), u"100"_s);
}

void tst_frmVorn::unreadableSettingsAreLeftAlone()
{
    // Saved by an editor as UTF-16: the console runs on defaults, says so, and never rewrites the file.
    const QByteArray utf16 = QByteArray("\xff\xfe[\0S\0]\0\r\0\n\0", 12);
    Fixture fx(utf16);
    {
        frmVorn w(fx.platform);
        w.load();
        QCOMPARE(w.statusText(), u"Vorn.ini could not be read: using defaults"_s);
        QVERIFY(w.pane().text().contains(w.statusText()));
        QCOMPARE(w.NoUnits(), 5);
        w.close();
    }
    QCOMPARE(fx.settings(), utf16);
}

void tst_frmVorn::closeSavesPosition()
{
    Fixture fx;
    {
        frmVorn w(fx.platform);
        w.load();
        w.show();
        w.move(30, 45);
        w.resize(700, 500);
        QSignalSpy closed(&w, &frmVorn::closed);
        w.close();
        QCOMPARE(closed.count(), 1);
    }
    QCOMPARE(fx.read(Setting(Key::Left)), u"450"_s);
    QCOMPARE(fx.read(Setting(Key::Top)), u"675"_s);
    QCOMPARE(fx.read(Setting(Key::Width)), u"10500"_s);
    QCOMPARE(fx.read(Setting(Key::Height)), u"7500"_s);

    // The next start opens where the window was closed.
    frmVorn again(fx.platform);
    again.load();
    QCOMPARE(again.twipsWidth(), 10500.0);
    QCOMPARE(again.twipsLeft(), 450.0);
}

void tst_frmVorn::statusMessageReplacesTheOld()
{
    Fixture fx;
    frmVorn w(fx.platform);
    w.load();
    w.SetStatus(u"first"_s, 5);
    QCOMPARE(w.statusTimer().interval(), 5000);
    w.SetStatus(u"second"_s, 3);
    QCOMPARE(w.statusText(), u"second"_s);
    QCOMPARE(w.statusTimer().interval(), 3000);
    QVERIFY(w.statusTimer().isTicking());
}

void tst_frmVorn::statusDurations_data()
{
    QTest::addColumn<int>("secs");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("ticking");
    QTest::newRow("no duration: stays until replaced") << 0 << 0 << false;
    QTest::newRow("ten seconds") << 10 << 10000 << true;
    QTest::newRow("above the limit keeps the previous interval") << 66 << 3000 << true;
}

void tst_frmVorn::statusDurations()
{
    QFETCH(int, secs);
    QFETCH(int, interval);
    QFETCH(bool, ticking);
    Fixture fx;
    frmVorn w(fx.platform);
    w.load();
    w.SetStatus(u"before"_s, 3);
    w.SetStatus(u"message"_s, secs);
    QCOMPARE(w.statusTimer().interval(), interval);
    QVERIFY(w.statusTimer().isEnabled());
    QCOMPARE(w.statusTimer().isTicking(), ticking);
    QCOMPARE(w.statusText(), u"message"_s);
}

void tst_frmVorn::statusExpiryTurnsAnsweredUnitsDarkGreen()
{
    Fixture fx;
    frmVorn w(fx.platform);
    w.load();
    w.unitPanel(0)->setState(dUnit::Answered);
    w.unitPanel(2)->setState(dUnit::Idle);
    w.unitPanel(3)->setState(dUnit::Stuck);
    w.unitPanel(4)->setState(dUnit::Answered);
    w.SetStatus(u"STUCK STONE ERROR- REMOVE MANUALLY"_s, 10);
    emit w.statusTimer().timeout();
    QCOMPARE(w.statusText(), QString());
    QVERIFY(!w.statusTimer().isEnabled());
    QCOMPARE(w.unitPanel(2)->State(), dUnit::Idle);
    QCOMPARE(w.unitPanel(3)->State(), dUnit::AnsweredEarlier);
    QCOMPARE(w.unitPanel(4)->State(), dUnit::AnsweredEarlier);
    QCOMPARE(w.unitPanel(0)->State(), dUnit::Answered); // "All Units" is not touched

    // Making sure the timer runs keeps the interval of the last message.
    w.ensureStatusTimerRunning();
    QCOMPARE(w.statusTimer().interval(), 10000);
    QVERIFY(w.statusTimer().isTicking());
}

void tst_frmVorn::filterModeToggleIsStored()
{
    Fixture fx;
    frmVorn w(fx.platform);
    w.load();
    w.show();
    auto *cShow = w.findChild<ctxPatchButton *>(u"cShow"_s);
    QVERIFY(cShow);
    QCOMPARE(w.filterMode(), u"A"_s);
    QTest::mouseClick(cShow, Qt::LeftButton, {}, cShow->rect().center());
    QCOMPARE(w.filterMode(), u"F"_s);
    QCOMPARE(cShow->Style(), 10);
    QCOMPARE(cShow->toolTip(), u"Show Important Messages"_s);
    QCOMPARE(fx.read(Setting(Key::ShowMessages)), u"F"_s);
    QTest::mouseClick(cShow, Qt::LeftButton, {}, cShow->rect().center());
    QCOMPARE(w.filterMode(), u"A"_s);
    QCOMPARE(cShow->Style(), 8);
    QCOMPARE(cShow->toolTip(), u"Show All Messages"_s);
    QCOMPARE(fx.read(Setting(Key::ShowMessages)), u"A"_s);
}

void tst_frmVorn::filterModeAtStart_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("mode");
    QTest::newRow("A") << QByteArray("A") << u"A"_s;
    QTest::newRow("F") << QByteArray("F") << u"F"_s;
    QTest::newRow("lower case a") << QByteArray("a") << u"F"_s;
    QTest::newRow("empty") << QByteArray("") << u"F"_s;
}

void tst_frmVorn::filterModeAtStart()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, mode);
    Fixture fx("[Settings]\r\nShowMessages=" + stored + "\r\n");
    frmVorn w(fx.platform);
    w.load();
    QCOMPARE(w.filterMode(), mode);
}

void tst_frmVorn::paneShowsNewestOnTopAndClears()
{
    Fixture fx;
    frmVorn w(fx.platform);
    w.load();
    w.prependOut(u"\r\n"_s);
    w.prependOut(u"1\t101\tSent OK\r\n"_s);
    w.prependOut(u"2\t101\t[F]\t25\r\n"_s);
    QCOMPARE(w.pane().text(), u"2\t101\t[F]\t25\n1\t101\tSent OK\n\n"_s);
    w.prependOut(u"later"_s);
    QCOMPARE(w.pane().text().left(6), u"later2"_s);
    // A long answer wraps at the pane's width: nothing of it hides to the right.
    w.show();
    w.prependOut(QString(3000, u'w') + u"\r\n"_s);
    w.pane().flush();
    QCOMPARE(w.pane().horizontalScrollBar()->maximum(), 0);
    auto *clear = w.findChild<ctxPatchButton *>(u"cClearOut"_s);
    QCOMPARE(clear->Caption(), u"C"_s);
    QCOMPARE(clear->toolTip(), u"Clear Output"_s);
    w.cClearOut_Click();
    QCOMPARE(w.pane().text(), QString());
}

void tst_frmVorn::paneKeepsTheNewestLines()
{
    MessagePane pane;
    for (int i = 0; i < 10500; ++i)
        pane.prepend(QString::number(i) + u"\r\n"_s);
    pane.flush();
    for (int i = 10500; i < 10600; ++i) { // in several passes, too
        pane.prepend(QString::number(i) + u"\r\n"_s);
        pane.flush();
    }
    QCOMPARE(pane.lineCount(), MessagePane::MaxLines);
    const QStringList lines = pane.text().split(u'\n');
    QCOMPARE(lines.first(), u"10599"_s);
    QCOMPARE(lines.at(MessagePane::MaxLines - 2), u"601"_s);
}

void tst_frmVorn::paneCutsLinesNoOneCanRead()
{
    MessagePane pane;
    // Important-messages mode: answers run together on one line, the newest first, over many passes.
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < 5000; ++i)
            pane.prepend(u"%1|"_s.arg(pass * 5000 + i, 5, 10, QLatin1Char('0')));
        pane.flush();
    }
    QString top = pane.text().section(u'\n', 0, 0);
    QCOMPARE(top.size(), MessagePane::MaxLineLength);
    QVERIFY(top.startsWith(u"14999|14998|"_s));

    // A line of a megabyte with no line end, then ordinary lines: each shows at most its start.
    pane.clearOut();
    pane.prepend(QString(1 << 20, u'x') + u"\r\n"_s);
    pane.prepend(u"1\t101\t[F]\t25\r\n"_s);
    const QStringList lines = pane.text().split(u'\n');
    QCOMPARE(lines.at(0), u"1\t101\t[F]\t25"_s);
    QCOMPARE(lines.at(1), QString(MessagePane::MaxLineLength, u'x'));

    // Long lines fill the character bound before the line bound: the oldest give way.
    pane.clearOut();
    const QString line = QString(MessagePane::MaxLineLength, u'y') + u"\r\n"_s;
    for (int i = 0; i < 400; ++i)
        pane.prepend(line);
    pane.flush();
    QVERIFY(pane.document()->characterCount() <= MessagePane::MaxCharacters);
    QVERIFY(pane.lineCount() < 400);
}

void tst_frmVorn::logGoesToTheProgramFolder()
{
    Fixture fx;
    frmVorn w(fx.platform);
    fx.platform.clock = QDateTime(QDate(2024, 7, 26), QTime(12, 0));
    w.LOG(u">>LAST OK - UNIT0"_s);
    QFile f(fx.dir.filePath(u"Log/24-07-26-Log.txt"_s));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(">>LAST OK - UNIT0\r\n"));
}

void tst_frmVorn::sigtermClosesLikeTheOperator()
{
#ifndef Q_OS_UNIX
    QSKIP("Signals are a Unix matter");
#else
    Fixture fx("[Settings]\r\nLeft=-300\r\nComm Port=0\r\n");
    QProcess vorn;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    vorn.setProcessEnvironment(env);
    vorn.start(QStringLiteral(VORN_EXECUTABLE), {u"--dir"_s, fx.dir.path()});
    QVERIFY(vorn.waitForStarted());
    // Start-up has run once the layout pass has written its defaults.
    QTRY_VERIFY_WITH_TIMEOUT(fx.settings().contains("UID=100"), 20000);
    QTest::qWait(200);
    vorn.terminate(); // SIGTERM
    QVERIFY(vorn.waitForFinished(20000));
    QCOMPARE(vorn.exitStatus(), QProcess::NormalExit);
    QCOMPARE(fx.read(Setting(Key::Left)), u"0"_s); // the close wrote the real position
#endif
}

QTEST_MAIN(tst_frmVorn)
#include "tst_frmVorn.moc"
