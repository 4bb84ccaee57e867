#include "PortFolder.h"
#include "QtPlatform.h"
#include "ctxPatchButton.h"
#include "dUnit.h"
#include "frmVorn.h"
#include "mSettings.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The Windows build at a serial port, run by scripts/windows-test.sh under wine: the controller simulator
// serves a pseudo-terminal that wine names COM7. The real window on the real platform layer (COMn names,
// the system's device list, update.bat in a console of its own) in the program folder VORN_E2E_FOLDER,
// which holds the demo settings; VORN_E2E_TRACE is the simulator's record of what it received.
class WindowsPortRun : public QObject
{
    Q_OBJECT

    static constexpr int WaitMs = 20000; // wine on a busy machine; nothing here measures speed

    static QByteArray read(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void idDispenseUpdate()
    {
        const QString folder = qEnvironmentVariable("VORN_E2E_FOLDER");
        const QString trace = qEnvironmentVariable("VORN_E2E_TRACE");
        if (folder.isEmpty() || trace.isEmpty())
            QSKIP("needs the simulator on COM7: run scripts/windows-test.sh");
        QFile::remove(QDir(folder).filePath(u"updated"_s));
        QFile bat(QDir(folder).filePath(u"update.bat"_s));
        QVERIFY(bat.open(QIODevice::WriteOnly));
        bat.write("@echo off\r\necho updated> \"%~dp0updated\"\r\n");
        bat.close();

        mSettings::setProgramFolder(folder);
        QtPlatform platform(folder);
        qInfo("device list: %s", qPrintable(platform.deviceList().join(u"; "_s)));
        frmVorn window(platform, &platform.ports());
        platform.setDialogParent(&window);
        window.load();
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.statusText(), u"Tessaloran Controller found on Port 7"_s, WaitMs);
        QCOMPARE(window.comm().CommPort(), 7);
        // Courier New may be missing (wine has none): what stands in keeps the pane's columns.
        QVERIFY(QFontInfo(window.findChild<QWidget *>(u"txtOut"_s)->font()).fixedPitch());

        const QString logPath =
            QDir(folder).filePath(u"Log/"_s + QDate::currentDate().toString(u"yy-MM-dd"_s) + u"-Log.txt"_s);
        auto click = [&](int unit, const char *name) {
            auto *b = window.unitPanel(unit)->findChild<ctxPatchButton *>(QLatin1String(name));
            QVERIFY(b);
            QTest::mouseClick(b, Qt::LeftButton);
        };
        click(1, "cInit");
        QTRY_VERIFY_WITH_TIMEOUT(read(logPath).contains("ID:TSL-DU UID=101"), WaitMs);

        const QStringList counts{u"3"_s, u"0"_s, u"2"_s, u"0"_s, u"0"_s};
        for (int n = 1; n <= 5; ++n)
            window.setCountText(n, counts.at(n - 1));
        QTest::mouseClick(window.findChild<ctxPatchButton *>(u"cmdDispense"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.unitPanel(1)->caption3(), u"Count: 3"_s, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(window.unitPanel(3)->caption3(), u"Count: 2"_s, WaitMs);
        QCOMPARE(read(trace).count(">COUNT,"), 2);

        click(2, "cUpd"); // the update command, then update.bat from the program folder
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(folder).filePath(u"updated"_s)), WaitMs);
        window.close();

        // What the console keeps is in Windows' own form: CR LF, the settings beside the program.
        const QByteArray log = read(logPath);
        QVERIFY(log.contains("ID:TSL-DU UID=101"));
        QCOMPARE(log.count('\n'), log.count("\r\n"));
        const QByteArray ini = read(QDir(folder).filePath(u"Vorn.ini"_s));
        QVERIFY(ini.contains("\r\nComm Port=7\r\n"));
        QCOMPARE(ini.count('\n'), ini.count("\r\n"));
    }
};

QTEST_MAIN(WindowsPortRun)
#include "WindowsPortRun.moc"
