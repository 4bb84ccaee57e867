#include "records/JournalReader.h"
#include "records/RunJournal.h"
#include "report/ShiftReportWindow.h"

#include <QDateEdit>
#include <QDir>
#include <QLabel>
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
        // A month of journals, a run a day of as many stones as the day of the month.
        QVERIFY(QDir().mkpath(journal::logFolder(m_dir.path())));
        for (QDate day = Today.addDays(-29); day <= Today; day = day.addDays(1)) {
            QFile f(journal::fileFor(m_dir.path(), day));
            QVERIFY(f.open(QIODevice::WriteOnly));
            const QByteArray n = QByteArray::number(day.day());
            f.write(RunJournal::Header + day.toString(u"yyyy-MM-ddT09:00:00"_s).toLatin1() + ",RING,UNIT 1,101," + n
                    + "," + n + ",,complete,,\r\n");
        }
    }

    // A range runs forward and spans at most a year, however the operator moves its ends.
    void pickerKeepsARange_data()
    {
        QTest::addColumn<bool>("moveFrom");
        QTest::addColumn<QDate>("to"); // where the end moved goes, and where the range shown starts
        QTest::addColumn<QDate>("until");
        QTest::newRow("from moved back a week") << true << Today.addDays(-7) << Today;
        QTest::newRow("from moved past the last day") << true << Today.addDays(3) << Today.addDays(3);
        QTest::newRow("the last day moved before the first") << false << Today.addDays(-2) << Today.addDays(-2);
        QTest::newRow("from moved two years back") << true << Today.addYears(-2) << Today.addYears(-2).addDays(365);
    }
    void pickerKeepsARange()
    {
        QFETCH(bool, moveFrom);
        QFETCH(QDate, to);
        auto w = open();
        w->findChild<QDateEdit *>(moveFrom ? u"dateFrom"_s : u"dateTo"_s)->setDate(to);
        QTRY_VERIFY(!w->isLoading());
        QCOMPARE(w->summary().from, to);
        QTEST(w->summary().to, "until");
        QTEST(w->findChild<QDateEdit *>(u"dateTo"_s)->date(), "until");
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
