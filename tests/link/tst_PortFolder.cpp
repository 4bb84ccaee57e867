#include "PortFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QTest>
#include <optional>

// Devices are plain files here: the port folder only links to them and never opens them.
class tst_PortFolder : public QObject
{
    Q_OBJECT

private:
    QString device(const QString &name)
    {
        const QString path = m_dir->filePath(QStringLiteral("dev/") + name);
        QDir().mkpath(m_dir->filePath(QStringLiteral("dev")));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }
    PortFolder::Lister lister(const QList<PortFolder::SerialDevice> *devices)
    {
        return [devices] { return *devices; };
    }
    QString folder() const { return m_dir->filePath(QStringLiteral("prog")); }

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        QDir().mkpath(folder());
        m_devices.clear();
    }

    void linkedPortResolvesToItsDevice()
    {
        const QString dev = device(QStringLiteral("ttyUSB0"));
        PortFolder ports(folder(), lister(&m_devices));
        QDir().mkpath(ports.portsFolder());
        QVERIFY(QFile::link(dev, ports.linkPath(4)));
        QCOMPARE(ports.devicePath(4), QFileInfo(dev).canonicalFilePath());
        // Nothing linked: the link path itself, which fails to open like a missing port.
        QCOMPARE(ports.devicePath(9), ports.linkPath(9));
    }

    void listNamesEachLinkedPresentPort()
    {
        const QString a = device(QStringLiteral("ttyUSB0"));
        const QString b = device(QStringLiteral("ttyACM0"));
        m_devices = {{a, QStringLiteral("ttyUSB0"), QStringLiteral("USB Serial Device")}};
        PortFolder ports(folder(), lister(&m_devices));
        QDir().mkpath(ports.portsFolder());
        QVERIFY(QFile::link(a, ports.linkPath(4)));
        QVERIFY(QFile::link(b, ports.linkPath(12)));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("dev/gone")), ports.linkPath(2)));
        QFile junk(ports.portsFolder() + QStringLiteral("/COM07"));
        junk.open(QIODevice::WriteOnly);
        // b is not a listed serial device (a pseudo-terminal, say): its name comes without a description.
        QCOMPARE(ports.deviceList(),
                 QStringList({QStringLiteral("USB Serial Device (COM4)"), QStringLiteral("Serial Port (COM12)")}));
    }

    void unlinkedDevicesGetTheLowestFreeNumbersInPathOrder()
    {
        const QString usb1 = device(QStringLiteral("ttyUSB1"));
        const QString usb0 = device(QStringLiteral("ttyUSB0"));
        const QString acm0 = device(QStringLiteral("ttyACM0"));
        const QString linked = device(QStringLiteral("ttyS0"));
        m_devices = {{usb1, QStringLiteral("ttyUSB1"), QString()},
                     {usb0, QStringLiteral("ttyUSB0"), QStringLiteral("FT232R")},
                     {linked, QStringLiteral("ttyS0"), QString()},
                     {acm0, QStringLiteral("ttyACM0"), QStringLiteral("Dispenser")}};
        PortFolder ports(folder(), lister(&m_devices));
        QDir().mkpath(ports.portsFolder());
        QVERIFY(QFile::link(linked, ports.linkPath(1)));
        // An unplugged adapter keeps its number.
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("dev/unplugged")), ports.linkPath(3)));

        QCOMPARE(ports.deviceList(),
                 QStringList({QStringLiteral("Serial Port (COM1)"), QStringLiteral("Dispenser (COM2)"),
                              QStringLiteral("FT232R (COM4)"), QStringLiteral("Serial Port (COM5)")}));
        QCOMPARE(QFileInfo(ports.linkPath(2)).symLinkTarget(), QFileInfo(acm0).absoluteFilePath());
        // The numbers stick: asking again changes nothing.
        QCOMPARE(ports.deviceList().size(), 4);
        PortFolder again(folder(), lister(&m_devices));
        QCOMPARE(again.devicePath(5), QFileInfo(usb1).canonicalFilePath());
    }

    void unwritableFolderKeepsNumbersInMemory()
    {
        const QString usb0 = device(QStringLiteral("ttyUSB0"));
        m_devices = {{usb0, QStringLiteral("ttyUSB0"), QString()}};
        // A file where the ports folder should be: no link can be made there.
        QFile blocker(folder() + QStringLiteral("/ports"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        PortFolder ports(folder(), lister(&m_devices));
        QCOMPARE(ports.deviceList(), QStringList({QStringLiteral("Serial Port (COM1)")}));
        QCOMPARE(ports.devicePath(1), QFileInfo(usb0).canonicalFilePath());
        QCOMPARE(ports.deviceList(), QStringList({QStringLiteral("Serial Port (COM1)")}));
        QCOMPARE(ports.memoryNumbers().size(), 1);
        // The serial link has its own port folder, which never asked for the device list: it must open
        // the same device under the same number.
        PortFolder linkSide(folder(), lister(&m_devices));
        QCOMPARE(linkSide.devicePath(1), QFileInfo(usb0).canonicalFilePath());
    }

    void adapterPluggedInLaterIsFoundByItsNumber()
    {
        PortFolder ports(folder(), lister(&m_devices));
        QCOMPARE(ports.deviceList(), QStringList());
        const QString usb0 = device(QStringLiteral("ttyUSB0"));
        m_devices = {{usb0, QStringLiteral("ttyUSB0"), QString()}};
        QCOMPARE(ports.devicePath(1), QFileInfo(usb0).canonicalFilePath());
        QVERIFY(QFileInfo(ports.linkPath(1)).isSymLink());
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QList<PortFolder::SerialDevice> m_devices;
};

QTEST_GUILESS_MAIN(tst_PortFolder)
#include "tst_PortFolder.moc"
