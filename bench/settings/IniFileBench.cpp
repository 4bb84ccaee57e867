// Prints how long the settings operations take on files of growing size, to show that every operation
// stays linear in the file's size (a tenfold file should take about ten times as long, not a hundredfold).

#include "IniFile.h"
#include "mSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

template<typename F>
double millisecondsPerRun(int runs, F &&operation)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        operation(i);
    return double(timer.nsecsElapsed()) / 1e6 / runs;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    mSettings::setProgramFolder(dir.path());
    mSettings::resetPaths();
    mSettings::BuildIniPaths();
    const QString path = mSettings::IniFile;

    std::printf("%10s %10s %12s %12s %12s %12s\n", "sections", "bytes", "read ms", "replace ms", "append ms",
                "section ms");
    for (int sections : {1000, 10000, 30000, 100000, 300000}) {
        QByteArray text;
        for (int i = 0; i < sections; ++i)
            text += "[S" + QByteArray::number(i) + "]\r\nk=" + QByteArray::number(i) + "\r\nv=value\r\n";
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
        file.close();
        const QString last = u"S%1"_s.arg(sections - 1);
        const int runs = sections >= 100000 ? 5 : 50;

        const double read = millisecondsPerRun(runs, [&](int) { mSettings::ReadIni({}, last, u"k"_s, u"-"_s, false); });
        const double replace =
            millisecondsPerRun(runs, [&](int i) { mSettings::WriteIni({}, last, u"k"_s, QString::number(i)); });
        const double append =
            millisecondsPerRun(runs, [&](int i) { mSettings::WriteIni({}, last, u"n%1"_s.arg(i), u"1"_s); });
        qint32 count = 0;
        QString name;
        const double section = millisecondsPerRun(runs, [&](int) { mSettings::ReadIniSection(name, last, count); });
        std::printf("%10d %10lld %12.3f %12.3f %12.3f %12.3f\n", sections, static_cast<long long>(text.size()), read,
                    replace, append, section);
    }
    return 0;
}
