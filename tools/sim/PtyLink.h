#pragma once

#include <QString>

// A pseudo-terminal standing in for a serial port, linked as <dir>/ports/COMn the way the console finds
// serial devices off Windows. The slave side is put in raw mode and kept open here as well: without an
// open slave the master reads EIO, and settings made before the console opens the port would be lost.
class PtyLink
{
public:
    PtyLink() = default;
    ~PtyLink();
    PtyLink(const PtyLink &) = delete;
    PtyLink &operator=(const PtyLink &) = delete;

    bool open(QString *error);
    // Replaces whatever stands at the link's place (a stale link of an earlier run, typically).
    bool createLink(const QString &dir, int port, QString *error);
    // Removes the link, but only while it still points at this pseudo-terminal: a later simulator on the
    // same port may have taken the name over.
    void removeLink();
    void close();

    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    QString linkPath() const { return m_linkPath; }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
    QString m_linkPath;
};
