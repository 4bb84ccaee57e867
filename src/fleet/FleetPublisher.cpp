#include "FleetPublisher.h"

#include "ConsoleHost.h"
#include "FleetMessages.h"
#include "Platform.h"
#include "RunJournal.h"
#include "ShiftMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QUuid>
#include <mosquitto.h>
#include <mutex>
#ifndef Q_OS_WIN
#include <poll.h>
#endif
#include <thread>

namespace {

const QByteArray Online = QByteArrayLiteral("online");
const QByteArray Offline = QByteArrayLiteral("offline");

// MQTT 3.1.1 connection refusals that a new attempt with the same login cannot mend.
bool loginRefused(int rc)
{
    return rc == 4 || rc == 5;
}

QString timeText(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
}

} // namespace

// One connection attempt, handed to a short-lived thread for the name lookup and the start of the TCP
// connection, and back. Whoever holds it last destroys the client (the window may be gone by then).
struct FleetPublisher::Attempt
{
    mosquitto *mosq = nullptr;
    ~Attempt()
    {
        if (mosq)
            mosquitto_destroy(mosq);
    }
};

FleetPublisher::FleetPublisher(ConsoleHost &host, FleetConfig config, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_config(std::move(config))
    , m_outbox(QDir(host.platform().programFolder()).filePath(QStringLiteral("Log/.mqtt-outbox")), m_config.outboxRows)
{
    static std::once_flag init;
    std::call_once(init, [] { mosquitto_lib_init(); });

    m_misc = new QTimer(this);
    m_misc->setInterval(1000);
    connect(m_misc, &QTimer::timeout, this, [this] {
        if (!m_mosq)
            return;
        service(mosquitto_loop_misc(m_mosq));
        // TLS may hold decrypted bytes the socket no longer shows.
        if (m_mosq && m_config.tls())
            service(mosquitto_loop_read(m_mosq, 1));
    });
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &FleetPublisher::connectNow);
    m_connectTimeout = new QTimer(this);
    m_connectTimeout->setSingleShot(true);
    m_connectTimeout->setInterval(m_config.connectTimeout);
    // A broker that takes the connection and never answers is given up on like one that is not there.
    connect(m_connectTimeout, &QTimer::timeout, this, [this] { lost(Link::Down); });
    m_unitTimer = new QTimer(this);
    m_unitTimer->setSingleShot(true);
    m_unitTimer->setInterval(UnitInterval);
    connect(m_unitTimer, &QTimer::timeout, this, [this] { publishUnits(false); });
    // What an earlier run left comes before any row of this one.
    m_outbox.load();
}

FleetPublisher::~FleetPublisher()
{
    close();
}

void FleetPublisher::start()
{
    if (!m_config.problem.isEmpty()) {
        m_link = m_said = Link::Off;
        say(QStringLiteral("MQTT not started: ") + m_config.problem, 0);
        return;
    }
    connectNow();
}

mosquitto *FleetPublisher::newClient(QString *refusal) const
{
    // A fresh session each time: what the broker had of an earlier connection is resent from the outbox.
    mosquitto *m = mosquitto_new(nullptr, true, const_cast<FleetPublisher *>(this));
    if (!m)
        return nullptr;
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    const QByteArray statusTopic = fleet::topic(m_config.station, QStringLiteral("status"));
    mosquitto_will_set(m, statusTopic.constData(), int(Offline.size()), Offline.constData(), 1, true);
    if (!m_config.user.isEmpty()) {
        const QByteArray user = m_config.user.toUtf8();
        const QByteArray password = m_config.password.toUtf8();
        mosquitto_username_pw_set(m, user.constData(), password.isEmpty() ? nullptr : password.constData());
    }
    if (m_config.tls()) {
        const QByteArray ca = QFile::encodeName(m_config.caFile);
        // A login must never go out in the clear because the library cannot do TLS (a build without it) or
        // the CA file cannot be read: no connection at all then.
        if (mosquitto_tls_set(m, ca.constData(), nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS) {
            mosquitto_destroy(m);
            *refusal = QStringLiteral("TLS cannot be set up with the CA File ") + m_config.caFile;
            return nullptr;
        }
    }
    mosquitto_max_inflight_messages_set(m, Window);
    mosquitto_connect_callback_set(m, &FleetPublisher::onConnect);
    mosquitto_disconnect_callback_set(m, &FleetPublisher::onDisconnect);
    mosquitto_publish_callback_set(m, &FleetPublisher::onPublish);
    return m;
}

void FleetPublisher::connectNow()
{
    if (m_closed || m_mosq || m_connecting)
        return;
    auto attempt = std::make_shared<Attempt>();
    QString refusal;
    attempt->mosq = newClient(&refusal);
    if (!attempt->mosq && !refusal.isEmpty()) {
        m_link = m_said = Link::Off;
        say(QStringLiteral("MQTT not started: ") + refusal, 0);
        return;
    }
    if (!attempt->mosq) {
        lost(Link::Down);
        return;
    }
    ++m_attempts;
    m_connecting = true;
    // The name lookup blocks for as long as the resolver takes; it runs beside the window thread, which
    // learns the outcome through its event loop.
    const QByteArray host = m_config.host.toUtf8();
    const int port = m_config.port;
    QPointer<FleetPublisher> self(this);
    std::thread([attempt, host, port, self] {
        const int rc = mosquitto_connect_async(attempt->mosq, host.constData(), port, KeepAlive);
        if (QCoreApplication *app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [attempt, rc, self] {
                    if (self)
                        self->attemptStarted(attempt, rc);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void FleetPublisher::attemptStarted(const std::shared_ptr<Attempt> &attempt, int rc)
{
    m_connecting = false;
    if (m_closed)
        return;
    if (rc != MOSQ_ERR_SUCCESS) {
        lost(Link::Down);
        return;
    }
    m_mosq = std::exchange(attempt->mosq, nullptr);
    m_connack = -1;
    const int fd = mosquitto_socket(m_mosq);
    if (fd < 0) {
        lost(Link::Down);
        return;
    }
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, [this] {
        if (m_mosq)
            service(mosquitto_loop_read(m_mosq, 1));
    });
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        if (m_mosq)
            service(mosquitto_loop_write(m_mosq, 1));
    });
    m_misc->start();
    m_connectTimeout->start();
    updateWriteNotifier();
}

void FleetPublisher::service(int rc)
{
    if (rc != MOSQ_ERR_SUCCESS) {
        // A refused login ends the client's read with an error right after its answer came in.
        lost(loginRefused(m_connack) ? Link::Refused : Link::Down);
        return;
    }
    updateWriteNotifier();
}

void FleetPublisher::updateWriteNotifier()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_mosq && mosquitto_want_write(m_mosq));
}

void FleetPublisher::onConnect(mosquitto *, void *self, int rc)
{
    auto *p = static_cast<FleetPublisher *>(self);
    p->m_connack = rc;
    // The callback runs inside the client's own read: the rest waits for the next pass of the event loop.
    const int generation = p->m_generation;
    QMetaObject::invokeMethod(
        p,
        [p, generation, rc] {
            if (generation == p->m_generation)
                p->connected(rc);
        },
        Qt::QueuedConnection);
}

void FleetPublisher::onDisconnect(mosquitto *, void *self, int)
{
    auto *p = static_cast<FleetPublisher *>(self);
    const int generation = p->m_generation;
    QMetaObject::invokeMethod(
        p,
        [p, generation] {
            if (generation == p->m_generation && !p->m_closed)
                p->lost(Link::Down);
        },
        Qt::QueuedConnection);
}

void FleetPublisher::onPublish(mosquitto *, void *self, int mid)
{
    static_cast<FleetPublisher *>(self)->acknowledged(mid);
}

void FleetPublisher::connected(int rc)
{
    if (!m_mosq)
        return;
    m_connectTimeout->stop();
    if (rc != 0) {
        lost(loginRefused(rc) ? Link::Refused : Link::Down);
        return;
    }
    m_backoff = MinBackoff;
    setLink(Link::Up);
    publish(fleet::topic(m_config.station, QStringLiteral("status")), Online, 1, true);
    publishUnits(true);
    publishShift();
    reportDropped();
    m_nextSeq = m_outbox.firstSeq();
    publishRuns();
}

void FleetPublisher::lost(Link why)
{
    teardown();
    if (m_closed)
        return;
    setLink(why);
    scheduleReconnect();
}

void FleetPublisher::teardown(bool now)
{
    ++m_generation;
    m_connectTimeout->stop();
    m_misc->stop();
    // The notifiers go before the socket they watch.
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_mosq) {
        mosquitto *m = std::exchange(m_mosq, nullptr);
        // Destroyed on the next pass of the event loop when this may run inside one of its callbacks.
        if (now || !QCoreApplication::instance())
            mosquitto_destroy(m);
        else
            QTimer::singleShot(0, QCoreApplication::instance(), [m] { mosquitto_destroy(m); });
    }
    m_inFlight.clear();
    m_logLines.clear();
}

void FleetPublisher::scheduleReconnect()
{
    if (m_closed || m_retry->isActive())
        return;
    m_retry->start(m_backoff);
    m_backoff = qMin(m_backoff * 2, MaxBackoff);
}

void FleetPublisher::setLink(Link link)
{
    if (link == m_link)
        return;
    m_link = link;
    emit linkChanged(link);
    // The status line speaks once of each change the operator should know of: the broker lost or
    // refusing the login, and the broker back after that.
    const QString broker = QStringLiteral("MQTT broker ") + m_config.address();
    if (link == Link::Down && m_said != Link::Down)
        say(broker + QStringLiteral(" not reachable: journal rows wait in the outbox"), 0);
    else if (link == Link::Refused && m_said != Link::Refused)
        say(broker + QStringLiteral(" refused the login"), 0);
    else if (link == Link::Up && (m_said == Link::Down || m_said == Link::Refused))
        say(broker + QStringLiteral(" connected again"), 3);
    if (link != Link::Connecting)
        m_said = link;
}

void FleetPublisher::say(const QString &text, int secs)
{
    // The pane keeps it when the status line has moved on (the controller search speaks at the same time).
    m_host.SetStatus(text, secs);
    m_host.prependOut(text + QStringLiteral("\r\n"));
}

void FleetPublisher::publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int *mid)
{
    if (!m_mosq || m_link != Link::Up)
        return;
    mosquitto_publish(m_mosq, mid, topic.constData(), int(payload.size()), payload.constData(), qos, retain);
    updateWriteNotifier();
}

void FleetPublisher::unitChanged(int n)
{
    if (n < 1 || m_closed)
        return;
    m_dirtyUnits.insert(n);
    if (!m_unitTimer->isActive())
        m_unitTimer->start();
}

void FleetPublisher::publishUnits(bool all)
{
    if (m_link != Link::Up)
        return; // the next connection sends every unit as it then stands
    QList<int> units;
    if (all) {
        m_lastUnit.clear();
        for (int n = 1; n <= m_host.NoUnits(); ++n)
            units.append(n);
    } else {
        units = m_dirtyUnits.values();
        std::sort(units.begin(), units.end());
    }
    m_dirtyUnits.clear();
    const QString now = timeText(m_host.platform().now());
    for (const int n : units) {
        const UnitView *unit = n <= m_host.NoUnits() ? m_host.Unit(n) : nullptr;
        if (!unit)
            continue;
        const QByteArray state = fleet::unitMessage(*unit, QString());
        if (m_lastUnit.value(n) == state)
            continue; // changed and changed back within the interval
        m_lastUnit.insert(n, state);
        publish(fleet::topic(m_config.station, QStringLiteral("unit/") + QString::number(n)),
                fleet::unitMessage(*unit, now), 0, true);
    }
}

void FleetPublisher::journalRow(const QByteArray &row)
{
    if (m_closed)
        return;
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_outbox.add(fleet::runMessage(RunJournal::Header, row, m_config.station, id));
    publishRuns();
    // The rows of one run come together: today's summary is read once for them all.
    if (!std::exchange(m_shiftPending, true))
        QMetaObject::invokeMethod(this, &FleetPublisher::publishShift, Qt::QueuedConnection);
}

void FleetPublisher::publishShift()
{
    m_shiftPending = false;
    if (m_link == Link::Up)
        publish(fleet::topic(m_config.station, QStringLiteral("shift")),
                fleet::todaysShift(m_host.platform().programFolder(), m_host.platform().now(), m_config.station), 1,
                true);
}

void FleetPublisher::publishRuns()
{
    if (m_link != Link::Up)
        return;
    const QByteArray topic = fleet::topic(m_config.station, QStringLiteral("runs"));
    m_nextSeq = qMax(m_nextSeq, m_outbox.firstSeq());
    while (m_mosq && m_inFlight.size() < Window && m_nextSeq < m_outbox.endSeq()) {
        int mid = 0;
        const quint64 seq = m_nextSeq++;
        const QByteArray &message = m_outbox.message(seq);
        const int rc =
            mosquitto_publish(m_mosq, &mid, topic.constData(), int(message.size()), message.constData(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS) {
            lost(Link::Down);
            return;
        }
        m_inFlight.insert(mid, seq);
    }
    updateWriteNotifier();
}

void FleetPublisher::waitForReceipts()
{
    // The client closes its socket as soon as its goodbye is written: with the broker's receipts still unread
    // the connection would be reset, and the broker could drop the last rows it had not read yet. So the
    // receipts are awaited first, for a moment at most (the rows not confirmed stay in the outbox).
#ifndef Q_OS_WIN
    const QDeadlineTimer deadline(CloseWait);
    const int fd = mosquitto_socket(m_mosq);
    while (fd >= 0 && (m_closingMid || !m_inFlight.isEmpty()) && !deadline.hasExpired()) {
        pollfd p{fd, short(POLLIN | (mosquitto_want_write(m_mosq) ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
            break;
        if ((p.revents & POLLOUT) && mosquitto_loop_write(m_mosq, 1) != MOSQ_ERR_SUCCESS)
            break;
        if ((p.revents & (POLLIN | POLLHUP | POLLERR)) && mosquitto_loop_read(m_mosq, 1) != MOSQ_ERR_SUCCESS)
            break;
    }
#endif
}

void FleetPublisher::acknowledged(int mid)
{
    if (mid == m_closingMid) {
        m_closingMid = 0;
        return;
    }
    const auto it = m_inFlight.constFind(mid);
    if (it == m_inFlight.constEnd())
        return; // status, units and log lines need no receipt of ours
    m_outbox.delivered(*it);
    m_inFlight.erase(it);
    QMetaObject::invokeMethod(this, &FleetPublisher::publishRuns, Qt::QueuedConnection);
}

void FleetPublisher::controllerLine(const QString &line)
{
    if (!m_config.publishLog || m_link != Link::Up || m_logLines.size() >= MaxLogLines)
        return;
    // Sent after the batch in hand, so the receive path pays no more than keeping the line.
    m_logLines.append(line.toUtf8());
    if (!m_logPending) {
        m_logPending = true;
        QMetaObject::invokeMethod(this, &FleetPublisher::publishLog, Qt::QueuedConnection);
    }
}

void FleetPublisher::publishLog()
{
    m_logPending = false;
    const QByteArrayList lines = std::exchange(m_logLines, {});
    const QByteArray topic = fleet::topic(m_config.station, QStringLiteral("log"));
    for (const QByteArray &line : lines) {
        // A broker that does not keep up loses controller lines (best effort), never the window's time.
        if (!m_mosq || m_link != Link::Up || mosquitto_want_write(m_mosq))
            break;
        mosquitto_publish(m_mosq, nullptr, topic.constData(), int(line.size()), line.constData(), 0, false);
    }
    updateWriteNotifier();
}

void FleetPublisher::reportDropped()
{
    if (const quint64 dropped = m_outbox.takeDropped())
        m_host.LOG(u'[' + QString::number(dropped) + QStringLiteral(" journal rows not published]"));
}

void FleetPublisher::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_retry->stop();
    m_unitTimer->stop();
    if (m_mosq && m_link == Link::Up) {
        publishUnits(false);
        if (m_shiftPending)
            publishShift(); // the rows the close wrote
        publish(fleet::topic(m_config.station, QStringLiteral("status")), Offline, 1, true, &m_closingMid);
        waitForReceipts();
        mosquitto_disconnect(m_mosq);
        // Whatever the socket takes now; a broker that takes nothing sends the last will instead.
        for (int i = 0; i < 4 && mosquitto_want_write(m_mosq); ++i)
            mosquitto_loop_write(m_mosq, 1);
    }
    teardown(true);
    reportDropped();
    m_outbox.compact();
}
