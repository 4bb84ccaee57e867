#include "Files.h"
#include "link/PortFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Devices are plain files here: the port folder only links to them and never opens them.
class tst_PortFolder : public QObject
{
    Q_OBJECT

    QString device(const QString &name)
    {
        QDir().mkpath(m_dir->filePath(u"dev"_s));
        writeFile(m_dir->filePath(u"dev/"_s + name), {});
        return QFileInfo(m_dir->filePath(u"dev/"_s + name)).canonicalFilePath();
    }
    std::unique_ptr<PortFolder> ports()
    {
        return std::make_unique<PortFolder>(m_dir->filePath(u"prog"_s), [this] { return m_devices; });
    }

private slots:
    void init()
    {
        m_dir.emplace();
        m_devices.clear();
    }

#ifdef Q_OS_WIN
    // Windows names the ports itself: port n is COMn, the list is the system's, and no ports folder is made.
    void windowsNamesThePorts()
    {
        m_devices = {{u"\\\\.\\COM4"_s, u"COM4"_s, u"USB Serial Device"_s}, { u"\\\\.\\COM1"_s, u"COM1"_s, QString() }};
        auto p = ports();
        QCOMPARE(p->deviceList(), (QStringList{u"USB Serial Device (COM4)"_s, u"Serial Port (COM1)"_s}));
        QCOMPARE(p->devicePath(12), u"COM12"_s);
        QVERIFY(!QFileInfo::exists(p->portsFolder()));
    }
#else
    // Linked ports keep their numbers, an unplugged adapter too; new devices get the lowest free ones in
    // path order, and keep them. An adapter plugged in later is found by its number without a new list.
    void numbersStick()
    {
        QCOMPARE(ports()->deviceList(), QStringList()); // no device, no ports folder yet
        const QString usb1 = device(u"ttyUSB1"_s), acm0 = device(u"ttyACM0"_s), linked = device(u"ttyS0"_s);
        m_devices = {{usb1, u"ttyUSB1"_s, QString()},
                     {device(u"ttyUSB0"_s), u"ttyUSB0"_s, u"FT232R"_s},
                     {linked, u"ttyS0"_s, QString()},
                     {acm0, u"ttyACM0"_s, u"Dispenser"_s}};
        auto p = ports();
        QVERIFY(QDir().mkpath(p->portsFolder()));
        QVERIFY(QFile::link(linked, p->linkPath(1)));
        QVERIFY(QFile::link(m_dir->filePath(u"dev/unplugged"_s), p->linkPath(3)));
        QVERIFY(QFile::link(device(u"pts9"_s), p->linkPath(12))); // not a listed serial device: no description
        const QStringList expected{u"Serial Port (COM1)"_s, u"Dispenser (COM2)"_s, u"FT232R (COM4)"_s,
                                   u"Serial Port (COM5)"_s, u"Serial Port (COM12)"_s};
        QCOMPARE(p->deviceList(), expected);
        QCOMPARE(p->deviceList(), expected);
        QCOMPARE(ports()->devicePath(2), acm0);
        QCOMPARE(ports()->devicePath(5), usb1);
        m_devices.append({device(u"ttyUSB2"_s), u"ttyUSB2"_s, QString()});
        QCOMPARE(p->devicePath(6), m_devices.last().path);
        QCOMPARE(p->devicePath(9), p->linkPath(9)); // nothing there: fails to open like a missing port
    }
#endif

private:
    std::optional<QTemporaryDir> m_dir;
    QList<PortFolder::SerialDevice> m_devices;
};

QTEST_GUILESS_MAIN(tst_PortFolder)
#include "tst_PortFolder.moc"
