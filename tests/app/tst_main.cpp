#include "ProgramFolder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_main : public QObject
{
    Q_OBJECT
private slots:
    void programFolder_data();
    void programFolder();
    void startWithoutDisplay_data();
    void startWithoutDisplay();
};

// Root may write in any folder of mode 555 but in no folder of /proc, so the installed case is played with
// /proc whoever runs the test.
void tst_main::programFolder_data()
{
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<bool>("beside"); // the program folder is the executable's
    QTest::addColumn<QString>("reasonPart");
    QTest::newRow("a build tree or a portable copy") << u"<temp>"_s << true << u"the executable's folder"_s;
#ifdef Q_OS_WIN
    // The settings live beside the program, whatever the folder's rights say.
    QTest::newRow("Windows: beside the executable, writable or not")
        << u"/proc"_s << true << u"the executable's folder"_s;
#else
    QTest::newRow("installed: the executable's folder cannot be written")
        << u"/proc"_s << false << u"cannot be written"_s;
#endif
}

void tst_main::programFolder()
{
    QFETCH(QString, executableFolder);
    QFETCH(bool, beside);
    QFETCH(QString, reasonPart);
    QTemporaryDir temp;
    executableFolder.replace(u"<temp>"_s, temp.path());
    const ProgramFolderChoice choice = chooseProgramFolder(QString(), executableFolder, temp.filePath(u"user"_s));
    QCOMPARE(choice.path, beside ? executableFolder : temp.filePath(u"user"_s));
    QVERIFY2(choice.reason.contains(reasonPart), qPrintable(choice.reason));
    QVERIFY(QDir(temp.path()).isEmpty()); // the question leaves nothing behind in the operator's folder
}

void tst_main::startWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM, unset when empty
    QTest::addColumn<QString>("display"); // DISPLAY, unset when empty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("outputPart");
    QTest::addColumn<QByteArray>("errors");

    const QByteArray noDisplay = "vorn: no display (set DISPLAY, or start it under xvfb-run)\n";
    QTest::newRow("--version on a server")
        << QStringList{u"--version"_s} << QString() << QString() << 0 << u"vorn "_s << QByteArray();
    QTest::newRow("--help names the folder of --dir")
        << QStringList{u"--dir"_s, u"<temp>"_s, u"-h"_s} << QString() << QString() << 0
        << u"Program folder: <temp>\n(given with --dir)"_s << QByteArray();
#ifndef Q_OS_WIN // Windows always has a desktop, and Qt there shows a message box of its own before it gives up
    QTest::newRow("a start on a server") << QStringList{u"--dir"_s, u"<temp>"_s} << QString() << QString() << 2
                                         << QString() << noDisplay;
    QTest::newRow("a platform that does not exist")
        << QStringList{u"--dir"_s, u"<temp>"_s} << u"nosuchplatform"_s << QString() << 2 << QString() << noDisplay;
#endif
#ifdef Q_OS_LINUX
    // No server listens there: Qt's plugin gives up, which would abort the process.
    QTest::newRow("DISPLAY names no X server")
        << QStringList{u"--dir"_s, u"<temp>"_s} << u"xcb"_s << u":4093"_s << 2 << QString() << noDisplay;
#endif
}

void tst_main::startWithoutDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(int, exitCode);
    QFETCH(QString, outputPart);
    QFETCH(QByteArray, errors);

    QTemporaryDir temp;
    arguments.replaceInStrings(u"<temp>"_s, temp.path());
    outputPart.replace(u"<temp>"_s, QDir::toNativeSeparators(temp.path()));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
        env.remove(name);
    if (!platform.isEmpty())
        env.insert(u"QT_QPA_PLATFORM"_s, platform);
    if (!display.isEmpty())
        env.insert(u"DISPLAY"_s, display);
    QProcess vorn;
    vorn.setProcessEnvironment(env);
    vorn.start(QStringLiteral(VORN_EXECUTABLE), arguments);
    QVERIFY(vorn.waitForFinished(30000));
    const QByteArray output = vorn.readAllStandardOutput();
    const QByteArray errorOutput = vorn.readAllStandardError();

    QCOMPARE(vorn.exitStatus(), QProcess::NormalExit);
    QCOMPARE(vorn.exitCode(), exitCode);
    QCOMPARE(errorOutput, errors);
    if (outputPart.isEmpty())
        QCOMPARE(output, QByteArray());
    else
        QVERIFY2(QString::fromLocal8Bit(output).remove(u'\r').contains(outputPart),
                 output.constData()); // Windows: CR LF
    // Nothing of the operator's folder is touched by a start that cannot show the window.
    QVERIFY(QDir(temp.path()).isEmpty());
}

QTEST_MAIN(tst_main)
#include "tst_main.moc"
