#pragma once

#include "Files.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A TCP socket on a loopback port: bound (and listening), or connected; -1 when that fails.
inline int loopbackSocket(quint16 port, bool bind, bool listen = false)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const auto *addr = reinterpret_cast<sockaddr *>(&a);
    if ((bind ? ::bind(fd, addr, sizeof a) : ::connect(fd, addr, sizeof a)) == 0 && (!listen || ::listen(fd, 16) == 0))
        return fd;
    ::close(fd);
    return -1;
}

// A free loopback port below the range handed out to outgoing connections: a client trying a port of that
// range while nothing listens there can end up connected to itself (and hold the port the broker wants).
inline quint16 freeLoopbackPort()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(12000));
        if (const int fd = loopbackSocket(port, true); fd >= 0)
            return ::close(fd), port;
    }
    return 0;
}

// A Mosquitto broker of the test's own on a free loopback port, its files in a folder of its own; stopped
// and started again on the same port.
class Broker
{
public:
    static constexpr int WaitMs = 15000;
    QTemporaryDir dir;
    quint16 port = freeLoopbackPort();

    QString path(const QString &name) const { return dir.filePath(name); }
    // listener: the lines of the listener's block (TLS files, the login).
    bool start(const QByteArray &listener = QByteArrayLiteral("allow_anonymous true\n"))
    {
        const QString conf = path(QStringLiteral("mosquitto.conf"));
        // As root the broker would turn to a user of its own, who cannot read the test's folder.
        if (!writeFile(conf, "user root\nlistener " + QByteArray::number(port) + " 127.0.0.1\n" + listener))
            return false;
        m_listener = listener;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf});
        const auto up = [this] {
            return m_process.state() == QProcess::Running && ::close(loopbackSocket(port, false)) == 0;
        };
        if (QTest::qWaitFor([&] { return up() || m_process.state() == QProcess::NotRunning; }, WaitMs) && up())
            return true;
        qWarning().noquote() << "mosquitto:" << m_process.readAll();
        return false;
    }
    bool restart() { return stop(), start(m_listener); }
    // Reads its password and ACL files anew.
    void reload() { ::kill(pid_t(m_process.processId()), SIGHUP); }
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(WaitMs);
    }
    ~Broker() { stop(); }

    // A subscriber to everything the consoles publish: one "retained topic payload" line per message.
    class Subscriber
    {
    public:
        // connection: host, port, TLS and login as mosquitto_sub takes them; the plain loopback port when empty.
        explicit Subscriber(const Broker &broker, QStringList connection = {})
        {
            if (connection.isEmpty())
                connection = {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                              QString::number(broker.port)};
            const auto with = [&connection](const char *options) {
                return connection + QString::fromLatin1(options).split(QLatin1Char(' '));
            };
            // A retained mark arrives first: once it is there, the subscription stands.
            QProcess::execute(QStringLiteral("mosquitto_pub"), with("-r -t tessaloran/test/ready -m 1"));
            m_process.start(QStringLiteral("mosquitto_sub"),
                            with("-q 1 -t tessaloran/# -F") << QStringLiteral("%r %t %p"));
        }
        ~Subscriber()
        {
            m_process.kill();
            m_process.waitForFinished();
        }
        bool waitReady()
        {
            return QTest::qWaitFor([this] { return !payloads(QStringLiteral("ready")).isEmpty(); }, WaitMs);
        }
        QStringList lines()
        {
            m_text += QString::fromUtf8(m_process.readAllStandardOutput());
            return m_text.left(qMax<qsizetype>(0, m_text.lastIndexOf(u'\n'))).split(u'\n', Qt::SkipEmptyParts);
        }
        // The payloads on topics ending in "/" + leaf, in the order they came.
        QStringList payloads(const QString &leaf)
        {
            QStringList out;
            for (const QString &line : lines())
                if (line.section(u' ', 1, 1).endsWith(u'/' + leaf))
                    out << line.section(u' ', 2);
            return out;
        }

    private:
        QProcess m_process;
        QString m_text;
    };

private:
    QProcess m_process;
    QByteArray m_listener;
};
