#include "fleet/FleetPublisher.h"

#include "common/Platform.h"
#include "fleet/FleetMessages.h"
#include "fleet/ShiftMessage.h"
#include "host/ConsoleHost.h"
#include "records/RunJournal.h"
#include "records/SetAside.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QUuid>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <mutex>
#ifndef Q_OS_WIN
#include <poll.h>
#endif
#include <thread>

namespace {

// Connection refusals that a new attempt with the same login cannot mend: MQTT 3.1.1's bad login and not
// authorised, MQTT 5's bad login, not authorised and bad authentication method.
bool loginRefused(int rc)
{
    return rc == 4 || rc == 5 || rc == MQTT_RC_BAD_USERNAME_OR_PASSWORD || rc == MQTT_RC_NOT_AUTHORIZED
        || rc == MQTT_RC_BAD_AUTHENTICATION_METHOD;
}

// Failures of the client that mean the connection is gone; any other failure is the message's own.
bool networkFailure(int rc)
{
    return rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO || rc == MOSQ_ERR_KEEPALIVE
        || rc == MOSQ_ERR_TLS;
}

// A reason code of the broker, as the status line says it.
QString reasonText(int reason)
{
    if (reason == MQTT_RC_NOT_AUTHORIZED)
        return QStringLiteral("not authorised");
    return QString::fromUtf8(mosquitto_reason_string(reason)).toLower() + QStringLiteral(", reason code 0x")
        + QString::number(reason, 16);
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
    QString host;
    // What TLS found, said by the client on the thread (the session is gone when the thread returns).
    QString tlsFailure;
    static void onLog(mosquitto *m, void *self, int level, const char *text)
    {
        auto *a = static_cast<Attempt *>(self);
        if ((level & MOSQ_LOG_ERR) && qstrncmp(text, "OpenSSL Error", 13) == 0 && a->tlsFailure.isEmpty())
            a->tlsFailure = tlsProblem(m, MOSQ_ERR_TLS, a->host);
    }
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
    m_resend = new QTimer(this);
    m_resend->setSingleShot(true);
    connect(m_resend, &QTimer::timeout, this, [this] {
        m_nextSeq = m_outbox.firstSeq();
        publishRuns();
    });
    // What an earlier run left comes before any row of this one.
    if (const QByteArrayList rejected = m_outbox.load(); !rejected.isEmpty()) {
        const QString file = setaside::append(QFileInfo(m_outbox.path()).path(), QStringLiteral("outbox"),
                                              m_host.platform().now().date(), rejected.join());
        m_host.log(setaside::note(rejected.size(), QStringLiteral("Log/.mqtt-outbox"), file));
        if (!file.isEmpty())
            m_outbox.compact();
    }
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
    if (!m_config.user.isEmpty() && !m_config.tls() && !std::exchange(m_plainLoginSaid, true))
        say(QStringLiteral("MQTT login to ") + m_config.address() + QStringLiteral(" is sent without TLS: set CA File"),
            0, true);
    ++m_attempts;
    m_connecting = true;
    attempt->host = m_config.host;
    mosquitto_user_data_set(attempt->mosq, attempt.get());
    mosquitto_log_callback_set(attempt->mosq, &Attempt::onLog);
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
        // On loopback the whole TLS handshake may have run on the thread.
        m_untrusted = attempt->tlsFailure;
        if (m_untrusted.isEmpty() && m_config.tls())
            m_untrusted = tlsProblem(attempt->mosq, rc, m_config.host);
        lost(m_untrusted.isEmpty() ? Link::Down : Link::Untrusted);
        return;
    }
    m_mosq = std::exchange(attempt->mosq, nullptr);
    // The thread is done: the callbacks reach this publisher from now on.
    mosquitto_user_data_set(m_mosq, this);
    mosquitto_log_callback_set(m_mosq, &FleetPublisher::onLog);
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
        // A refused login ends the client's read with an error right after its answer came in, as does a
        // broker that does not speak MQTT 5 (see connected()).
        if (m_connack == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION && m_protocol == 5)
            return;
        // A certificate that does not hold can end the handshake in more than one way (the client may find
        // the socket closed first).
        QString untrusted = std::exchange(m_tlsFailure, {});
        if (untrusted.isEmpty() && m_config.tls())
            untrusted = tlsProblem(m_mosq, rc, m_config.host);
        if (!untrusted.isEmpty())
            m_untrusted = untrusted;
        lost(loginRefused(m_connack) ? Link::Refused : !untrusted.isEmpty() ? Link::Untrusted : Link::Down);
        return;
    }
    updateWriteNotifier();
}

void FleetPublisher::updateWriteNotifier()
{
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(m_mosq && mosquitto_want_write(m_mosq));
}

void FleetPublisher::onConnect(mosquitto *, void *self, int rc, int, const mosquitto_property *)
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

void FleetPublisher::onDisconnect(mosquitto *, void *self, int, const mosquitto_property *)
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

void FleetPublisher::onPublish(mosquitto *, void *self, int mid, int reason, const mosquitto_property *)
{
    static_cast<FleetPublisher *>(self)->acknowledged(mid, reason);
}

void FleetPublisher::onLog(mosquitto *, void *self, int level, const char *text)
{
    // The client closes the TLS session right after it says why the handshake failed: what the certificate
    // was found to be is read now, while the session is still there.
    auto *p = static_cast<FleetPublisher *>(self);
    if ((level & MOSQ_LOG_ERR) && qstrncmp(text, "OpenSSL Error", 13) == 0 && p->m_tlsFailure.isEmpty())
        p->m_tlsFailure = tlsProblem(p->m_mosq, MOSQ_ERR_TLS, p->m_config.host);
}

void FleetPublisher::connected(int rc)
{
    if (!m_mosq)
        return;
    m_connectTimeout->stop();
    if (rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION && m_protocol == 5) {
        // A broker of MQTT 3.1.1 answers a connection in MQTT 5 so (RFC: "unacceptable protocol version"):
        // spoken to in its own version at once, nothing said.
        m_protocol = 4;
        teardown();
        connectNow();
        return;
    }
    if (rc != 0) {
        lost(loginRefused(rc) ? Link::Refused : Link::Down);
        return;
    }
    m_backoff = MinBackoff;
    m_untrusted.clear();
    // A new connection may find the broker changed: refused rows are offered again at once.
    m_runsHeld = false;
    m_resend->stop();
    setLink(Link::Up);
    publish(fleet::topic(m_config.station, QStringLiteral("status")), fleet::Online, 1, true);
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
    m_inFlightSeqs.clear();
    m_tlsFailure.clear();
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
    else if (link == Link::Untrusted && m_said != Link::Untrusted)
        say(broker + QStringLiteral(": TLS failed, ") + m_untrusted, 0, true);
    else if (link == Link::Up && (m_said == Link::Down || m_said == Link::Refused || m_said == Link::Untrusted))
        say(broker + QStringLiteral(" connected again"), 3);
    if (link != Link::Connecting)
        m_said = link;
}

void FleetPublisher::say(const QString &text, int secs, bool log)
{
    // The pane keeps it when the status line has moved on (the controller search speaks at the same time).
    m_host.setStatus(text, secs);
    m_host.prependOut(text + QStringLiteral("\r\n"));
    if (log)
        m_host.log(text);
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
        for (int n = 1; n <= m_host.unitCount(); ++n)
            units.append(n);
    } else {
        units = m_dirtyUnits.values();
        std::sort(units.begin(), units.end());
    }
    m_dirtyUnits.clear();
    const QString now = timeText(m_host.platform().now());
    for (const int n : units) {
        const UnitModel *unit = n <= m_host.unitCount() ? m_host.unit(n) : nullptr;
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

bool FleetPublisher::journalRow(const JournalRow &row, QDate)
{
    if (m_closed)
        return true;
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_outbox.add(fleet::runMessage(row, m_config.station, id));
    publishRuns();
    // The rows of one run come together: today's summary is read once for them all.
    if (!std::exchange(m_shiftPending, true))
        QMetaObject::invokeMethod(this, &FleetPublisher::publishShift, Qt::QueuedConnection);
    return true; // the outbox keeps it
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
    // After a refusal one row at a time, and only once the pause is over and every answer is in.
    if (m_runsHeld && (m_resend->isActive() || !m_inFlight.isEmpty()))
        return;
    const int window = m_runsHeld ? 1 : Window;
    const QByteArray topic = fleet::topic(m_config.station, QStringLiteral("runs"));
    m_nextSeq = qMax(m_nextSeq, m_outbox.firstSeq());
    while (m_mosq && m_inFlight.size() < window && m_nextSeq < m_outbox.endSeq()) {
        int mid = 0;
        const quint64 seq = m_nextSeq++;
        // Rows the broker took while one before them was refused, and rows on their way.
        if (m_outbox.isDelivered(seq) || m_inFlightSeqs.contains(seq))
            continue;
        const QByteArray &message = m_outbox.message(seq);
        const int rc =
            mosquitto_publish(m_mosq, &mid, topic.constData(), int(message.size()), message.constData(), 1, false);
        if (networkFailure(rc)) {
            lost(Link::Down);
            return;
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            runsRefused(seq,
                        QStringLiteral("MQTT journal rows not sent (") + QString::fromUtf8(mosquitto_strerror(rc))
                            + QStringLiteral("): they wait in the outbox"));
            return;
        }
        m_inFlight.insert(mid, seq);
        m_inFlightSeqs.insert(seq);
    }
    updateWriteNotifier();
}

void FleetPublisher::runsRefused(quint64 seq, const QString &why)
{
    m_nextSeq = qMin(m_nextSeq, seq);
    m_runsHeld = true;
    if (!std::exchange(m_refusalSaid, true))
        say(why, 0, true);
    if (!m_resend->isActive()) {
        m_resend->start(m_resendBackoff);
        m_resendBackoff = qMin(m_resendBackoff * 2, MaxBackoff);
    }
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

void FleetPublisher::acknowledged(int mid, int reason)
{
    if (mid == m_closingMid) {
        m_closingMid = 0;
        return;
    }
    const auto it = m_inFlight.constFind(mid);
    if (it == m_inFlight.constEnd())
        return; // status, units and log lines need no receipt of ours
    const quint64 seq = *it;
    m_inFlight.erase(it);
    m_inFlightSeqs.remove(seq);
    if (reason >= 0x80) {
        // Acknowledged, not taken: the row waits.
        runsRefused(seq,
                    QStringLiteral("MQTT broker refused journal rows (") + reasonText(reason)
                        + QStringLiteral("): they wait in the outbox"));
    } else {
        m_outbox.delivered(seq);
        if (m_runsHeld || m_refusalSaid) {
            m_runsHeld = m_refusalSaid = false;
            m_resendBackoff = MinBackoff;
            m_resend->stop();
        }
    }
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
        m_host.log(u'[' + QString::number(dropped) + QStringLiteral(" journal rows not published]"));
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
        publish(fleet::topic(m_config.station, QStringLiteral("status")), fleet::Offline, 1, true, &m_closingMid);
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
