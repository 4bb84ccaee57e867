#include "TestFolder.h"
#include "console/CommandConsole.h"
#include "ninepatch/ctxPatchButton.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_CommandConsole : public QObject
{
    Q_OBJECT

    void type(Qt::Key key, const QString &expected)
    {
        QTest::keyClick(m_entry, key);
        QCOMPARE(m_entry->text(), expected);
    }

private slots:
    void init()
    {
        QVERIFY(m_w.emplace(uidsFor(5), 3, true).ok);
        m_entry = new QLineEdit(m_w->window.get());
        m_entry->move(200, 0);
        m_exec = new ctxPatchButton(m_w->window.get());
        m_console.emplace(m_w->sender, CommandConsole::Controls{new QListWidget(m_w->window.get()), m_entry, m_exec});
        m_w->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w->window.get()));
    }
    void cleanup()
    {
        m_console.reset();
        m_w.reset();
    }

    void entrySentUnchanged_data()
    {
        QTest::addColumn<bool>("byEnter"); // else by the button
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("Enter on an empty box") << true << QString() << QList<int>{} << QByteArray(">,0,0\r\n");
        QTest::newRow("button, no trimming, units 1 and 2 checked")
            << false << u" H "_s << QList<int>{1, 2} << QByteArray("> H ,101,0\r\n> H ,102,0\r\n");
        QTest::newRow("Enter on framed text: goes as typed")
            << true << u">C,12,101"_s << QList<int>{} << QByteArray(">C,12,101\r\n");
    }
    void entrySentUnchanged()
    {
        QFETCH(bool, byEnter);
        QFETCH(QString, text);
        QFETCH(QList<int>, checked);
        QFETCH(QByteArray, lines);
        for (int n : checked)
            m_w->host.model(n).setChecked(true);
        m_entry->setText(text);
        QSignalSpy returns(m_entry, &QLineEdit::returnPressed);
        if (byEnter)
            QTest::keyClick(m_entry, Qt::Key_Return);
        else
            emit m_exec->Click();
        m_w->platform.settle();
        QCOMPARE(m_w->peer.wire(int(lines.count("\r\n"))), lines);
        QCOMPARE(m_entry->text(), text); // ready to go again
        QCOMPARE(returns.count(), 0);
    }

    // Newest first, stopping at the oldest, back down to what was typed; a recalled command sent becomes
    // the newest; typing into a recalled one starts a new walk that can come back to the edit.
    void historyKeys()
    {
        type(Qt::Key_Up, QString()); // nothing sent yet
        for (const QString &command : {u"A"_s, u"B,1"_s, u"C"_s}) {
            m_entry->setText(command);
            QTest::keyClick(m_entry, Qt::Key_Return);
        }
        QTest::keyClicks(m_entry, u"x"_s); // other keys reach the box
        const QList<std::pair<Qt::Key, QString>> walk{
            {Qt::Key_Up, u"C,0,0"_s}, {Qt::Key_Up, u"B,1,0"_s},     {Qt::Key_Up, u"A,0,0"_s},
            {Qt::Key_Up, u"A,0,0"_s}, {Qt::Key_Down, u"B,1,0"_s},   {Qt::Key_Down, u"C,0,0"_s},
            {Qt::Key_Down, u"Cx"_s},  {Qt::Key_Down, u"Cx"_s},      {Qt::Key_Up, u"C,0,0"_s},
            {Qt::Key_Up, u"B,1,0"_s}, {Qt::Key_Return, u"B,1,0"_s}, {Qt::Key_Up, u"B,1,0"_s},
            {Qt::Key_Up, u"C,0,0"_s}, {Qt::Key_Escape, QString()},  {Qt::Key_Up, u"B,1,0"_s},
            {Qt::Key_Y, u"B,1,0y"_s}, {Qt::Key_Up, u"B,1,0"_s},     {Qt::Key_Down, u"B,1,0y"_s}};
        for (const auto &[key, expected] : walk)
            type(key, expected);
        QCOMPARE(m_w->sender.history().size(), 4); // walking sends nothing
    }

private:
    std::optional<Rig> m_w;
    QLineEdit *m_entry = nullptr;
    ctxPatchButton *m_exec = nullptr;
    std::optional<CommandConsole> m_console;
};

QTEST_MAIN(tst_CommandConsole)
#include "tst_CommandConsole.moc"
