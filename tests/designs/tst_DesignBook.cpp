#include "DesignBook.h"
#include "DesignTestSupport.h"
#include "Comm1.h"
#include "CommandSender.h"
#include "PortFolder.h"
#include "ctxPatchButton.h"
#include "mSettings.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

class AskingPlatform : public TestPlatform
{
public:
    bool yes = true;
    QStringList asked; // prompt and title of each question
    bool askYesNo(const QString &prompt, const QString &title) override
    {
        asked << prompt << title;
        return yes;
    }
};

const QByteArray StoredDesigns = "[Designs]\r\nRING=12,0,4,0,0\r\npendant=1,6,0,12,0\r\nSHORT=7,007\r\nBLANK=\r\n";

// A real double click on a row: press, release, double click, release.
void doubleClickRow(QListWidget *list, int row)
{
    QWidget *view = list->viewport();
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QTest::mousePress(view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
    QTest::mouseDClick(view, Qt::LeftButton, {}, at);
    QTest::mouseRelease(view, Qt::LeftButton, {}, at);
}

} // namespace

class tst_DesignBook : public QObject
{
    Q_OBJECT

private:
    QByteArray file() const
    {
        QFile f(mSettings::IniFile);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList rows() const
    {
        QStringList names;
        for (int i = 0; i < m_list->count(); ++i)
            names << m_list->item(i)->text();
        return names;
    }
    QStringList boxes()
    {
        QStringList texts;
        for (int n = 1; n <= 10; ++n)
            texts << m_host->box(n)->text();
        return texts;
    }
    void setBoxes(const QStringList &texts)
    {
        for (int n = 1; n <= texts.size(); ++n)
            m_host->box(n)->setText(texts.at(n - 1));
    }

private slots:
    void init()
    {
        m_dir.emplace();
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        QFile f(mSettings::IniFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(StoredDesigns);
        f.close();

        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_window = std::make_unique<QWidget>();
        m_host.emplace(*m_platform, m_window.get());
        m_host->setUnits({u"101"_s, u"102"_s, u"103"_s, u"104"_s, u"105"_s});
        m_list = new QListWidget(m_window.get());
        m_list->setGeometry(200, 0, 200, 300);
        m_name = new QLineEdit(m_window.get());
        m_name->move(200, 320);
        m_add = new ctxPatchButton(m_window.get());
        m_remove = new ctxPatchButton(m_window.get());
        m_ports = std::make_unique<PortFolder>(m_dir->path());
        m_comm = std::make_unique<Comm1>(*m_ports);
        m_sender = std::make_unique<CommandSender>(*m_host, *m_comm);
        DesignBook::Controls c;
        c.lstDesign = m_list;
        c.txtDesign = m_name;
        for (int n = 1; n <= 10; ++n)
            c.txtNos << m_host->box(n);
        c.cmdAddDesign = m_add;
        c.cmdRemoveDesign = m_remove;
        m_book = std::make_unique<DesignBook>(*m_host, *m_sender, c);
        m_book->fillDesigns();
    }
    void cleanup()
    {
        m_book.reset();
        m_sender.reset();
        m_comm.reset();
        m_window.reset();
    }

    void listFollowsTheFile()
    {
        QCOMPARE(rows(), (QStringList{u"RING"_s, u"pendant"_s, u"SHORT"_s, u"BLANK"_s}));
        QFile::remove(mSettings::IniFile);
        m_book->fillDesigns();
        QVERIFY(rows().isEmpty());
    }

    void designPresentIgnoresCase_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("row");
        QTest::newRow("as listed") << u"RING"_s << 0;
        QTest::newRow("typed in lower case") << u"ring"_s << 0;
        QTest::newRow("hand-written lower case found in upper case") << u"PENDANT"_s << 1;
        QTest::newRow("not listed") << u"RINGS"_s << -1;
        QTest::newRow("empty") << QString() << -1;
    }
    void designPresentIgnoresCase()
    {
        QFETCH(QString, name);
        QFETCH(int, row);
        QCOMPARE(m_book->DesignPresent(name), row);
    }

    void addStoresTheBoxes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("counts");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("numbers read from odd boxes") << u"abc"_s << QStringList{u"12"_s, u"abc"_s, QString(), u"007"_s, u"4"_s}
                                                    << u"ABC"_s << QByteArray("ABC=12,0,0,7,4\r\n");
        QTest::newRow("blanks around the name are not part of it")
            << u"  ear ring\t"_s << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s} << u"EAR RING"_s
            << QByteArray("EAR RING=1,2,3,4,5\r\n");
    }
    void addStoresTheBoxes()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, counts);
        QFETCH(QString, key);
        QFETCH(QByteArray, line);
        // Ten units: a design still holds five counts.
        m_host->setUnits({u"101"_s, u"102"_s, u"103"_s, u"104"_s, u"105"_s, u"106"_s, u"107"_s, u"108"_s,
                          u"109"_s, u"110"_s});
        setBoxes(counts + QStringList{u"9"_s, u"9"_s, u"9"_s, u"9"_s, u"9"_s});
        m_name->setText(typed);
        emit m_add->Click();
        QCOMPARE(rows().constLast(), key);
        QCOMPARE(file(), StoredDesigns + line);
        QVERIFY(m_host->statuses.isEmpty()); // success is not announced
    }

    void addRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("secs");
        QTest::newRow("empty name") << QString() << u"Enter Design Name"_s << 3;
        QTest::newRow("listed in another case") << u"ring"_s << u"Design Exists - Pls Delete Old Definition Before Adding"_s << 5;
        QTest::newRow("hand-written lower case blocks upper case")
            << u"PENDANT"_s << u"Design Exists - Pls Delete Old Definition Before Adding"_s << 5;
        QTest::newRow("equals sign") << u"A=B"_s << u"Design Name not allowed"_s << 3;
        QTest::newRow("bracket") << u"[SETTINGS"_s << u"Design Name not allowed"_s << 3;
        QTest::newRow("only blanks") << u"   "_s << u"Design Name not allowed"_s << 3;
        QTest::newRow("read as a comment") << u";RING"_s << u"Design Name not allowed"_s << 3;
#ifndef Q_OS_WIN
        QTest::newRow("character the file cannot hold") << u"RING \u20AC"_s << u"Design Name not allowed"_s << 3;
#endif
    }
    void addRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, status);
        QFETCH(int, secs);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_host->box(2)->setFocus();
        const QStringList before = rows();
        m_name->setText(typed);
        emit m_add->Click();
        QCOMPARE(m_host->statuses, QStringList{status});
        QCOMPARE(m_host->statusSecs, QList<int>{secs});
        QCOMPARE(rows(), before);
        QCOMPARE(file(), StoredDesigns);
        // Only the empty name sends the operator back to the name box.
        QCOMPARE(m_name->hasFocus(), typed.isEmpty());
    }

    void namesWithLineBreaksCannotBeStored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("line feed") << u"A\nB"_s;
        QTest::newRow("carriage return") << u"A\rB"_s;
        QTest::newRow("NUL") << QStringLiteral("A\0B");
    }
    void namesWithLineBreaksCannotBeStored()
    {
        QFETCH(QString, name);
        QVERIFY(!DesignBook::isStorableName(name));
        QVERIFY(DesignBook::isStorableName(u"A B-1 (OLD)"_s));
    }

    void remove_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("answered Yes") << true;
        QTest::newRow("answered No") << false;
    }
    void remove()
    {
        QFETCH(bool, yes);
        m_platform->yes = yes;
        m_list->setCurrentRow(1);
        emit m_remove->Click();
        QCOMPARE(m_platform->asked, (QStringList{u"Delete Design Definition for Design pendant"_s, u"Caution - Deleting Design"_s}));
        if (yes) {
            QCOMPARE(rows(), (QStringList{u"RING"_s, u"SHORT"_s, u"BLANK"_s}));
            QCOMPARE(file(), QByteArray("[Designs]\r\nRING=12,0,4,0,0\r\nSHORT=7,007\r\nBLANK=\r\n"));
            // Nothing is left selected: a second click asks nothing.
            emit m_remove->Click();
            QCOMPARE(m_platform->asked.size(), 2);
        } else {
            QCOMPARE(rows().size(), 4);
            QCOMPARE(file(), StoredDesigns);
        }
    }

    void removeWithoutSelectionAsksNothing()
    {
        emit m_remove->Click();
        QVERIFY(m_platform->asked.isEmpty());
        QCOMPARE(rows().size(), 4);
    }

    void load_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("status");
        const QStringList rest{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s};
        QTest::newRow("five counts") << 0 << QStringList{u"12"_s, u"0"_s, u"4"_s, u"0"_s, u"0"_s} + rest << QString();
        QTest::newRow("hand-written lower case") << 1 << QStringList{u"1"_s, u"6"_s, u"0"_s, u"12"_s, u"0"_s} + rest
                                                << QString();
        QTest::newRow("fewer counts load as far as they go")
            << 2 << QStringList{u"7"_s, u"7"_s, u"x3"_s, u"x4"_s, u"x5"_s} + rest << QString();
        QTest::newRow("stored empty changes nothing") << 3 << QStringList{u"x1"_s, u"x2"_s, u"x3"_s, u"x4"_s, u"x5"_s} + rest
                                                    << QString();
    }
    void load()
    {
        QFETCH(int, row);
        QFETCH(QStringList, expected);
        QFETCH(QString, status);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        setBoxes({u"x1"_s, u"x2"_s, u"x3"_s, u"x4"_s, u"x5"_s, u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s});
        doubleClickRow(m_list, row);
        QCOMPARE(m_name->text(), m_list->item(row)->text());
        QCOMPARE(boxes(), expected);
        QVERIFY(m_host->statuses.isEmpty());
    }

    void loadOfADesignGoneFromTheFile()
    {
        mSettings::DeleteIni(mSettings::IniFile, u"Designs"_s, u"RING"_s);
        setBoxes({u"x1"_s, u"x2"_s});
        m_book->lstDesign_DblClick(m_list->item(0));
        QCOMPARE(m_host->statuses, QStringList{u"Design Not Available in Database"_s});
        QCOMPARE(m_host->statusSecs, QList<int>{3});
        QCOMPARE(boxes().mid(0, 2), (QStringList{u"x1"_s, u"x2"_s}));
    }

    void enterFindsWithoutLoading_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        QTest::newRow("found in any case") << u"Short"_s << 2;
        QTest::newRow("not listed selects nothing") << u"NOPE"_s << -1;
    }
    void enterFindsWithoutLoading()
    {
        QFETCH(QString, typed);
        QFETCH(int, row);
        QSignalSpy returns(m_name, &QLineEdit::returnPressed);
        QTest::keyClicks(m_name, typed); // other keys reach the box
        QCOMPARE(m_name->text(), typed);
        const QStringList before = boxes();
        QTest::keyClick(m_name, Qt::Key_Return);
        QCOMPARE(returns.count(), 0); // consumed
        QCOMPARE(m_list->currentRow(), row);
        QCOMPARE(m_list->selectedItems().size(), row < 0 ? 0 : 1);
        QCOMPARE(boxes(), before);
        QVERIFY(m_host->statuses.isEmpty());
        QCOMPARE(m_name->text(), typed);
    }

    void focusSelectsTheText_data()
    {
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("by keyboard") << false;
        QTest::newRow("by a click into the box") << true;
    }
    void focusSelectsTheText()
    {
        QFETCH(bool, byMouse);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        m_name->setText(u"RING"_s);
        m_host->box(3)->setText(u"25"_s);
        for (QLineEdit *box : {m_name, m_host->box(3)}) {
            if (byMouse)
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 4, box->height() / 2));
            else
                box->setFocus(Qt::OtherFocusReason);
            QTRY_VERIFY(box->hasFocus());
            QTRY_COMPARE(box->selectedText(), box->text());
        }
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<AskingPlatform> m_platform;
    std::unique_ptr<QWidget> m_window;
    std::optional<BoxHost> m_host;
    QListWidget *m_list = nullptr;
    QLineEdit *m_name = nullptr;
    ctxPatchButton *m_add = nullptr;
    ctxPatchButton *m_remove = nullptr;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<CommandSender> m_sender;
    std::unique_ptr<DesignBook> m_book;
};

QTEST_MAIN(tst_DesignBook)
#include "tst_DesignBook.moc"
