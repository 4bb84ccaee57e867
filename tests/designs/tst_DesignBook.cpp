#include "FullDisk.h"
#include "TestFolder.h"
#include "designs/DesignBook.h"
#include "ninepatch/ctxPatchButton.h"

#include <QListWidget>

using namespace Qt::Literals::StringLiterals;

namespace {
const QByteArray StoredDesigns = "[Designs]\r\nRING=12,0,4,0,0\r\npendant=1,6,0,12,0\r\nSHORT=7,007\r\nBLANK=\r\n";
const QString NotAllowed = u"Design Name not allowed"_s;
QStringList listed(const QString &status)
{
    return status.isEmpty() ? QStringList() : QStringList{status};
}
} // namespace

class tst_DesignBook : public QObject
{
    Q_OBJECT

    QString rows() const
    {
        QStringList names;
        for (int i = 0; i < m_list->count(); ++i)
            names << m_list->item(i)->text();
        return names.join(u',');
    }

private slots:
    void init()
    {
        m_book.reset(); // before the window and host it refers to
        m_w.emplace(uidsFor(10), 3, true); // ten units: a design still holds five counts
        m_w->write(u"Vorn.ini"_s, StoredDesigns);
        QWidget *window = m_w->window.get();
        (m_list = new QListWidget(window))->setGeometry(200, 0, 200, 300);
        m_name = new QLineEdit(window);
        m_add = new ctxPatchButton(window);
        m_remove = new ctxPatchButton(window);
        m_book.emplace(m_w->host, m_w->sender, DesignBook::Controls{m_list, m_name, {}, m_add, m_remove});
        m_book->fillDesigns();
    }

    // A refused name leaves the list and the file as they were; a stored one adds the boxes of units 1 to 5.
    void add_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("status");
        QTest::newRow("leading zeros, blanks, an empty box")
            << u"abc"_s << u"12, 5 ,,007,4"_s << QByteArray("ABC=12,5,0,7,4") << QString();
        // Only what loading takes back is stored.
        for (const char *count : {"2.5", "-3", "1000000", "abc", "1e400"})
            QTest::addRow("count %s", count)
                << u"half"_s << u"1,"_s + QLatin1String(count) << QByteArray()
                << u"Design HALF not stored: UNIT 2 count \"%1\" is not a whole number of stones"_s.arg(
                       QLatin1String(count));
        QTest::newRow("blanks around the name are not part of it")
            << u"  ear ring\t"_s << u"1,2,3,4,5"_s << QByteArray("EAR RING=1,2,3,4,5") << QString();
        QTest::newRow("empty name") << QString() << u"1"_s << QByteArray() << u"Enter Design Name"_s;
        QTest::newRow("hand-written lower case blocks upper case")
            << u"PENDANT"_s << u"1"_s << QByteArray() << u"Design Exists - Pls Delete Old Definition Before Adding"_s;
        for (const QString &name :
             {u"A=B"_s, u"[SETTINGS"_s, u";RING"_s, u"+CMD|' /C CALC'!A0"_s, u"-2+3"_s, u"@SUM(1)"_s})
            QTest::addRow("%s", qPrintable(name)) << name << u"1"_s << QByteArray() << NotAllowed;
        QTest::newRow("the file cannot be written: not listed")
            << u"abc"_s << u"1"_s << QByteArray() << u"Design ABC not stored: Vorn.ini could not be written"_s;
#ifndef Q_OS_WIN // the Windows code page may hold any character
        QTest::newRow("character the file cannot hold") << u"RING \u20AC"_s << u"1"_s << QByteArray() << NotAllowed;
#endif
    }
    void add()
    {
        QFETCH(QString, typed);
        QFETCH(QString, counts);
        QFETCH(QByteArray, line);
        QFETCH(QString, status);
        m_w->host.setBoxTexts(counts.split(u',') + QStringList(5, u"9"_s));
        m_name->setText(typed);
        const bool failed = status.endsWith(u"could not be written");
        failed ? onFullDisk([&] { emit m_add->Click(); }) : m_add->Click();
        QCOMPARE(m_w->host.logged, status.contains(u" not stored: "_s) ? listed(status) : QStringList());
        QCOMPARE(rows().toLatin1(),
                 "RING,pendant,SHORT,BLANK" + (line.isEmpty() ? "" : "," + line.left(line.indexOf('='))));
        QCOMPARE(m_w->read(u"Vorn.ini"_s), StoredDesigns + (line.isEmpty() ? "" : line + "\r\n"));
        QCOMPARE(m_w->host.statuses, listed(status)); // success is not announced
    }

    // No keeps the design; Yes deletes it and selects nothing, so a second click cannot take the neighbour.
    void remove()
    {
        m_list->setCurrentRow(1);
        for (bool yes : {false, true}) {
            m_w->platform.yes = yes;
            emit m_remove->Click();
        }
        const QStringList ask{u"Delete Design Definition for Design pendant"_s, u"Caution - Deleting Design"_s};
        QCOMPARE(m_w->platform.asked, ask + ask);
        QCOMPARE(m_w->read(u"Vorn.ini"_s), QByteArray(StoredDesigns).replace("pendant=1,6,0,12,0\r\n", ""));
        QCOMPARE(rows(), u"RING,SHORT,BLANK"_s);
        emit m_remove->Click(); // nothing selected: nothing asked
        QCOMPARE(m_w->platform.asked.size(), 4);
        // A design the file still holds stays listed.
        m_list->setCurrentRow(0);
        onFullDisk([&] { emit m_remove->Click(); });
        QCOMPARE(rows(), u"RING,SHORT,BLANK"_s);
        QCOMPARE(m_w->host.statuses, QStringList{u"Design RING not removed: Vorn.ini could not be written"_s});
        QVERIFY(m_w->host.pane.startsWith(m_w->host.statuses.constFirst()));
    }

    // Boxes 6 to 10 are never loaded; a design listed but gone from the file changes nothing. A stored count
    // that is not a whole number up to 999999 is no count the operator gave: its box stays empty, and the
    // operator is told. The journal credits a box's count to the design that put it there (design: box 2's),
    // "(changed)" once the box is edited, and nothing to a box a design never fills.
    void load_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("stored"); // added as design BIG (row 4) when given
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QString>("design");
        QTest::newRow("five counts") << 0 << QString() << u"12,0,4,0,0"_s << QStringList() << u"RING"_s;
        QTest::newRow("fewer counts load as far as they go")
            << 2 << QString() << u"7,7,x3,x4,x5"_s << QStringList() << u"SHORT"_s;
        QTest::newRow("stored empty changes nothing")
            << 3 << QString() << u"x1,x2,x3,x4,x5"_s << QStringList() << QString();
        QTest::newRow("listed but gone from the file")
            << 0 << QString() << u"x1,x2,x3,x4,x5"_s << QStringList{u"Design Not Available in Database"_s} << QString();
        QStringList said;
        for (const auto &[unit, count] : {std::pair{1, "1e400"}, {3, "-3"}, {4, "2.5"}, {5, "abc"}})
            said << u"BIG: UNIT %1 count \"%2\" not loaded"_s.arg(unit).arg(QLatin1String(count));
        QTest::newRow("counts nobody gave") << 4 << u"1e400,0005,-3,2.5,abc"_s << u",5,,,"_s << said << u"BIG"_s;
    }
    void load()
    {
        QFETCH(int, row);
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QFETCH(QStringList, said);
        m_w->window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_w->window.get()));
        m_w->host.setBoxTexts(u"x1,x2,x3,x4,x5,a,b,c,d,e"_s.split(u','));
        if (!stored.isEmpty())
            SettingsSchema::Setting(SettingsSchema::Key::Design, u"BIG"_s).write(stored), m_book->fillDesigns();
        else if (!said.isEmpty())
            SettingsSchema::Setting(SettingsSchema::Key::Design, m_list->item(row)->text()).remove();
        doubleClick(m_list->viewport(), m_list->visualItemRect(m_list->item(row)).center());
        QCOMPARE(m_w->host.boxTexts().join(u','), expected + u",a,b,c,d,e"_s);
        QCOMPARE(m_w->host.statuses, said);
        if (!stored.isEmpty()) // told in the pane and the log too
            QCOMPARE(m_w->host.logged, said);
        QCOMPARE(m_name->text(), m_list->item(row)->text());
        QFETCH(QString, design);
        QCOMPARE(m_book->designFor(2), design);
        QCOMPARE(m_book->designFor(6), QString());
        m_w->host.setCountText(2, u"9"_s); // an edit after the load
        QCOMPARE(m_book->designFor(2), design.isEmpty() ? QString() : design + u" (changed)"_s);
        // "+" books the boxes it stored under the new design, and only those.
        m_name->setText(u"TEST1"_s);
        m_w->host.setBoxTexts(u"3,9,0,1,"_s.split(u','));
        emit m_add->Click();
        for (int n : {1, 2, 5})
            QCOMPARE(m_book->designFor(n), u"TEST1"_s);
        QCOMPARE(m_book->designFor(6), QString());
    }

private:
    std::optional<Rig> m_w;
    QListWidget *m_list = nullptr;
    QLineEdit *m_name = nullptr;
    ctxPatchButton *m_add = nullptr;
    ctxPatchButton *m_remove = nullptr;
    std::optional<DesignBook> m_book;
};

QTEST_MAIN(tst_DesignBook)
#include "tst_DesignBook.moc"
