#include "../link/LinkTestSupport.h"
#include "Comm1.h"
#include "CommandConsole.h"
#include "CommandSender.h"
#include "PortFolder.h"
#include "ctxPatchButton.h"
#include "mSettings.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray Catalogue = "[Internal Commands]\r\nHOME=H\r\n\r\n"
                             "[Standard Commands]\r\nHome all=HOME\r\nCount 25=COUNT,25\r\nNothing=-\r\n";

enum class How { Enter, Button };

} // namespace

class tst_CommandConsole : public QObject
{
    Q_OBJECT

private:
    QByteArray wire(int lines)
    {
        m_peer->waitReceived("\r\n", lines);
        return m_peer->received();
    }
    QByteArray catalogue() const
    {
        QFile f(mSettings::IniFile2);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QListWidgetItem *row(const QString &name) { return m_list->findItems(name, Qt::MatchExactly).value(0); }
    // A real double click: press, release, double click, release.
    void doubleClick(QListWidgetItem *item)
    {
        const QPoint at = m_list->visualItemRect(item).center();
        QTest::mousePress(m_list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(m_list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(m_list->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void init()
    {
        m_dir.emplace();
        mSettings::setProgramFolder(m_dir->path());
        mSettings::resetPaths();
        mSettings::BuildIniPaths();
        QFile f(mSettings::IniFile2);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(Catalogue);
        f.close();

        m_platform.emplace();
        m_platform->folder = m_dir->path();
        m_host.emplace(*m_platform);
        m_host->setUids({u"101"_s, u"102"_s, u"103"_s, u"104"_s, u"105"_s});
        m_peer = std::make_unique<PtyPeer>();
        QVERIFY(m_peer->linkAs(m_dir->path(), 3));
        m_ports = std::make_unique<PortFolder>(m_dir->path());
        m_comm = std::make_unique<Comm1>(*m_ports);
        m_comm->setCommPort(3);
        QVERIFY(m_comm->setPortOpen(true));
        m_sender = std::make_unique<CommandSender>(*m_host, *m_comm);

        m_window = std::make_unique<QWidget>();
        m_list = new QListWidget(m_window.get());
        m_list->setGeometry(0, 40, 200, 200);
        m_entry = new QLineEdit(m_window.get());
        m_exec = new ctxPatchButton(m_window.get());
        m_exec->move(210, 0);
        m_console = std::make_unique<CommandConsole>(*m_sender, CommandConsole::Controls{m_list, m_entry, m_exec});
        m_console->FillCommands();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup()
    {
        m_console.reset();
        m_window.reset();
        m_sender.reset();
        m_comm.reset();
        m_peer.reset();
    }

    void listFollowsTheCatalogue()
    {
        QCOMPARE(m_list->count(), 3);
        QCOMPARE(m_list->item(0)->text(), u"Home all"_s);
        QCOMPARE(m_list->item(2)->text(), u"Nothing"_s);
        QFile::remove(mSettings::IniFile2);
        m_console->FillCommands();
        QCOMPARE(m_list->count(), 0);
    }

    void clickFillsDoubleClickSendsOnce()
    {
        QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, m_list->visualItemRect(row(u"Count 25"_s)).center());
        QCOMPARE(m_entry->text(), u"COUNT,25"_s);
        QVERIFY(m_sender->history().isEmpty()); // a click sends nothing

        m_host->unit(2).checked = true;
        doubleClick(row(u"Home all"_s));
        QCOMPARE(wire(1), QByteArray(">HOME,102,0\r\n"));
        QCOMPARE(m_sender->history().size(), 1);
    }

    void placeholderWrittenBackForMissingNames()
    {
        const QByteArray before = catalogue();
        // Deleted from the file after start-up, still in the list.
        mSettings::DeleteIni(mSettings::IniFile2, u"Standard Commands"_s, u"Home all"_s);
        m_entry->setText(u"old"_s);
        m_console->lstCommands_Click(row(u"Home all"_s));
        QCOMPARE(m_entry->text(), QString());
        QCOMPARE(mSettings::ReadIni(mSettings::IniFile2, u"Standard Commands"_s, u"Home all"_s, u"?"_s, false), u"-"_s);

        // A stored "-" is no command: an empty one goes out.
        m_console->lstCommands_DblClick(row(u"Nothing"_s));
        QCOMPARE(wire(1), QByteArray(">,0,0\r\n"));

        // The internal catalogue is only ever read.
        const QByteArray now = catalogue();
        QCOMPARE(CommandSender::GetCommandInternal(u"No such command"_s), QString());
        QCOMPARE(catalogue(), now);
        QVERIFY(now != before);
    }

    void entrySentUnchanged_data()
    {
        QTest::addColumn<How>("how");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("checked");
        QTest::addColumn<QByteArray>("lines");
        for (How how : {How::Enter, How::Button}) {
            const char *by = how == How::Enter ? "Enter: " : "button: ";
            QTest::addRow("%sempty box, nothing checked", by) << how << QString() << QList<int>{} << QByteArray(">,0,0\r\n");
            QTest::addRow("%sempty box, units 1 and 2 checked", by)
                << how << QString() << QList<int>{1, 2} << QByteArray(">,101,0\r\n>,102,0\r\n");
            QTest::addRow("%sframed text goes as typed", by)
                << how << u">C,12,101"_s << QList<int>{} << QByteArray(">C,12,101\r\n");
            QTest::addRow("%sno trimming", by) << how << u" HOME "_s << QList<int>{} << QByteArray("> HOME ,0,0\r\n");
            QTest::addRow("%sAll Units checked too", by)
                << how << u"HOME"_s << QList<int>{0, 3} << QByteArray(">HOME,0,0\r\n");
        }
    }
    void entrySentUnchanged()
    {
        QFETCH(How, how);
        QFETCH(QString, text);
        QFETCH(QList<int>, checked);
        QFETCH(QByteArray, lines);
        for (int n : checked)
            m_host->unit(n).checked = true;
        m_entry->setText(text);
        QSignalSpy returns(m_entry, &QLineEdit::returnPressed);
        if (how == How::Enter)
            QTest::keyClick(m_entry, Qt::Key_Return);
        else
            emit m_exec->Click();
        QCOMPARE(wire(int(lines.count("\r\n"))), lines);
        QCOMPARE(m_platform->sleeps.size(), checked.contains(0) ? 0 : checked.size());
        QCOMPARE(m_entry->text(), text); // ready to go again
        QCOMPARE(returns.count(), 0);
    }

    void historyKeys()
    {
        QTest::keyClick(m_entry, Qt::Key_Up);
        QCOMPARE(m_entry->text(), QString()); // nothing sent yet
        for (const QString &command : {u"A"_s, u"B,1"_s, u"C"_s}) {
            m_entry->setText(command);
            QTest::keyClick(m_entry, Qt::Key_Return);
        }
        QTest::keyClicks(m_entry, u"x"_s);
        QCOMPARE(m_entry->text(), u"Cx"_s); // other keys reach the box

        // Newest first, stopping at the oldest; back down to what was typed.
        const QStringList up{u"C,0,0"_s, u"B,1,0"_s, u"A,0,0"_s, u"A,0,0"_s};
        for (const QString &expected : up) {
            QTest::keyClick(m_entry, Qt::Key_Up);
            QCOMPARE(m_entry->text(), expected);
        }
        const QStringList down{u"B,1,0"_s, u"C,0,0"_s, u"Cx"_s, u"Cx"_s};
        for (const QString &expected : down) {
            QTest::keyClick(m_entry, Qt::Key_Down);
            QCOMPARE(m_entry->text(), expected);
        }

        // Sending a recalled command makes it the newest; the next walk starts there.
        QTest::keyClick(m_entry, Qt::Key_Up);
        QTest::keyClick(m_entry, Qt::Key_Up);
        QTest::keyClick(m_entry, Qt::Key_Return);
        QCOMPARE(m_sender->history().value(0), u"B,1,0"_s);
        QTest::keyClick(m_entry, Qt::Key_Up);
        QCOMPARE(m_entry->text(), u"B,1,0"_s);
        QTest::keyClick(m_entry, Qt::Key_Up);
        QCOMPARE(m_entry->text(), u"C,0,0"_s);

        QTest::keyClick(m_entry, Qt::Key_Escape);
        QCOMPARE(m_entry->text(), QString());
        QTest::keyClick(m_entry, Qt::Key_Up);
        QCOMPARE(m_entry->text(), u"B,1,0"_s);
        // Typing into a recalled command starts a new walk from the newest, keeping the edit to come back to.
        QTest::keyClicks(m_entry, u"y"_s);
        QTest::keyClick(m_entry, Qt::Key_Up);
        QCOMPARE(m_entry->text(), u"B,1,0"_s);
        QTest::keyClick(m_entry, Qt::Key_Down);
        QCOMPARE(m_entry->text(), u"B,1,0y"_s);
        QCOMPARE(m_sender->history().size(), 4); // walking sends nothing
    }

private:
    std::optional<QTemporaryDir> m_dir;
    std::optional<TestPlatform> m_platform;
    std::optional<TestHost> m_host;
    std::unique_ptr<PtyPeer> m_peer;
    std::unique_ptr<PortFolder> m_ports;
    std::unique_ptr<Comm1> m_comm;
    std::unique_ptr<CommandSender> m_sender;
    std::unique_ptr<QWidget> m_window;
    QListWidget *m_list = nullptr;
    QLineEdit *m_entry = nullptr;
    ctxPatchButton *m_exec = nullptr;
    std::unique_ptr<CommandConsole> m_console;
};

QTEST_MAIN(tst_CommandConsole)
#include "tst_CommandConsole.moc"
