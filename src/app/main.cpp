#include "app/Language.h"
#include "app/ProgramFolder.h"
#include "app/QtPlatform.h"
#include "app/SignalCloser.h"
#include "app/frmVorn.h"
#include "ninepatch/ctxPatchButton.h"
#include "report/ReportCommand.h"
#include "report/ShiftReportWindow.h"
#include "settings/SettingsSchema.h"
#include "settings/mSettings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QScreen>
#include <QStandardPaths>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace Qt::StringLiterals;

namespace {

const char noDisplayLine[] = "vorn: no display (set DISPLAY, or start it under xvfb-run)\n";

struct CommandLine
{
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption dir{u"dir"_s,
                           u"The program folder (settings files, Log folder, update script, ports). Default: the "
#ifdef Q_OS_WIN
                           u"executable's folder, or the per-user data folder for an installed copy."_s,
#else
                           u"executable's folder, or the per-user data folder when that cannot be written."_s,
#endif
                           u"FOLDER"_s};
    QCommandLineOption screenshot{
        u"screenshot"_s, u"Save a picture of the window once it is shown, then close it as the operator would."_s,
        u"FILE"_s};
    // For the README's picture of the shift report: opens it once the console is shown, saves its picture.
    QCommandLineOption reportScreenshot{u"report-screenshot"_s, u"Save a picture of the shift report window."_s,
                                        u"FILE"_s};
    QCommandLineOption report{
        u"report"_s,
        u"Write the shift report of a day (yy-mm-dd, today when none is given) or of a range of days "
        u"(yy-mm-dd..yy-mm-dd) from the dispense journal, without a window: the unit table to standard output, "
        u"or to the files asked for."_s};
    QCommandLineOption pdf{u"pdf"_s, u"With --report: write the report as a PDF."_s, u"FILE"_s};
    QCommandLineOption csv{u"csv"_s, u"With --report: write the unit table as CSV."_s, u"FILE"_s};
    QCommandLineOption designsCsv{u"designs-csv"_s, u"With --report: write the design table as CSV."_s, u"FILE"_s};
    QCommandLineOption daysCsv{u"days-csv"_s, u"With --report: write a row per day and unit as CSV."_s, u"FILE"_s};
    QCommandLineOption json{u"json"_s, u"With --report: write the whole report as JSON."_s, u"FILE"_s};

    CommandLine()
    {
        parser.addOption(dir);
        parser.addOption(screenshot);
        parser.addOption(report);
        reportScreenshot.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(reportScreenshot);
        parser.addOption(pdf);
        parser.addOptions({csv, designsCsv, daysCsv, json});
        parser.addPositionalArgument(u"days"_s, u"With --report: the day or range of days."_s, u"[DAY|FROM..TO]"_s);
    }

    bool asksForTextOnly() const
    {
        return parser.isSet(help) || parser.isSet(version) || parser.optionNames().contains(u"help-all"_s);
    }

    // Needs an application object (the executable's folder); --help and --version tell the operator the
    // outcome. The per-user data folder is the local one on Windows (%LOCALAPPDATA%\vorn: settings and logs
    // belong to the PC's serial ports, not to a roaming profile), ~/.local/share/vorn elsewhere.
    ProgramFolderChoice programFolder()
    {
        const ProgramFolderChoice choice =
            chooseProgramFolder(parser.value(dir), QCoreApplication::applicationDirPath(),
                                QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
        folderText = u"Program folder: %1\n(%2)"_s.arg(QDir::toNativeSeparators(choice.path), choice.reason);
        parser.setApplicationDescription(
            u"TESSALORAN Dispenser: the operator's console for the stone-counting dispenser.\n\n"_s + folderText);
        return choice;
    }

    // After programFolder(): the version, then where this copy keeps the operator's files.
    QString versionText() const
    {
        return QCoreApplication::applicationName() + u' ' + QCoreApplication::applicationVersion() + u'\n' + folderText
            + u'\n';
    }

    QString folderText;
};

QStringList rawArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// True when the platform plugin Qt would load needs a display server that the environment does not name.
// Asked before QApplication exists, because Qt aborts when the plugin cannot start.
bool displayMissing(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QString platforms = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            platforms = QString::fromLocal8Bit(argv[i + 1]);
    }
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platforms.isEmpty()) // Qt picks xcb or wayland by the session
        return !x11 && !wayland;
    // A list ("wayland;xcb") is tried in order; an entry may carry options after a colon.
    for (const QString &entry : platforms.split(u';', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u':', 0, 0);
        if (name == u"xcb" ? x11 : name.startsWith(u"wayland") ? wayland : true)
            return false;
    }
    return true;
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return false;
#endif
}

// Messages Qt gives while the application object is made are held back: when the platform plugin fails
// after all (no X server behind DISPLAY, an unknown QT_QPA_PLATFORM) Qt names every plugin it tried and
// aborts, where the operator should read one line and get a status.
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QList<HeldMessage> heldMessages;

void holdStartMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fputs(noDisplayLine, stderr);
        std::fflush(stderr);
        std::_Exit(2);
    }
    heldMessages.append({type, QByteArray(context.category), text});
}

#ifdef Q_OS_WIN
// vorn.exe is a program of the GUI subsystem and gets no console. Text for the caller goes where the caller
// reads: the handles it was given (a pipe, a file), else the console it was started from; started from
// Explorer there is neither, and nothing is shown.
void attachCallersConsole()
{
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE || GetFileType(out) == FILE_TYPE_UNKNOWN)
        && AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

// Qt's parser answers in a message box where it sees no console: the answer is written here instead.
int answerOnCallersConsole(const CommandLine &command)
{
    attachCallersConsole();
    if (!command.parser.errorText().isEmpty()) {
        std::fputs(qPrintable(command.parser.errorText() + u'\n'), stderr);
        return 1;
    }
    std::fputs(qPrintable(command.parser.isSet(command.version) ? command.versionText() : command.parser.helpText()),
               stdout);
    return 0;
}
#endif

// The shift report from the command line needs no display: text and CSV need no GUI at all, and the PDF's
// charts are drawn by an application on the offscreen platform.
int runReport(int argc, char **argv, CommandLine &command)
{
    // A script reads one line on standard error when something is wrong; Qt's own notes (a missing
    // XDG_RUNTIME_DIR, font fallbacks) are no such line.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtFatalMsg) {
            std::fprintf(stderr, "vorn: %s\n", qPrintable(text));
            std::_Exit(2);
        }
    });
    const bool pdf = command.parser.isSet(command.pdf);
#ifndef Q_OS_WIN
    if (pdf)
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    const std::unique_ptr<QCoreApplication> app =
        pdf ? std::make_unique<QApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    const QString folder = command.programFolder().path;
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList days = command.parser.positionalArguments();
    if (days.size() > 1) {
        err << "vorn: one day or one range of days, not " << days.join(u' ') << Qt::endl;
        return 2;
    }
    mSettings::setProgramFolder(folder); // the station's name
    const QCommandLineParser &p = command.parser;
    return reportcommand::run({folder, days.value(0), p.value(command.pdf), p.value(command.csv),
                               p.value(command.designsCsv), p.value(command.daysCsv), p.value(command.json)},
                              QDateTime::currentDateTime(), out, err);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(u"vorn"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(VORN_VERSION));
    QGuiApplication::setDesktopFileName(u"vorn"_s);

    CommandLine command;
    // --help and --version need no window, so they work without a display: answered from a
    // core application before anything of the GUI exists.
    const bool parsed = command.parser.parse(rawArguments(argc, argv));
    if (parsed && command.asksForTextOnly()) {
        QCoreApplication core(argc, argv);
        command.programFolder();
#ifdef Q_OS_WIN
        return answerOnCallersConsole(command);
#endif
        if (command.parser.isSet(command.version)) {
            std::fputs(qPrintable(command.versionText()), stdout);
            return 0;
        }
        command.parser.process(core); // prints and exits
        return 0;
    }
    if (parsed && command.parser.isSet(command.report)) {
#ifdef Q_OS_WIN
        attachCallersConsole(); // a script reads the report's table and its one-line reasons
#endif
        return runReport(argc, argv, command);
    }
    if (displayMissing(argc, argv)) {
        std::fputs(noDisplayLine, stderr);
        return 2;
    }

    const QtMessageHandler previousHandler = qInstallMessageHandler(holdStartMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &message : std::as_const(heldMessages))
        qt_message_output(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
                          message.text);
    heldMessages.clear();

    // Qt's own options (-platform, -style) are gone from app.arguments(); this parse also reports
    // unknown options and answers --help when the first pass could not read the line.
    command.parser.parse(app.arguments());
    const QString folder = command.programFolder().path;
#ifdef Q_OS_WIN
    if (!command.parser.errorText().isEmpty() || command.asksForTextOnly())
        return answerOnCallersConsole(command);
#endif
    if (command.parser.errorText().isEmpty() && command.parser.isSet(command.version)) {
        std::fputs(qPrintable(command.versionText()), stdout);
        return 0;
    }
    command.parser.process(app);

    if (!QDir().mkpath(folder)) {
        qWarning("vorn: cannot use the program folder %s", qPrintable(QDir::toNativeSeparators(folder)));
        return 2;
    }
    mSettings::setProgramFolder(folder);

    // The operator's language, before anything says a word: Language= of [Settings], else the system's.
    const language::Choice language = language::choose(SettingsSchema::Setting(SettingsSchema::Key::Language).read(),
                                                       QLocale::system().uiLanguages());
    const bool translated = language::install(language.language);

    QtPlatform platform(folder);
    frmVorn window(platform, &platform.ports());
    platform.setDialogParent(&window);
    SignalCloser closer(&window);
    window.load();
    // Asked to end while still starting (the controller search lets events run): the window has saved its
    // state already, so there is nothing left to show.
    if (window.isClosed())
        return 0;
    // A Language= the console has no translation for is said once; the operator goes on in English.
    if (!language.note.isEmpty())
        window.announce(verbatim(language.note));
    else if (!translated)
        window.announce(
            verbatim(QStringLiteral("The %1 translation could not be loaded: English").arg(language.language)));
    window.show();

    if (command.parser.isSet(command.screenshot)) {
        const QString file = command.parser.value(command.screenshot);
        QTimer::singleShot(1500, &window, [&window, file] {
            const QPixmap shot = window.screen() ? window.screen()->grabWindow(window.winId()) : QPixmap();
            (shot.isNull() ? window.grab() : shot).save(file);
            window.close();
        });
    }
    if (command.parser.isSet(command.reportScreenshot)) {
        const QString file = command.parser.value(command.reportScreenshot);
        window.showShiftReport();
        QTimer::singleShot(2500, &window, [&window, file] {
            QWidget *report = window.shiftReport();
            const QPixmap shot = report->screen() ? report->screen()->grabWindow(report->winId()) : QPixmap();
            (shot.isNull() ? report->grab() : shot).save(file);
            window.close();
        });
    }
    return app.exec();
}
