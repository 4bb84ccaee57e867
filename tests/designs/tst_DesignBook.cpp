#include "DesignBook.h"
#include "TestFolder.h"
#include "ctxPatchButton.h"

#include <QListWidget>

using namespace Qt::Literals::StringLiterals;

namespace {
const QByteArray StoredDesigns = "[Designs]\r\nRING=12,0,4,0,0\r\npendant=1,6,0,12,0\r\nSHORT=7,007\r\nBLANK=\r\n";
const QString Exists = u"Design Exists - Pls Delete Old Definition Before Adding"_s;
const QString NotAllowed = u"Design Name not allowed"_s;
} // namespace

class tst_DesignBook : public QObject
{
    Q_OBJECT

    QStringList rows() const
    {
        QStringList names;
        for (int i = 0; i < m_list->count(); ++i)
            names << m_list->item(i)->text();
        return names;
    }
    void showWindow()
    {
        m_w->window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_w->window.get()));
    }

private slots:
    void init()
    {
        m_w.emplace(uidsFor(10), 3, true); // ten units: a design still holds five counts
        m_w->write(u"Vorn.ini"_s, StoredDesigns);
        m_list = new QListWidget(m_w->window.get());
        m_list->setGeometry(200, 0, 200, 300);
        m_name = new QLineEdit(m_w->window.get());
        m_name->move(200, 320);
        DesignBook::Controls c;
        c.lstDesign = m_list;
        c.txtDesign = m_name;
        for (int n = 1; n <= 10; ++n)
            c.txtNos << m_w->host.box(n);
        c.cmdAddDesign = m_add = new ctxPatchButton(m_w->window.get());
        c.cmdRemoveDesign = m_remove = new ctxPatchButton(m_w->window.get());
        m_book.emplace(m_w->host, m_w->sender, c);
        m_book->fillDesigns();
    }
    void cleanup()
    {
        m_book.reset();
        m_w.reset();
    }

    void addStoresTheBoxes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("counts");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("numbers read from odd boxes")
            << u"abc"_s << QStringList{u"12"_s, u"abc"_s, QString(), u"007"_s, u"4"_s} << QByteArray("ABC=12,0,0,7,4");
        QTest::newRow("blanks around the name are not part of it")
            << u"  ear ring\t"_s << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}
            << QByteArray("EAR RING=1,2,3,4,5");
    }
    void addStoresTheBoxes()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, counts);
        QFETCH(QByteArray, line);
        m_w->host.setBoxTexts(counts + QStringList(5, u"9"_s));
        m_name->setText(typed);
        emit m_add->Click();
        QCOMPARE(rows().constLast().toLatin1(), line.left(line.indexOf('=')));
        QCOMPARE(m_w->read(u"Vorn.ini"_s), StoredDesigns + line + "\r\n");
        QVERIFY(m_w->host.statuses.isEmpty()); // success is not announced
    }

    void addRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::newRow("empty name") << QString() << u"Enter Design Name"_s;
        QTest::newRow("hand-written lower case blocks upper case") << u"PENDANT"_s << Exists;
        QTest::newRow("equals sign") << u"A=B"_s << NotAllowed;
        QTest::newRow("bracket") << u"[SETTINGS"_s << NotAllowed;
        QTest::newRow("read as a comment") << u";RING"_s << NotAllowed;
#ifndef Q_OS_WIN
        QTest::newRow("character the file cannot hold") << u"RING \u20AC"_s << NotAllowed;
#endif
    }
    void addRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, status);
        m_name->setText(typed);
        emit m_add->Click();
        QCOMPARE(m_w->host.statuses, QStringList{status});
        QCOMPARE(rows().size(), 4);
        QCOMPARE(m_w->read(u"Vorn.ini"_s), StoredDesigns);
    }

    // No keeps the design; Yes deletes it and leaves nothing selected, so a second click cannot take the
    // neighbour.
    void remove()
    {
        emit m_remove->Click(); // nothing selected: nothing asked
        QVERIFY(m_w->platform.asked.isEmpty());
        m_list->setCurrentRow(1);
        for (bool yes : {false, true}) {
            m_w->platform.yes = yes;
            emit m_remove->Click();
        }
        const QStringList ask{u"Delete Design Definition for Design pendant"_s, u"Caution - Deleting Design"_s};
        QCOMPARE(m_w->platform.asked, ask + ask);
        QCOMPARE(m_w->read(u"Vorn.ini"_s), QByteArray("[Designs]\r\nRING=12,0,4,0,0\r\nSHORT=7,007\r\nBLANK=\r\n"));
        QCOMPARE(rows(), (QStringList{u"RING"_s, u"SHORT"_s, u"BLANK"_s}));
        emit m_remove->Click();
        QCOMPARE(m_w->platform.asked.size(), 4);
    }

    void load_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("goneFromFile");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("status");
        const QStringList before{u"x1"_s, u"x2"_s, u"x3"_s, u"x4"_s, u"x5"_s};
        QTest::newRow("five counts") << 0 << false << QStringList{u"12"_s, u"0"_s, u"4"_s, u"0"_s, u"0"_s} << QString();
        QTest::newRow("fewer counts load as far as they go")
            << 2 << false << QStringList{u"7"_s, u"7"_s, u"x3"_s, u"x4"_s, u"x5"_s} << QString();
        QTest::newRow("stored empty changes nothing") << 3 << false << before << QString();
        QTest::newRow("listed but gone from the file") << 0 << true << before << u"Design Not Available in Database"_s;
    }
    void load()
    {
        QFETCH(int, row);
        QFETCH(bool, goneFromFile);
        QFETCH(QStringList, expected);
        QFETCH(QString, status);
        showWindow();
        const QStringList rest{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}; // boxes 6 to 10 are never loaded
        m_w->host.setBoxTexts(QStringList{u"x1"_s, u"x2"_s, u"x3"_s, u"x4"_s, u"x5"_s} + rest);
        if (goneFromFile)
            SettingsSchema::Setting(SettingsSchema::Key::Design, m_list->item(row)->text()).remove();
        doubleClick(m_list->viewport(), m_list->visualItemRect(m_list->item(row)).center());
        QCOMPARE(m_w->host.boxTexts(), expected + rest);
        QCOMPARE(m_w->host.statuses, status.isEmpty() ? QStringList() : QStringList{status});
        if (!goneFromFile)
            QCOMPARE(m_name->text(), m_list->item(row)->text());
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
