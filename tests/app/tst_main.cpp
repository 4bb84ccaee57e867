#include "Files.h"
#include "app/ProgramFolder.h"
#include "app/QtPlatform.h"

#include <QApplication>
#include <QDir>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

class tst_main : public QObject
{
    Q_OBJECT
private slots:
    // A question to the operator is a box opened, not run: the caller returns at once, the window thread goes
    // on (its timers fire while the box is open), and the answer comes as an event of its own.
    void questionsWaitForNobody_data()
    {
        QTest::addColumn<bool>("yesNo");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Yes") << true << true << QString() << u"yes"_s;
        QTest::newRow("No") << true << false << QString() << u"no"_s;
        QTest::newRow("a count, OK") << false << true << u"17"_s << u"17"_s;
        QTest::newRow("a count, Cancel") << false << false << u"17"_s << QString();
    }

    void questionsWaitForNobody()
    {
        QFETCH(bool, yesNo);
        QFETCH(bool, accept);
        QFETCH(QString, typed);
        QTemporaryDir folder;
        QtPlatform platform(folder.path());
        std::optional<QString> answer;
        QObject context;
        if (yesNo)
            platform.askYesNo(u"Delete?"_s, u"Caution"_s, &context,
                              [&](bool yes) { answer = yes ? u"yes"_s : u"no"_s; });
        else
            platform.inputBox(u"Count?"_s, u"Error"_s, u"5"_s, &context, [&](const QString &text) { answer = text; });
        QVERIFY(!answer); // nobody waited
        int ticks = 0;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(5);
        QTRY_VERIFY(ticks >= 3 && QApplication::activeModalWidget());
        QWidget *box = QApplication::activeModalWidget();
        QVERIFY(!answer);
        if (auto *question = qobject_cast<QMessageBox *>(box)) {
            question->button(accept ? QMessageBox::Yes : QMessageBox::No)->click();
        } else {
            auto *input = qobject_cast<QInputDialog *>(box);
            QVERIFY(input);
            QCOMPARE(input->textValue(), u"5"_s);
            input->setTextValue(typed);
            accept ? input->accept() : input->reject();
        }
        QTRY_VERIFY(answer.has_value());
        QTEST(*answer, "expected");
    }

    // Root may write in any folder of mode 555 but in no folder of /proc, so the installed case is played with
    // /proc whoever runs the test.
    void programFolder_data()
    {
        QTest::addColumn<QString>("executableFolder");
        QTest::addColumn<bool>("installed"); // the installer's mark beside the executable
        QTest::addColumn<bool>("beside"); // the program folder is the executable's
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("a build tree or a portable copy")
            << u"<temp>"_s << false << true << u"the executable's folder"_s;
        QTest::newRow("installed by the Windows installer: a writable folder with its mark")
            << u"<temp>"_s << true << false << u"this copy was installed (installed.txt"_s;
#ifdef Q_OS_WIN
        // The settings live beside the program, whatever the folder's rights say.
        QTest::newRow("Windows: beside the executable, writable or not")
            << u"/proc"_s << false << true << u"the executable's folder"_s;
#else
        QTest::newRow("installed: the executable's folder cannot be written")
            << u"/proc"_s << false << false << u"cannot be written"_s;
#endif
    }

    void programFolder()
    {
        QFETCH(QString, executableFolder);
        QFETCH(bool, installed);
        QFETCH(bool, beside);
        QFETCH(QString, reasonPart);
        QTemporaryDir temp;
        executableFolder.replace(u"<temp>"_s, temp.path());
        QFile marker(temp.filePath(u"installed.txt"_s));
        QVERIFY(!installed || marker.open(QIODevice::WriteOnly));
        marker.close();
        const ProgramFolderChoice choice = chooseProgramFolder(QString(), executableFolder, temp.filePath(u"user"_s));
        QCOMPARE(choice.path, beside ? executableFolder : temp.filePath(u"user"_s));
        QVERIFY2(choice.reason.contains(reasonPart), qPrintable(choice.reason));
        // The question leaves nothing behind in the operator's folder.
        QCOMPARE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 installed ? QStringList{u"installed.txt"_s} : QStringList());
    }

    // The executable from a script. A start that cannot show the window says why and touches nothing of the
    // operator's folder. The shift report at the end of a shift: no display, no window, the tables where
    // asked, each CSV row and the JSON naming the station and the first and last run.
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after --dir <temp>
        QTest::addColumn<QStringList>("environment"); // "NAME=value", besides no display
        QTest::addColumn<QString>("station"); // [MQTT] Station in Vorn.ini; empty: no Vorn.ini, the host name
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("output"); // "*...": a part of it
        QTest::addColumn<QByteArray>("errors"); // "...: ": the system's own reason follows
        QTest::addColumn<QVariantMap>("files"); // what <temp>/<name> holds afterwards
        QTest::addColumn<QStringList>("pdfLines"); // patterns of lines of the text of <temp>/out.pdf
        QTest::addColumn<QStringList>("json"); // "path/in/the/object=value" in <temp>/out.json; "<host>": the host name

        const auto says = [](const char *name, const QStringList &arguments, const QStringList &environment,
                             int exitCode, const QByteArray &output, const QByteArray &errors) {
            QTest::newRow(name) << arguments << environment << QString() << exitCode << output << errors
                                << QVariantMap() << QStringList() << QStringList();
        };
        const QByteArray noDisplay = "vorn: no display (set DISPLAY, or start it under xvfb-run)\n";
        says("--version on a server names the folder too", {u"--version"_s}, {}, 0,
             "vorn " VORN_VERSION "\nProgram folder: <temp>\n(given with --dir)\n", {});
        says("--help names the folder of --dir", {u"-h"_s}, {}, 0, "*Program folder: <temp>\n(given with --dir)", {});
#ifndef Q_OS_WIN // Windows always has a desktop, and Qt there shows a message box of its own before it gives up
        says("a start on a server", {}, {}, 2, {}, noDisplay);
        says("a platform that does not exist", {}, {u"QT_QPA_PLATFORM=nosuchplatform"_s}, 2, {}, noDisplay);
#endif
#ifdef Q_OS_LINUX
        // No server listens there: Qt's plugin gives up, which would abort the process.
        says("DISPLAY names no X server", {}, {u"QT_QPA_PLATFORM=xcb"_s, u"DISPLAY=:4093"_s}, 2, {}, noDisplay);
#endif

        const QByteArray unreadable = "vorn: 1 journal row could not be read\n";
        const QByteArray unitColumns =
            "unit,uid,runs,complete,short runs,stuck,over,not sent,no report,stones asked,"
            "stones counted,stones over,stones short,stones unaccounted,yield %,OK,NOT OK\r\n";
        const QByteArray who = "\"Press 3, left\",2026-12-05T22:10:00,2026-12-06T15:10:00,";
        QTest::newRow("a day as aligned text")
            << QStringList{u"--report"_s, u"26-12-06"_s} << QStringList() << QString() << 0
            << QByteArray(
                   "unit    uid      runs  complete  short runs  stuck  over  not sent  no report  stones asked  "
                   "stones counted  stones over  stones short  stones unaccounted  yield %  OK  NOT OK\n"
                   "UNIT 1  101         2         1           0      1     0         0          0            24  "
                   "            17            0             0                   7     70.8   1       0\n"
                   "UNIT 3  103/113     2         0           1      0     0         1          0             8  "
                   "             1            0             3                   4     12.5   0       1\n"
                   "total               4         1           1      1     0         1          0            32  "
                   "            18            0             3                  11     56.3   1       1\n")
            << unreadable << QVariantMap() << QStringList() << QStringList();
        QTest::newRow("a range to every file")
            << QStringList{u"--report"_s,      u"26-12-05..26-12-06"_s, u"--csv"_s,      u"<temp>/out.csv"_s,
                           u"--designs-csv"_s, u"<temp>/designs.csv"_s, u"--days-csv"_s, u"<temp>/days.csv"_s,
                           u"--json"_s,        u"<temp>/out.json"_s,    u"--pdf"_s,      u"<temp>/out.pdf"_s}
            << QStringList() << u"Press 3, left"_s << 0 << QByteArray() << unreadable
            << QVariantMap{{u"out.csv"_s,
                            "station,from,to," + unitColumns + who + "UNIT 1,101,3,2,0,1,0,0,0,36,29,0,0,7,80.6,1,0\r\n"
                                + who + "UNIT 3,103/113,2,0,1,0,0,1,0,8,1,0,3,4,12.5,0,1\r\n" + who
                                + "total,,5,2,1,1,0,1,0,44,30,0,3,11,68.2,1,1\r\n"},
                           {u"designs.csv"_s,
                            "station,from,to,design,runs,stones asked,stones counted,stones over,"
                            "stones short,stones unaccounted,yield %\r\n"
                                + who + "RING,2,28,18,0,3,7,64.3\r\n" + who + "(no design),2,16,12,0,0,4,75.0\r\n"},
                           {u"days.csv"_s,
                            "station,from,to,day," + unitColumns + who
                                + "2026-12-05,UNIT 1,101,1,1,0,0,0,0,0,12,12,0,0,0,100.0,0,0\r\n" + who
                                + "2026-12-06,UNIT 1,101,2,1,0,1,0,0,0,24,17,0,0,7,70.8,1,0\r\n" + who
                                + "2026-12-06,UNIT 3,103/113,2,0,1,0,0,1,0,8,1,0,3,4,12.5,0,1\r\n"}}
            << QStringList{u"Shift report 26-12-05 to 26-12-06"_s,
                           u"Station: Press 3, left"_s,
                           u"Days: 26-12-05 to 26-12-06 \\(2 days\\)"_s,
                           u"Runs from 2026-12-05 22:10:00 to 2026-12-06 15:10:00"_s,
                           u".*stones +stones +stones +stones +stones +yield .*"_s,
                           u".*asked +counted +over +short +unaccounted +% .*"_s,
                           u"UNIT 1 +101 +3 +2 +0 +1 +0 +0 +0 +36 +29 +0 +0 +7 +80.6 +1 +0"_s,
                           u"UNIT 3 +103/113 +2 +0 +1 +0 +0 +1 +0 +8 +1 +0 +3 +4 +12.5 +0 +1"_s,
                           u"total +5 +2 +1 +1 +0 +1 +0 +44 +30 +0 +3 +11 +68.2 +1 +1"_s,
                           u"RING +2 +28 +18 +0 +3 +7 +64.3"_s,
                           u"\\(no design\\) +2 +16 +12 +0 +0 +4 +75.0"_s,
                           u".*Yield per day.*"_s,
                           u"<temp>/Log - printed \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d +page 1"_s}
            << QStringList{u"station=Press 3, left"_s,  u"from=2026-12-05T22:10:00"_s,
                           u"to=2026-12-06T15:10:00"_s, u"first day=2026-12-05"_s,
                           u"units/1/unit=UNIT 3"_s,    u"units/1/stones unaccounted=4"_s,
                           u"total/yield %=68.2"_s,     u"designs/1/design=(no design)"_s,
                           u"days/2/day=2026-12-06"_s,  u"stones counted per/1/stones counted=18"_s,
                           u"unreadable rows=1"_s};
        QTest::newRow("without a station set, the host name")
            << QStringList{u"--report"_s, u"26-12-05"_s, u"--json"_s, u"<temp>/out.json"_s} << QStringList()
            << QString() << 0 << QByteArray() << QByteArray() << QVariantMap() << QStringList()
            << QStringList{u"station=<host>"_s};
        // Refused: nothing written, and the reason said.
        const auto refused = [](const char *name, const QStringList &arguments, const QByteArray &errors) {
            QTest::newRow(name) << QStringList{u"--report"_s} + arguments << QStringList() << QString() << 2
                                << QByteArray() << errors << QVariantMap() << QStringList() << QStringList();
        };
        for (const char *days : {"26-13-06", "26-12-06..26-12-05", "25-12-05..26-12-06"}) // backwards; a year and a day
            refused(days, {QLatin1String(days)},
                    "vorn: not a day or range of days: " + QByteArray(days)
                        + " (yy-mm-dd or yy-mm-dd..yy-mm-dd, at most 366 days)\n");
        refused("a day without runs", {u"26-12-07"_s, u"--csv"_s, u"<temp>/out.csv"_s},
                "vorn: no dispense journal for 26-12-07 in <temp>/Log\n");
        refused("a JSON file in a folder that is not there", {u"26-12-05"_s, u"--json"_s, u"<temp>/none/out.json"_s},
                "vorn: cannot write <temp>/none/out.json: ");
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, exitCode);
        QFETCH(QString, station);
        QFETCH(QByteArray, output);
        QFETCH(QByteArray, errors);
        QFETCH(QVariantMap, files);
        QFETCH(QStringList, pdfLines);
        QFETCH(QStringList, json);

        QTemporaryDir temp;
        QVERIFY(QDir(temp.path()).mkdir(u"Log"_s));
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QVERIFY(writeFile(temp.filePath(name), bytes));
        };
        const QByteArray header = "time,design,unit,uid,asked,counted,short,result,verdict,actual\r\n";
        write(u"Log/26-12-05-Runs.csv"_s, header + "2026-12-05T22:10:00,,UNIT 1,101,12,12,,complete,,\r\n");
        // UNIT 3's UID was changed during the shift; a row of it was cut off.
        write(u"Log/26-12-06-Runs.csv"_s,
              header
                  + "2026-12-06T14:03:12,RING,UNIT 3,103,4,1,3,short,NOT OK,1\r\n"
                    "2026-12-06T14:03:12,RING,UNIT 1,101,12,12,,complete,OK,\r\n"
                    "2026-12-06T14:09:40,RING,UNIT 1,101,12,5,,stuck,,\r\n"
                    "2026-12-06T15:00:00,,UNIT 3,113,4\r\n"
                    "2026-12-06T15:10:00,,UNIT 3,113,4,,,not sent,,\r\n");
        if (!station.isEmpty())
            write(u"Vorn.ini"_s, "[MQTT]\r\nStation=" + station.toUtf8() + "\r\n");
        for (QString &a : arguments)
            a.replace(u"<temp>"_s, temp.path());
        // Paths as the console names them, as the system writes them.
        output.replace("<temp>", QDir::toNativeSeparators(temp.path()).toLocal8Bit());
        if (errors.contains("<temp>")) // a path in a reason, as the system writes it
            errors = QDir::toNativeSeparators(QString::fromUtf8(errors).replace(u"<temp>"_s, temp.path())).toUtf8();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        for (const QString &pair : environment)
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        QProcess vorn;
        vorn.setProcessEnvironment(env);
        vorn.start(QStringLiteral(VORN_EXECUTABLE), QStringList{u"--dir"_s, temp.path()} + arguments);
        QVERIFY(vorn.waitForFinished(30000));
        QCOMPARE(vorn.exitStatus(), QProcess::NormalExit);
        // What it writes to the console's handles, read with LF: Windows' text mode writes CR LF.
        const QByteArray standardOutput = vorn.readAllStandardOutput().replace("\r\n", "\n");
        const QByteArray errorOutput = vorn.readAllStandardError().replace("\r\n", "\n");
        QVERIFY2(vorn.exitCode() == exitCode, errorOutput.constData());
        if (output.startsWith('*'))
            QVERIFY2(standardOutput.contains(output.mid(1)), standardOutput.constData());
        else
            QCOMPARE(standardOutput, output);
        if (errors.endsWith(": ")) // the system's own reason follows
            QVERIFY2(errorOutput.startsWith(errors) && errorOutput.count('\n') == 1, errorOutput.constData());
        else
            QCOMPARE(errorOutput, errors);
        for (auto f = files.cbegin(); f != files.cend(); ++f) // an empty read: not written
            QCOMPARE(readFile(temp.filePath(f.key())), f->toByteArray());
        // Nothing is written that was not asked for; the settings and the journal are only read.
        const auto entries = [](const QString &folder) {
            return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size();
        };
        QCOMPARE(entries(temp.path()), 1 + files.size() + !json.isEmpty() + !pdfLines.isEmpty() + !station.isEmpty());
        QCOMPARE(entries(temp.filePath(u"Log"_s)), 2);

        if (!json.isEmpty()) {
            const QJsonObject report = QJsonDocument::fromJson(readFile(temp.filePath(u"out.json"_s))).object();
            for (const QString &check : json) {
                const qsizetype is = check.indexOf(u'=');
                QJsonValue v = report;
                for (const QString &step : check.left(is).split(u'/'))
                    v = v.isArray() ? v.toArray().at(step.toInt()) : v.toObject().value(step);
                QCOMPARE(v.isDouble() ? QString::number(v.toDouble()) : v.toString(),
                         check.mid(is + 1).replace(u"<host>"_s, QSysInfo::machineHostName()));
            }
        }

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
};

QTEST_MAIN(tst_main)
#include "tst_main.moc"
