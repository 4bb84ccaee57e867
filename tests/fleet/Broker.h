#pragma once

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback TCP port nobody listens on at this moment, below the range the system hands out to outgoing
// connections: a client trying a port of that range while nothing listens there can end up connected to
// itself (and hold the port the broker is about to take again).
inline quint16 freeLoopbackPort()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(12000));
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        const bool free = ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        ::close(fd);
        if (free)
            return port;
    }
    return 0;
}

inline bool acceptsConnections(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// A Mosquitto broker of the test's own on a free loopback port, its configuration and files in a folder of
// their own; stopped and started again on the same port.
class Broker
{
public:
    static constexpr int WaitMs = 15000;
    QTemporaryDir dir;
    quint16 port = freeLoopbackPort();

    QString path(const QString &name) const { return dir.filePath(name); }
    // Extra lines go into the listener's block (TLS files, the login).
    bool start(const QByteArray &listener = QByteArrayLiteral("allow_anonymous true\n"))
    {
        QFile conf(path(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        // As root the broker would turn to its own user, who cannot read the test's folder.
        conf.write("user root\nper_listener_settings false\nlistener " + QByteArray::number(port) + " 127.0.0.1\n"
                   + listener);
        conf.close();
        m_listener = listener;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        const bool up = QTest::qWaitFor(
                            [this] {
                                return m_process.state() == QProcess::NotRunning
                                    || (m_process.state() == QProcess::Running && acceptsConnections(port));
                            },
                            WaitMs)
            && m_process.state() == QProcess::Running;
        if (!up)
            qWarning().noquote() << "mosquitto:" << m_process.readAll();
        return up;
    }
    bool restart()
    {
        stop();
        return start(m_listener);
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(WaitMs);
    }
    ~Broker() { stop(); }

    // A subscriber to everything the consoles publish, one "retained topic payload" line per message.
    class Subscriber
    {
    public:
        static inline const QString Mark = QStringLiteral("tessaloran/test/ready");
        // connection: how to reach the broker (host, port, TLS, login); plain loopback when empty.
        explicit Subscriber(const Broker &broker, QStringList connection = {})
        {
            if (connection.isEmpty())
                connection = {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                              QString::number(broker.port)};
            // A retained mark the subscriber receives first: once it is there, the subscription stands.
            QProcess::execute(QStringLiteral("mosquitto_pub"),
                              connection
                                  + QStringList{QStringLiteral("-r"), QStringLiteral("-t"), Mark, QStringLiteral("-m"),
                                                QStringLiteral("1")});
            m_process.start(QStringLiteral("mosquitto_sub"),
                            connection
                                + QStringList{QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-t"),
                                              QStringLiteral("tessaloran/#"), QStringLiteral("-F"),
                                              QStringLiteral("%r %t %p")});
        }
        bool waitReady()
        {
            return QTest::qWaitFor([this] { return !payloads(QStringLiteral("ready")).isEmpty(); }, WaitMs);
        }
        ~Subscriber()
        {
            m_process.kill();
            m_process.waitForFinished();
        }
        QStringList lines()
        {
            m_text += QString::fromUtf8(m_process.readAllStandardOutput());
            QStringList all = m_text.split(u'\n');
            all.removeLast(); // the line still being written
            return all;
        }
        // The payloads on topics ending in leaf, in arrival order.
        QStringList payloads(const QString &leaf)
        {
            QStringList out;
            for (const QString &line : lines()) {
                const QString topic = line.section(u' ', 1, 1);
                if (topic.endsWith(u'/' + leaf))
                    out << line.section(u' ', 2);
            }
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
