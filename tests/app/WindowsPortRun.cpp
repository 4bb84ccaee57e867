#include "app/QtPlatform.h"
#include "app/frmVorn.h"
#include "link/PortFolder.h"
#include "ninepatch/ctxPatchButton.h"
#include "settings/mSettings.h"
#include "units/dUnit.h"

#include <QDate>
#include <QDir>
#include <QFontInfo>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The Windows build at a serial port, run under wine by scripts/windows-test.sh, which serves the
// simulator on a pseudo-terminal that wine names COM7 and checks the files afterwards: the real window on
// the real platform layer (COMn, the system's device list, update.bat) in the program folder
// VORN_E2E_FOLDER, which holds the demo settings and an update.bat.
class WindowsPortRun : public QObject
{
    Q_OBJECT

    static constexpr int WaitMs = 20000; // wine on a busy machine; nothing here measures speed

private slots:
    void idDispenseUpdate()
    {
        const QString folder = qEnvironmentVariable("VORN_E2E_FOLDER");
        if (folder.isEmpty())
            QSKIP("needs the simulator on COM7: run scripts/windows-test.sh");
        mSettings::setProgramFolder(folder);
        QtPlatform platform(folder);
        qInfo("device list: %s", qPrintable(platform.deviceList().join(u"; "_s)));
        frmVorn window(platform, &platform.ports());
        window.load();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_COMPARE_WITH_TIMEOUT(window.statusText(), u"Tessaloran Controller found on Port 7"_s, WaitMs);
        // Courier New may be missing (wine has none): what stands in keeps the pane's columns.
        QVERIFY(QFontInfo(window.findChild<QWidget *>(u"txtOut"_s)->font()).fixedPitch());

        QFile log(QDir(folder).filePath(u"Log/"_s + QDate::currentDate().toString(u"yy-MM-dd"_s) + u"-Log.txt"_s));
        auto logged = [&log](const QByteArray &text) {
            log.close();
            return log.open(QIODevice::ReadOnly) && log.readAll().contains(text);
        };
        auto click = [&window](int unit, const char *name) {
            QTest::mouseClick(window.unitPanel(unit)->findChild<ctxPatchButton *>(QLatin1String(name)), Qt::LeftButton);
        };
        click(1, "cInit");
        QTRY_VERIFY_WITH_TIMEOUT(logged("ID:TSL-DU UID=101"), WaitMs);
        for (int n = 1; n <= 5; ++n)
            window.setCountText(n, QString::number(n == 1 ? 3 : n == 3 ? 2 : 0));
        QTest::mouseClick(window.findChild<ctxPatchButton *>(u"cmdDispense"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.unitPanel(1)->caption3(), u"Count: 3"_s, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(window.unitPanel(3)->caption3(), u"Count: 2"_s, WaitMs);
        click(2, "cUpd"); // the update command, then update.bat from the program folder
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(folder).filePath(u"updated"_s)), WaitMs);
        window.close();
    }
};

QTEST_MAIN(WindowsPortRun)
#include "WindowsPortRun.moc"
