#include "PortFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// Devices are plain files here: the port folder only links to them and never opens them.
class tst_PortFolder : public QObject
{
    Q_OBJECT

private:
    QString device(const QString &name)
    {
        QDir().mkpath(m_dir->filePath(QStringLiteral("dev")));
        QFile f(m_dir->filePath(QStringLiteral("dev/") + name));
        f.open(QIODevice::WriteOnly);
        return f.fileName();
    }
    QString folder() const { return m_dir->filePath(QStringLiteral("prog")); }
    std::unique_ptr<PortFolder> ports()
    {
        return std::make_unique<PortFolder>(folder(), [this] { return m_devices; });
    }
    static QString canonical(const QString &path) { return QFileInfo(path).canonicalFilePath(); }

private slots:
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        QDir().mkpath(folder());
        m_devices.clear();
    }

    void listNamesEachLinkedPresentPort()
    {
        const QString a = device(QStringLiteral("ttyUSB0"));
        m_devices = {{a, QStringLiteral("ttyUSB0"), QStringLiteral("USB Serial Device")}};
        auto p = ports();
        QVERIFY(QDir().mkpath(p->portsFolder()));
        QVERIFY(QFile::link(a, p->linkPath(4)));
        // Not a listed serial device (a pseudo-terminal, say): named without a description.
        QVERIFY(QFile::link(device(QStringLiteral("ttyACM0")), p->linkPath(12)));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("dev/gone")), p->linkPath(2)));
        QFile junk(p->portsFolder() + QStringLiteral("/COM07"));
        junk.open(QIODevice::WriteOnly);
        QCOMPARE(p->deviceList(),
                 QStringList({QStringLiteral("USB Serial Device (COM4)"), QStringLiteral("Serial Port (COM12)")}));
        QCOMPARE(p->devicePath(4), canonical(a));
    }

    void unlinkedDevicesGetTheLowestFreeNumbersInPathOrder()
    {
        const QString usb1 = device(QStringLiteral("ttyUSB1"));
        const QString acm0 = device(QStringLiteral("ttyACM0"));
        const QString linked = device(QStringLiteral("ttyS0"));
        m_devices = {{usb1, QStringLiteral("ttyUSB1"), QString()},
                     {device(QStringLiteral("ttyUSB0")), QStringLiteral("ttyUSB0"), QStringLiteral("FT232R")},
                     {linked, QStringLiteral("ttyS0"), QString()},
                     {acm0, QStringLiteral("ttyACM0"), QStringLiteral("Dispenser")}};
        auto p = ports();
        QVERIFY(QDir().mkpath(p->portsFolder()));
        QVERIFY(QFile::link(linked, p->linkPath(1)));
        // An unplugged adapter keeps its number.
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("dev/unplugged")), p->linkPath(3)));
        const QStringList expected{QStringLiteral("Serial Port (COM1)"), QStringLiteral("Dispenser (COM2)"),
                                   QStringLiteral("FT232R (COM4)"), QStringLiteral("Serial Port (COM5)")};
        QCOMPARE(p->deviceList(), expected);
        QCOMPARE(QFileInfo(p->linkPath(2)).symLinkTarget(), QFileInfo(acm0).absoluteFilePath());
        QCOMPARE(p->deviceList(), expected); // the numbers stick
        QCOMPARE(ports()->devicePath(5), canonical(usb1));
    }

    void unwritableFolderKeepsNumbersInMemory()
    {
        const QString usb0 = device(QStringLiteral("ttyUSB0"));
        m_devices = {{usb0, QStringLiteral("ttyUSB0"), QString()}};
        QFile blocker(folder() + QStringLiteral("/ports")); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto p = ports();
        QCOMPARE(p->deviceList(), QStringList({QStringLiteral("Serial Port (COM1)")}));
        QCOMPARE(p->devicePath(1), canonical(usb0));
        QCOMPARE(p->deviceList(), QStringList({QStringLiteral("Serial Port (COM1)")}));
        QCOMPARE(p->memoryNumbers().size(), 1);
        // The serial link's own port folder never asked for the list: same device under the same number.
        QCOMPARE(ports()->devicePath(1), canonical(usb0));
    }

    void adapterPluggedInLaterIsFoundByItsNumber()
    {
        auto p = ports();
        QCOMPARE(p->deviceList(), QStringList());
        const QString usb0 = device(QStringLiteral("ttyUSB0"));
        m_devices = {{usb0, QStringLiteral("ttyUSB0"), QString()}};
        QCOMPARE(p->devicePath(1), canonical(usb0));
        QVERIFY(QFileInfo(p->linkPath(1)).isSymLink());
        QCOMPARE(p->devicePath(9), p->linkPath(9)); // nothing there: fails to open like a missing port
    }

private:
    std::optional<QTemporaryDir> m_dir;
    QList<PortFolder::SerialDevice> m_devices;
};

QTEST_GUILESS_MAIN(tst_PortFolder)
#include "tst_PortFolder.moc"
