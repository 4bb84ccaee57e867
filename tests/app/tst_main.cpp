#include "ProgramFolder.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class tst_main : public QObject
{
    Q_OBJECT
private slots:
    void programFolder_data();
    void programFolder();
    void commandLine_data();
    void commandLine();
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

// The command line without a display: what a server or a script at the end of a shift gets, the report's
// unit table where asked; nothing of the operator's folder is touched beyond the file asked for.
void tst_main::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM, unset when empty
    QTest::addColumn<QString>("display"); // DISPLAY, unset when empty
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output"); // whole when it ends a line, else a part of it
    QTest::addColumn<QByteArray>("errors"); // ending in ": ", the system's own reason follows
    QTest::addColumn<QByteArray>("csv"); // what <temp>/out.csv holds afterwards
    QTest::addColumn<QStringList>("pdfLines"); // patterns of lines of the text of <temp>/out.pdf
    const auto row = [](const char *name, const QString &arguments, int exitCode, const QByteArray &output,
                        const QByteArray &errors, const QByteArray &csv = {}, const QStringList &pdf = {},
                        const QString &platform = {}, const QString &display = {}) {
        QTest::newRow(name) << arguments.split(u' ') << platform << display << exitCode << output << errors << csv
                            << pdf;
    };
    const QByteArray noDisplay = "vorn: no display (set DISPLAY, or start it under xvfb-run)\n";
    row("--version on a server", u"--version"_s, 0, "vorn ", {});
    row("--help names the folder of --dir", u"--dir <temp> -h"_s, 0, "Program folder: <temp>\n(given with --dir)", {});
#ifndef Q_OS_WIN // Windows always has a desktop, and Qt there shows a message box of its own before it gives up
    row("a start on a server", u"--dir <temp>"_s, 2, {}, noDisplay);
    row("a platform that does not exist", u"--dir <temp>"_s, 2, {}, noDisplay, {}, {}, u"nosuchplatform"_s);
#endif
#ifdef Q_OS_LINUX
    // No server listens there: Qt's plugin gives up, which would abort the process.
    row("DISPLAY names no X server", u"--dir <temp>"_s, 2, {}, noDisplay, {}, {}, u"xcb"_s, u":4093"_s);
#endif
    const QByteArray unreadable = "vorn: 1 journal row could not be read\n";
    row("a day as aligned text", u"--report --dir <temp> 26-12-06"_s, 0,
        "unit    uid      runs  complete  short runs  stuck  over  not sent  no report  stones asked  "
        "stones counted  stones short  OK  NOT OK\n"
        "UNIT 1  101         2         1           0      1     0         0          0            24  "
        "            17             0   1       0\n"
        "UNIT 3  103/113     2         0           1      0     0         1          0             8  "
        "             1             3   0       1\n"
        "total               4         1           1      1     0         1          0            32  "
        "            18             3   1       1\n",
        unreadable);
    row("a range to CSV", u"--report --dir <temp> 26-12-05..26-12-06 --csv <temp>/out.csv"_s, 0, {}, unreadable,
        "unit,uid,runs,complete,short runs,stuck,over,not sent,no report,stones asked,stones counted,"
        "stones short,OK,NOT OK\r\n"
        "UNIT 1,101,3,2,0,1,0,0,0,36,29,0,1,0\r\nUNIT 3,103/113,2,0,1,0,0,1,0,8,1,3,0,1\r\n"
        "total,,5,2,1,1,0,1,0,44,30,3,1,1\r\n");
    row("a PDF without a display", u"--report --dir <temp> 26-12-06 --pdf <temp>/out.pdf"_s, 0, {}, unreadable, {},
        {u"Shift report 26-12-06"_s, u"UNIT 1 +101 +2 +1 +0 +1 +0 +0 +0 +24 +17 +0 +1 +0"_s,
         u"UNIT 3 +103/113 +2 +0 +1 +0 +0 +1 +0 +8 +1 +3 +0 +1"_s, u"total +4 +1 +1 +1 +0 +1 +0 +32 +18 +3 +1 +1"_s,
         u"RING +2 +28 +18"_s, u"\\(no design\\) +1 +4 +0"_s,
         u"<temp>/Log - printed \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d +page 1"_s});
    // Backwards; a year and a day.
    for (const char *range : {"26-13-06", "26-12-06..26-12-05", "25-12-05..26-12-06"})
        row(range, u"--report --dir <temp> "_s + QLatin1String(range), 2, {},
            "vorn: not a day or range of days: " + QByteArray(range)
                + " (yy-mm-dd or yy-mm-dd..yy-mm-dd, at most 366 days)\n");
    row("a day without runs", u"--report --dir <temp> 26-12-07 --csv <temp>/out.csv"_s, 2, {},
        "vorn: no dispense journal for 26-12-07 in <temp>/Log\n");
    row("a CSV file in a folder that is not there", u"--report --dir <temp> 26-12-05 --csv <temp>/none/out.csv"_s, 2,
        {}, "vorn: cannot write <temp>/none/out.csv: ");
}

void tst_main::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    QFETCH(QByteArray, csv);
    QFETCH(QStringList, pdfLines);

    QTemporaryDir temp;
    QVERIFY(QDir(temp.path()).mkdir(u"Log"_s));
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(temp.filePath(u"Log/"_s + name));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    };
    const QByteArray header = "time,design,unit,uid,asked,counted,short,result,verdict,actual\r\n";
    write(u"26-12-05-Runs.csv"_s, header + "2026-12-05T22:10:00,,UNIT 1,101,12,12,,complete,,\r\n");
    // UNIT 3's UID was changed during the shift; a row of it was cut off.
    write(u"26-12-06-Runs.csv"_s,
          header
              + "2026-12-06T14:03:12,RING,UNIT 3,103,4,1,3,short,NOT OK,1\r\n"
                "2026-12-06T14:03:12,RING,UNIT 1,101,12,12,,complete,OK,\r\n"
                "2026-12-06T14:09:40,RING,UNIT 1,101,12,5,,stuck,,\r\n"
                "2026-12-06T15:00:00,,UNIT 3,113,4\r\n"
                "2026-12-06T15:10:00,,UNIT 3,113,4,,,not sent,,\r\n");
    arguments.replaceInStrings(u"<temp>"_s, temp.path());
    const auto native = [&](const QByteArray &text) { // a path the console names as the system writes it
        return QString::fromUtf8(text).replace(u"<temp>"_s, QDir::toNativeSeparators(temp.path())).toUtf8();
    };
    output = native(output);
    errors = native(errors);
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
    QByteArray errorOutput = vorn.readAllStandardError();
    QByteArray standardOutput = vorn.readAllStandardOutput();
#ifdef Q_OS_WIN // text written to the console's handles in text mode: CR LF
    errorOutput.replace("\r\n", "\n");
    standardOutput.replace("\r\n", "\n");
#endif
    QCOMPARE(vorn.exitStatus(), QProcess::NormalExit);
    QVERIFY2(vorn.exitCode() == exitCode, errorOutput.constData());
    if (output.isEmpty() || output.endsWith('\n'))
        QCOMPARE(standardOutput, output);
    else
        QVERIFY2(standardOutput.contains(output), standardOutput.constData());
    if (errors.endsWith(": "))
        QVERIFY2(errorOutput.startsWith(errors) && errorOutput.count('\n') == 1, errorOutput.constData());
    else
        QCOMPARE(errorOutput, errors);
    QFile out(temp.filePath(u"out.csv"_s));
    QCOMPARE(out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray(), csv);
    QStringList left = QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    left.removeOne(u"out.csv"_s);
    left.removeOne(u"out.pdf"_s);
    QCOMPARE(left, QStringList{u"Log"_s});
    QCOMPARE(QDir(temp.filePath(u"Log"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 2);

#ifdef Q_OS_WIN
    pdfLines.clear(); // pdftotext is Debian's, read on Linux
#endif
    if (pdfLines.isEmpty())
        return;
    QProcess pdftotext;
    pdftotext.start(u"pdftotext"_s, {u"-layout"_s, temp.filePath(u"out.pdf"_s), u"-"_s});
    QVERIFY2(pdftotext.waitForFinished(30000) && pdftotext.exitCode() == 0, "pdftotext (Debian poppler-utils)");
    const QStringList lines = QString::fromUtf8(pdftotext.readAllStandardOutput()).split(u'\n');
    for (QString pattern : pdfLines) {
        pattern.replace(u"<temp>"_s, QRegularExpression::escape(QDir::toNativeSeparators(temp.path())));
        const QRegularExpression re(u"^\\s*"_s + pattern + u"\\s*$"_s);
        QVERIFY2(lines.indexOf(re) >= 0, qPrintable(pattern + u"\n"_s + lines.join(u'\n')));
    }
}

QTEST_MAIN(tst_main)
#include "tst_main.moc"
