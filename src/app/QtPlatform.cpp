#include "app/QtPlatform.h"

#include "link/PortFolder.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QtPlatform::QtPlatform(const QString &programFolder)
    : m_folder(programFolder)
    , m_ports(std::make_unique<PortFolder>(programFolder))
{
    m_clock.start();
}

QtPlatform::~QtPlatform() = default;

void QtPlatform::after(int ms, QObject *context, std::function<void()> fn)
{
    QTimer::singleShot(qMax(ms, 0), context, std::move(fn));
}

QDateTime QtPlatform::now() const
{
    return QDateTime::currentDateTime();
}

double QtPlatform::monotonicSeconds() const
{
    return double(m_clock.nsecsElapsed()) / 1e9;
}

// The boxes are opened, not run: the window thread goes on with its timers and the serial line while the
// operator thinks, and the answer arrives as an event of its own.
void QtPlatform::askYesNo(const QString &prompt, const QString &title, QObject *context,
                          std::function<void(bool)> answered)
{
    auto *box = new QMessageBox(QMessageBox::Question, title, prompt, QMessageBox::Yes | QMessageBox::No, m_parent);
    box->setDefaultButton(QMessageBox::Yes);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, context ? context : box, [box, answered = std::move(answered)](int) {
        answered(box->standardButton(box->clickedButton()) == QMessageBox::Yes);
    });
    box->open();
}

void QtPlatform::inputBox(const QString &prompt, const QString &title, const QString &initial, QObject *context,
                          std::function<void(const QString &)> answered)
{
    auto *box = new QInputDialog(m_parent);
    box->setWindowTitle(title);
    box->setLabelText(prompt);
    box->setTextValue(initial);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QInputDialog::finished, context ? context : box,
                     [box, answered = std::move(answered)](int result) {
                         answered(result == QDialog::Accepted ? box->textValue() : QString());
                     });
    box->open();
}

bool QtPlatform::startDetached(const QString &program, const QStringList &arguments)
{
    // No shell: the program is started as it is, and its outcome is never waited for.
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
#ifdef Q_OS_WIN
    process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments *args) {
        // Qt starts a child of a program without a console with CREATE_NO_WINDOW: the update script would
        // run unseen. It gets a console of its own, minimized, that takes the focus.
        args->flags &= ~DWORD(CREATE_NO_WINDOW);
        args->flags |= CREATE_NEW_CONSOLE;
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;
    });
#endif
    return process.startDetached();
}

QStringList QtPlatform::deviceList()
{
    return m_ports->deviceList();
}
