#include "Files.h"
#include "records/JournalReader.h"
#include "records/RunJournal.h"
#include "report/ShiftReportWindow.h"
#include "settings/mSettings.h"

#include <QAbstractAxis>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLegend>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDate Today(2026, 12, 6);

} // namespace

// The report window's day picker and its reading of the journal off the window thread.
class tst_ShiftReportWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<ShiftReportWindow> open()
    {
        auto w = std::make_unique<ShiftReportWindow>(m_dir.path(), [] { return QDateTime(Today, QTime(14, 5)); });
        [&] { QTRY_VERIFY(!w->isLoading()); }();
        return w;
    }

private slots:
    void initTestCase()
    {
        // A month of journals, a run a day of as many stones as the day of the month; today a unit with a
        // long name too.
        QVERIFY(QDir().mkpath(journal::logFolder(m_dir.path())));
        for (QDate day = Today.addDays(-29); day <= Today; day = day.addDays(1)) {
            const QByteArray n = QByteArray::number(day.day());
            QByteArray rows = RunJournal::Header + day.toString(u"yyyy-MM-ddT09:00:00"_s).toLatin1()
                + ",RING,UNIT 1,101," + n + "," + n + ",,complete,,\r\n";
            if (day == Today)
                rows += "2026-12-06T13:30:00,,UNIT 12 LEFT FEEDER,112,1000,,,not sent,,\r\n";
            if (day == Today.addDays(-3)) // a week asks for more stones than a day's numbers are wide
                rows += "2026-12-03T13:30:00,,UNIT 1,101,1234567,,,not sent,,\r\n";
            QVERIFY(writeFile(journal::fileFor(m_dir.path(), day), rows));
        }
        mSettings::setProgramFolder(m_dir.path());
        QVERIFY(writeFile(m_dir.filePath(u"Vorn.ini"_s), "[MQTT]\r\nStation=press-3\r\n"));
    }

    // The days are picked at their ends; a range runs forward and spans at most a year, however the operator
    // moves them. The window names the station, the days and the shift's hours; its charts read without it; its
    // columns keep their widths from today to the days picked, and a unit's name is never cut, however small
    // the window.
    void pickedDays_data()
    {
        QTest::addColumn<bool>("moveFrom"); // else the last day
        QTest::addColumn<QDate>("to"); // where the end moved goes, and where the range shown starts
        QTest::addColumn<QDate>("until");
        QTest::addColumn<QString>("who");
        QTest::addColumn<QStringList>("axes"); // the titles: the result chart's, then the stones chart's
        QTest::addColumn<int>("labels"); // under the stones chart
        const QString station = u"Station: press-3   "_s;
        const QStringList hours{u"unit"_s, u"runs"_s, u"hour of the day"_s, u"stones"_s},
            days{u"unit"_s, u"runs"_s, u"day"_s, u"stones"_s};
        QTest::newRow("today, every hour labelled")
            << true << Today << Today
            << station + u"Day: 26-12-06   Runs from 2026-12-06 09:00:00 to 2026-12-06 13:30:00"_s << hours << 24;
        QTest::newRow("from moved back six days: a week, every day labelled, the yield beside")
            << true << Today.addDays(-6) << Today
            << station + u"Days: 26-11-30 to 26-12-06 (7 days)   Runs from 2026-11-30 09:00:00 to 2026-12-06 13:30:00"_s
            << days << 7;
        QTest::newRow("from moved past the last day")
            << true << Today.addDays(3) << Today.addDays(3) << station + u"Day: 26-12-09   No runs"_s << hours << 24;
        QTest::newRow("the last day moved before the first")
            << false << Today.addDays(-2) << Today.addDays(-2)
            << station + u"Day: 26-12-04   Runs from 2026-12-04 09:00:00 to 2026-12-04 09:00:00"_s << hours << 24;
        QTest::newRow("from moved two years back: a year, a label a week")
            << true << Today.addYears(-2) << Today.addYears(-2).addDays(365)
            << station + u"Days: 24-12-06 to 25-12-06 (366 days)   No runs"_s << days << 53;
    }
    void pickedDays()
    {
        QFETCH(bool, moveFrom);
        QFETCH(QDate, to);
        QFETCH(QDate, until);
        QFETCH(QStringList, axes);
        auto w = open();
        w->resize(400, 300);
        auto *table = w->findChild<QTableWidget *>(u"unitTable"_s);
        const QByteArray today = table->horizontalHeader()->saveState(); // the widths, among the rest
        w->findChild<QDateEdit *>(moveFrom ? u"dateFrom"_s : u"dateTo"_s)->setDate(to);
        QTRY_VERIFY(!w->isLoading());
        QCOMPARE(w->summary().from, to);
        QCOMPARE(w->summary().to, until);
        QCOMPARE(w->findChild<QDateEdit *>(u"dateTo"_s)->date(), until);
        QCOMPARE(table->horizontalHeader()->saveState(), today);
        QVERIFY(table->columnWidth(0) >= table->fontMetrics().horizontalAdvance(u"UNIT 12 LEFT FEEDER"_s));
        QCOMPARE(table->textElideMode(), Qt::ElideNone);
        QTEST(w->findChild<QLabel *>(u"lblWho"_s)->text(), "who");
        QStringList titles;
        QChart *results = w->findChild<QChartView *>(u"resultChart"_s)->chart();
        QChart *stones = w->findChild<QChartView *>(u"countedChart"_s)->chart();
        for (QChart *chart : {results, stones})
            for (Qt::Orientation o : {Qt::Horizontal, Qt::Vertical})
                titles << chart->axes(o).front()->titleText();
        QCOMPARE(titles, axes);
        QTEST(int(qobject_cast<QCategoryAxis *>(stones->axes(Qt::Horizontal).front())->count()), "labels");
        QVERIFY(results->legend()->reverseMarkers()); // the legend reads as the stack, top first
        QCOMPARE(w->findChild<QChartView *>(u"yieldChart"_s)->isVisibleTo(w.get()), to < until);
    }

    // "Save PDF" asks where, with the default name and folder offered; the note line says what came of it,
    // and "Open PDF" offers the file to the desktop's viewer. No box of its own, ever.
    void savePdf_data()
    {
        QTest::addColumn<QString>("answer"); // the dialog's; <cancel>: cancelled
        QTest::addColumn<bool>("viewer"); // the desktop opens it
        QTest::addColumn<QString>("file"); // saved, relative to the folder; empty: none
        QTest::addColumn<QString>("note");
        QTest::newRow("the default taken, opened")
            << u"<default>"_s << true << u"Log/26-12-06-Report.pdf"_s << u"Saved <folder>/Log/26-12-06-Report.pdf"_s;
        QTest::newRow("a name typed without .pdf, no viewer")
            << u"<folder>/week"_s << false << u"week.pdf"_s
            << u"<folder>/week.pdf could not be opened: the desktop has no viewer for it"_s;
        QTest::newRow("cancelled") << u"<cancel>"_s << true << QString() << QString();
        QTest::newRow("a folder that cannot be made")
            << u"<folder>/Vorn.ini/x.pdf"_s << true << QString() << u"Not saved: <folder>/Vorn.ini/x.pdf: "_s;
    }
    void savePdf()
    {
        QFETCH(QString, answer);
        QFETCH(bool, viewer);
        QFETCH(QString, file);
        QFETCH(QString, note);
        // The window names files as the platform writes them: the whole note in native separators.
        note = QDir::toNativeSeparators(note.replace(u"<folder>"_s, m_dir.path()));
        auto w = open();
        QString offered;
        QList<QUrl> opened;
        w->setDesktop({[&](QWidget *, const QString &suggested) {
                           offered = suggested;
                           return answer == u"<cancel>" ? QString()
                               : answer == u"<default>" ? suggested
                                                        : QString(answer).replace(u"<folder>"_s, m_dir.path());
                       },
                       [&](const QUrl &url) {
                           opened << url;
                           return viewer;
                       }});
        auto *openButton = w->findChild<QPushButton *>(u"cmdOpenPdf"_s);
        QVERIFY(!openButton->isEnabled());
        QTest::mouseClick(w->findChild<QPushButton *>(u"cmdSavePdf"_s), Qt::LeftButton);
        QCOMPARE(offered, m_dir.filePath(u"Log/26-12-06-Report.pdf"_s));
        QCOMPARE(openButton->isEnabled(), !file.isEmpty());
        if (!file.isEmpty()) {
            QVERIFY(QFile::exists(m_dir.filePath(file)));
            QTest::mouseClick(openButton, Qt::LeftButton);
            QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(m_dir.filePath(file))});
            QFile::remove(m_dir.filePath(file));
        }
        const QString text = w->findChild<QLabel *>(u"lblNote"_s)->text();
        QVERIFY2(note.isEmpty() ? text.isEmpty() : text.startsWith(note), qPrintable(text));
    }

    // Days picked while a month is being read: what is shown is the last pick, never the month read late.
    void thePickWhileReadingWins()
    {
        auto w = open();
        QCOMPARE(w->summary().total.counted, 6.0);
        w->showDays(Today.addDays(-29), Today);
        QVERIFY(w->isLoading());
        w->showDays(Today.addDays(-1), Today.addDays(-1));
        QTRY_VERIFY(!w->isLoading());
        QCOMPARE(w->summary().period(), u"26-12-05"_s);
        QCOMPARE(w->summary().total.counted, 5.0);
        w->showDays(Today.addDays(-29), Today); // 7 + 8 + ... + 30 + 1 + ... + 6
        w.reset(); // closed while reading: the reading stops, nothing is left running
        w = open();
        w->showDays(Today.addDays(-29), Today);
        QTRY_VERIFY(!w->isLoading());
        QCOMPARE(w->summary().total.counted, 21.0 + (7 + 30) * 24 / 2);
        QCOMPARE(w->summary().counted.size(), 30);
        QCOMPARE(w->findChild<QLabel *>(u"lblNote"_s)->text(), QString());
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(tst_ShiftReportWindow)
#include "tst_ShiftReportWindow.moc"
