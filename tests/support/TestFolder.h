#pragma once

#include "FakeHost.h"
#include "FakePlatform.h"
#include "Files.h"
#include "PtyPeer.h"
#include "link/Comm1.h"
#include "link/CommandSender.h"
#include "link/PortFolder.h"
#include "link/ResponseProcessor.h"
#include "settings/SettingsSchema.h"
#include "settings/mSettings.h"

#include <QTemporaryDir>
#include <QWidget>

// A program folder of the test's own, holding the settings files given; the console's paths point at it.
struct TestFolder
{
    explicit TestFolder(const QByteArray &vorn = {}, const QByteArray &vorn2 = {})
    {
        for (const auto &[name, bytes] : {std::pair{"Vorn.ini", vorn}, {"Vorn2.ini", vorn2}})
            if (!bytes.isNull())
                write(QString::fromLatin1(name), bytes);
        mSettings::resetPaths();
        mSettings::setProgramFolder(dir.path());
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    void write(const QString &name, const QByteArray &bytes) const { writeFile(path(name), bytes); }
    QByteArray read(const QString &name) const { return readFile(path(name)); }
    // What the file holds, without writing anything back.
    static QString stored(const SettingsSchema::Setting &s)
    {
        return mSettings::ReadIni(s.path(), s.section(), s.key(), QStringLiteral("<missing>"), false);
    }

    QTemporaryDir dir;
};

inline QStringList uidsFor(int count)
{
    QStringList uids;
    for (int n = 1; n <= count; ++n)
        uids << QString::number(100 + n);
    return uids;
}

// The console's link in a program folder of its own: units with the UIDs given, count boxes when asked for,
// the port open on a pseudo-terminal whose controller end the test plays (port 0: nothing linked).
struct Rig : TestFolder
{
    static constexpr char Catalogue[] = "[Internal Commands]\r\nId=I\r\nUPDATE=UPD\r\nHOME=H\r\nSave Settings=SV,9\r\n"
                                        "Flush=-\r\nSTOP=S\r\nCount=C\r\n";

    explicit Rig(const QStringList &uids = uidsFor(5), int port = 3, bool withBoxes = false)
        : TestFolder({}, Catalogue)
        , window(withBoxes ? std::make_unique<QWidget>() : nullptr)
        , host(platform, uids, window.get())
    {
        platform.folder = dir.path();
        if (port > 0)
            ok = peer.isValid() && comm.setCommPort(port) && peer.linkAs(dir.path(), port) && comm.setPortOpen(true);
    }

    FakePlatform platform;
    std::unique_ptr<QWidget> window;
    FakeHost host;
    PtyPeer peer;
    PortFolder ports{dir.path(), [] { return QList<PortFolder::SerialDevice>{}; }}; // none of the machine's own
    Comm1 comm{ports};
    CommandSender sender{host, comm};
    ResponseProcessor processor{host, comm, sender};
    bool ok = true;
};
