#include "PortFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Devices are plain files here: the port folder only links to them and never opens them.
class tst_PortFolder : public QObject
{
    Q_OBJECT

private:
    QString device(const QString &name)
    {
        QDir().mkpath(m_dir->filePath(u"dev"_s));
        QFile f(m_dir->filePath(u"dev/"_s + name));
        f.open(QIODevice::WriteOnly);
        return f.fileName();
    }
    QString folder() const { return m_dir->filePath(u"prog"_s); }
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
        const QString a = device(u"ttyUSB0"_s);
        m_devices = {{a, u"ttyUSB0"_s, u"USB Serial Device"_s}};
        auto p = ports();
        QVERIFY(QDir().mkpath(p->portsFolder()));
        QVERIFY(QFile::link(a, p->linkPath(4)));
        // Not a listed serial device (a pseudo-terminal, say): named without a description.
        QVERIFY(QFile::link(device(u"ttyACM0"_s), p->linkPath(12)));
        QVERIFY(QFile::link(m_dir->filePath(u"dev/gone"_s), p->linkPath(2)));
        QFile junk(p->portsFolder() + u"/COM07"_s);
        junk.open(QIODevice::WriteOnly);
        QCOMPARE(p->deviceList(), QStringList({u"USB Serial Device (COM4)"_s, u"Serial Port (COM12)"_s}));
        QCOMPARE(p->devicePath(4), canonical(a));
    }

    void unlinkedDevicesGetTheLowestFreeNumbersInPathOrder()
    {
        const QString usb1 = device(u"ttyUSB1"_s);
        const QString acm0 = device(u"ttyACM0"_s);
        const QString linked = device(u"ttyS0"_s);
        m_devices = {{usb1, u"ttyUSB1"_s, QString()},
                     {device(u"ttyUSB0"_s), u"ttyUSB0"_s, u"FT232R"_s},
                     {linked, u"ttyS0"_s, QString()},
                     {acm0, u"ttyACM0"_s, u"Dispenser"_s}};
        auto p = ports();
        QVERIFY(QDir().mkpath(p->portsFolder()));
        QVERIFY(QFile::link(linked, p->linkPath(1)));
        // An unplugged adapter keeps its number.
        QVERIFY(QFile::link(m_dir->filePath(u"dev/unplugged"_s), p->linkPath(3)));
        const QStringList expected{u"Serial Port (COM1)"_s, u"Dispenser (COM2)"_s, u"FT232R (COM4)"_s,
                                   u"Serial Port (COM5)"_s};
        QCOMPARE(p->deviceList(), expected);
        QCOMPARE(QFileInfo(p->linkPath(2)).symLinkTarget(), QFileInfo(acm0).absoluteFilePath());
        QCOMPARE(p->deviceList(), expected); // the numbers stick
        QCOMPARE(ports()->devicePath(5), canonical(usb1));
    }

    void unwritableFolderKeepsNumbersInMemory()
    {
        const QString usb0 = device(u"ttyUSB0"_s);
        m_devices = {{usb0, u"ttyUSB0"_s, QString()}};
        QFile blocker(folder() + u"/ports"_s); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto p = ports();
        QCOMPARE(p->deviceList(), QStringList({u"Serial Port (COM1)"_s}));
        QCOMPARE(p->devicePath(1), canonical(usb0));
        QCOMPARE(p->deviceList(), QStringList({u"Serial Port (COM1)"_s}));
        QCOMPARE(p->memoryNumbers().size(), 1);
        // The serial link's own port folder never asked for the list: same device under the same number.
        QCOMPARE(ports()->devicePath(1), canonical(usb0));
    }

    void adapterPluggedInLaterIsFoundByItsNumber()
    {
        auto p = ports();
        QCOMPARE(p->deviceList(), QStringList());
        const QString usb0 = device(u"ttyUSB0"_s);
        m_devices = {{usb0, u"ttyUSB0"_s, QString()}};
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
