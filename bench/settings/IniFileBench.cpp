// Prints how long the settings operations take on files of growing size, to show that every operation
// stays linear in the file's size (a tenfold file should take about ten times as long, not a hundredfold).

#include "settings/IniFile.h"
#include "settings/SettingsSchema.h"
#include "settings/mSettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

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

    // The layout pass of a resize: NoUnits and the port, then each unit's size and address, every read with
    // write-back, on a Vorn.ini of 100 units whose identity lines make it grow.
    // The first pass reads the file; the later ones show what a resize costs once it has been read.
    std::printf("\nlayout pass of 100 units (202 reads)\n%10s %10s %12s %12s\n", "target", "bytes", "first ms",
                "later ms");
    constexpr int Units = 100;
    for (const qsizetype target : {qsizetype(1000), qsizetype(1000 * 1000), qsizetype(16 * 1000 * 1000)}) {
        QByteArray text = "[Settings]\r\nShowMessages=A\r\nComm Port=7\r\nNoUnits=100\r\n";
        const qsizetype perUnit = target / Units;
        for (int n = 1; n <= Units; ++n) {
            const QByteArray head = "\r\n[UNIT" + QByteArray::number(n)
                + "]\r\nSIZE=1.0\r\nUID=" + QByteArray::number(100 + n) + "\r\nINIT=ID:";
            text += head + QByteArray(qMax<qsizetype>(0, perUnit - head.size() - 2), 'x') + "\r\n";
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return 1;
        file.close();
        // Past the moment within which a second change could keep the file's time stamp.
        QThread::msleep(100);
        const auto pass = [&](int) {
            SettingsSchema::Setting(SettingsSchema::Key::NoUnits).read();
            SettingsSchema::Setting(SettingsSchema::Key::CommPort).read();
            for (int n = 1; n <= Units; ++n) {
                SettingsSchema::Setting(SettingsSchema::Key::Size, n).read();
                SettingsSchema::Setting(SettingsSchema::Key::Uid, n).read();
            }
        };
        const double first = millisecondsPerRun(1, pass);
        const double later = millisecondsPerRun(target > 1000 * 1000 ? 5 : 50, pass);
        std::printf("%10lld %10lld %12.3f %12.3f\n", static_cast<long long>(target),
                    static_cast<long long>(text.size()), first, later);
    }
    return 0;
}
