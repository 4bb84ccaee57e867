#include "CommandConsole.h"
#include "TestFolder.h"
#include "ctxPatchButton.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {
const QByteArray Catalogue = "[Internal Commands]\r\nHOME=H\r\n\r\n"
                             "[Standard Commands]\r\nHome all=HOME\r\nCount 25=COUNT,25\r\n";
} // namespace

class tst_CommandConsole : public QObject
{
    Q_OBJECT

    QListWidgetItem *row(const QString &name) { return m_list->findItems(name, Qt::MatchExactly).value(0); }
    void type(Qt::Key key, const QString &expected)
    {
        QTest::keyClick(m_entry, key);
        QCOMPARE(m_entry->text(), expected);
    }

private slots:
    void init()
    {
        m_w.emplace(uidsFor(5), 3, true);
        QVERIFY(m_w->ok);
        m_w->write(u"Vorn2.ini"_s, Catalogue);
        m_list = new QListWidget(m_w->window.get());
        m_list->setGeometry(200, 40, 200, 200);
        m_entry = new QLineEdit(m_w->window.get());
        m_entry->move(200, 0);
        m_exec = new ctxPatchButton(m_w->window.get());
        m_console.emplace(m_w->sender, CommandConsole::Controls{m_list, m_entry, m_exec});
        m_console->FillCommands();
        m_w->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w->window.get()));
    }
    void cleanup()
    {
        m_console.reset();
        m_w.reset();
    }

    void clickFillsDoubleClickSendsOnce()
    {
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, m_list->visualItemRect(row(u"Count 25"_s)).center());
        QCOMPARE(m_entry->text(), u"COUNT,25"_s);
        QVERIFY(m_w->sender.history().isEmpty()); // a click sends nothing
        m_w->host.unit(2).checked = true;
        doubleClick(m_list->viewport(), m_list->visualItemRect(row(u"Home all"_s)).center());
        QCOMPARE(m_w->peer.wire(1), QByteArray(">HOME,102,0\r\n"));
        QCOMPARE(m_w->sender.history().size(), 1);
    }

    void entrySentUnchanged_data()
    {
        QTest::addColumn<bool>("byEnter"); // else by the button
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("Enter on an empty box, nothing checked")
            << true << QString() << QList<int>{} << QByteArray(">,0,0\r\n");
        QTest::newRow("button on an empty box, units 1 and 2 checked")
            << false << QString() << QList<int>{1, 2} << QByteArray(">,101,0\r\n>,102,0\r\n");
        QTest::newRow("Enter on framed text: goes as typed")
            << true << u">C,12,101"_s << QList<int>{} << QByteArray(">C,12,101\r\n");
        QTest::newRow("button: no trimming") << false << u" HOME "_s << QList<int>{} << QByteArray("> HOME ,0,0\r\n");
        QTest::newRow("Enter with All Units checked too")
            << true << u"HOME"_s << QList<int>{0, 3} << QByteArray(">HOME,0,0\r\n");
    }
    void entrySentUnchanged()
    {
        QFETCH(bool, byEnter);
        QFETCH(QString, text);
        QFETCH(QList<int>, checked);
        QFETCH(QByteArray, lines);
        for (int n : checked)
            m_w->host.unit(n).checked = true;
        m_entry->setText(text);
        QSignalSpy returns(m_entry, &QLineEdit::returnPressed);
        if (byEnter)
            QTest::keyClick(m_entry, Qt::Key_Return);
        else
            emit m_exec->Click();
        QCOMPARE(m_w->peer.wire(int(lines.count("\r\n"))), lines);
        QCOMPARE(m_entry->text(), text); // ready to go again
        QCOMPARE(returns.count(), 0);
    }

    void historyKeys()
    {
        type(Qt::Key_Up, QString()); // nothing sent yet
        for (const QString &command : {u"A"_s, u"B,1"_s, u"C"_s}) {
            m_entry->setText(command);
            QTest::keyClick(m_entry, Qt::Key_Return);
        }
        QTest::keyClicks(m_entry, u"x"_s); // other keys reach the box
        // Newest first, stopping at the oldest; back down to what was typed.
        for (const QString &expected : {u"C,0,0"_s, u"B,1,0"_s, u"A,0,0"_s, u"A,0,0"_s})
            type(Qt::Key_Up, expected);
        for (const QString &expected : {u"B,1,0"_s, u"C,0,0"_s, u"Cx"_s, u"Cx"_s})
            type(Qt::Key_Down, expected);
        // Sending a recalled command makes it the newest; the next walk starts there.
        type(Qt::Key_Up, u"C,0,0"_s);
        type(Qt::Key_Up, u"B,1,0"_s);
        QTest::keyClick(m_entry, Qt::Key_Return);
        type(Qt::Key_Up, u"B,1,0"_s);
        type(Qt::Key_Up, u"C,0,0"_s);
        type(Qt::Key_Escape, QString());
        type(Qt::Key_Up, u"B,1,0"_s);
        // Typing into a recalled command starts a new walk from the newest, keeping the edit to come back to.
        QTest::keyClicks(m_entry, u"y"_s);
        type(Qt::Key_Up, u"B,1,0"_s);
        type(Qt::Key_Down, u"B,1,0y"_s);
        QCOMPARE(m_w->sender.history().size(), 4); // walking sends nothing
    }

private:
    std::optional<Rig> m_w;
    QListWidget *m_list = nullptr;
    QLineEdit *m_entry = nullptr;
    ctxPatchButton *m_exec = nullptr;
    std::optional<CommandConsole> m_console;
};

QTEST_MAIN(tst_CommandConsole)
#include "tst_CommandConsole.moc"
