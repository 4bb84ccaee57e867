#include "QtPlatform.h"
#include "SignalCloser.h"
#include "ctxPatchButton.h"
#include "frmVorn.h"
#include "mSettings.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QScreen>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorn"));
    QApplication::setApplicationVersion(QStringLiteral(VORN_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("TESSALORAN Dispenser: the operator's console for the stone-counting dispenser."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption dirOption(
        QStringLiteral("dir"),
        QStringLiteral("The program folder (settings files, Log folder, update script, ports). Default: the "
                       "executable's folder."),
        QStringLiteral("FOLDER"));
    const QCommandLineOption screenshotOption(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a picture of the window once it is shown, then close it as the operator would."),
        QStringLiteral("FILE"));
    parser.addOption(dirOption);
    parser.addOption(screenshotOption);
    parser.process(app);

    QString folder = parser.isSet(dirOption) ? parser.value(dirOption) : QCoreApplication::applicationDirPath();
    folder = QDir(folder).absolutePath();
    if (!QDir().mkpath(folder)) {
        qWarning("vorn: cannot use the program folder %s", qPrintable(QDir::toNativeSeparators(folder)));
        return 2;
    }
    mSettings::setProgramFolder(folder);

    QtPlatform platform(folder);
    frmVorn window(platform, &platform.ports());
    platform.setDialogParent(&window);
    SignalCloser closer(&window);
    window.load();
    // Asked to end while still starting (the controller search lets events run): the window has saved its
    // state already, so there is nothing left to show.
    if (window.isClosed())
        return 0;
    window.show();

    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        QTimer::singleShot(1500, &window, [&window, file] {
            const QPixmap shot = window.screen() ? window.screen()->grabWindow(window.winId()) : QPixmap();
            (shot.isNull() ? window.grab() : shot).save(file);
            window.close();
        });
    }
    return app.exec();
}
