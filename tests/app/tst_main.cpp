#include "ProgramFolder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

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

void tst_main::programFolder_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<bool>("expectExecutableFolder");
    QTest::addColumn<QString>("reasonPart");

    QTest::newRow("a build tree or a portable copy") << QString() << u"<temp>"_s << true << u"writable"_s;
    QTest::newRow("--dir wins over a writable executable folder")
        << u"<temp>/given"_s << u"<temp>"_s << false << u"--dir"_s;
#ifdef Q_OS_WIN
    QTest::newRow("Windows keeps the executable's folder") << QString() << u"C:/nowhere"_s << true << QString();
#else
    // Root may write in any folder of mode 555 but in no folder of /proc, so the installed case is
    // played with /proc whoever runs the test.
    QTest::newRow("installed: the executable's folder cannot be written")
        << QString() << u"/proc"_s << false << u"cannot be written"_s;
    if (::geteuid() != 0)
        QTest::newRow("a read-only copy") << QString() << u"<temp>/readonly"_s << false << u"cannot be written"_s;
#endif
}

void tst_main::programFolder()
{
    QFETCH(QString, given);
    QFETCH(QString, executableFolder);
    QFETCH(bool, expectExecutableFolder);
    QFETCH(QString, reasonPart);

    QTemporaryDir temp;
    given.replace(u"<temp>"_s, temp.path());
    executableFolder.replace(u"<temp>"_s, temp.path());
    if (executableFolder.endsWith(u"/readonly"_s)) {
        QVERIFY(QDir().mkpath(executableFolder));
        QFile::setPermissions(executableFolder, QFile::ReadOwner | QFile::ExeOwner);
    }
    const QString userFolder = temp.filePath(u"user"_s);

    const ProgramFolderChoice choice = chooseProgramFolder(given, executableFolder, userFolder);
    const QString expected = !given.isEmpty() ? given : expectExecutableFolder ? executableFolder : userFolder;
    QCOMPARE(choice.path, expected);
    QVERIFY2(choice.reason.contains(reasonPart), qPrintable(choice.reason));
    // The question leaves nothing behind in the operator's folder.
    if (executableFolder.startsWith(temp.path()))
        QCOMPARE(QDir(executableFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList());
    QFile::setPermissions(executableFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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
    QTest::newRow("--help on a server") << QStringList{u"--help"_s} << QString() << QString() << 0
                                        << u"Program folder: "_s << QByteArray();
    QTest::newRow("--help names the folder of --dir")
        << QStringList{u"--dir"_s, u"<temp>"_s, u"-h"_s} << QString() << QString() << 0
        << u"Program folder: <temp>\n(given with --dir)"_s << QByteArray();
    QTest::newRow("a start on a server") << QStringList{u"--dir"_s, u"<temp>"_s} << QString() << QString() << 2
                                         << QString() << noDisplay;
#ifdef Q_OS_LINUX
    // No server listens there: Qt's plugin gives up, which would abort the process.
    QTest::newRow("DISPLAY names no X server")
        << QStringList{u"--dir"_s, u"<temp>"_s} << u"xcb"_s << u":4093"_s << 2 << QString() << noDisplay;
#endif
    QTest::newRow("a platform that does not exist")
        << QStringList{u"--dir"_s, u"<temp>"_s} << u"nosuchplatform"_s << QString() << 2 << QString() << noDisplay;
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
        QVERIFY2(QString::fromLocal8Bit(output).contains(outputPart), output.constData());
    // Nothing of the operator's folder is touched by a start that cannot show the window.
    QVERIFY(QDir(temp.path()).isEmpty());
}

QTEST_MAIN(tst_main)
#include "tst_main.moc"
