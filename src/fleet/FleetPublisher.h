#pragma once

#include "common/Said.h"
#include "fleet/Fleet.h"
#include "fleet/FleetConfig.h"
#include "fleet/Outbox.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <memory>

class ConsoleHost;
class QSocketNotifier;
class QTimer;
struct mosquitto;

// Publishes what this console knows to an MQTT broker, for dashboards and the shop's production system:
// the console's presence, each unit panel as it stands, every journal row with today's summary and, when
// asked, every line from the controller. It only publishes: it subscribes to nothing and takes no orders
// from the network.
//
// The client lives on the window thread's event loop (its socket watched by notifiers, its housekeeping on
// a timer) and never waits for the network there: the name lookup and the start of the connection run on a
// short-lived thread of their own, and everything after is non-blocking. A lost or refused connection is
// tried again after 1 s, then twice as long each time up to 60 s. Journal rows wait in the outbox until the
// broker confirms them.
//
// It speaks MQTT 5, so that a broker can say it did not take a row (a PUBACK with a reason code of 0x80 or
// above, as an ACL gives): such a row stays in the outbox, and is offered again, one at a time, after the
// same walking pause, until the broker takes one. A broker that speaks only MQTT 3.1.1 is spoken to in 3.1.1
// from its answer on (it cannot refuse a row, only take it).
class FleetPublisher : public QObject, public Fleet
{
    Q_OBJECT
public:
    // Refused: the login; Untrusted: TLS (the broker's certificate).
    enum class Link { Connecting, Up, Down, Refused, Untrusted, Off };

    static constexpr int UnitInterval = 200; // ms: at most one message per unit in this time
    static constexpr int MinBackoff = 1000;
    static constexpr int MaxBackoff = 60000;
    static constexpr int KeepAlive = 30; // s
    // How long a normal close waits at most for the broker's receipts.
    static constexpr int CloseWait = 1000; // ms
    // Journal rows sent ahead of the broker's receipts.
    static constexpr int Window = 100;
    // Controller lines held for the next pass of the event loop; more are not published.
    static constexpr int MaxLogLines = 10000;

    // Takes in the outbox an earlier run left; journal rows are kept from now on, sent once started.
    FleetPublisher(ConsoleHost &host, FleetConfig config, QObject *parent = nullptr);
    ~FleetPublisher() override;

    // Fleet
    void start() override;
    void close() override;
    void unitChanged(int n) override;
    void controllerLine(const QString &line) override;
    // A journal row, kept in the outbox until the broker confirms it.
    bool journalRow(const JournalRow &row, QDate day) override;

    Link link() const { return m_link; }
    const FleetConfig &config() const { return m_config; }
    Outbox &outbox() { return m_outbox; }
    // Connection attempts started so far.
    int attempts() const { return m_attempts; }
    // The MQTT version spoken (5, or 4 for 3.1.1).
    int protocol() const { return m_protocol; }
    QString outboxPath() const { return m_outbox.path(); }

signals:
    void linkChanged(FleetPublisher::Link link);

private:
    struct Attempt;
    // Null when no client can be made; refusal then says why no retry can help (TLS that cannot be set up).
    mosquitto *newClient(Said *refusal) const;
    void connectNow();
    void attemptStarted(const std::shared_ptr<Attempt> &attempt, int rc);
    void connected(int rc);
    void lost(Link why);
    void teardown(bool now = false);
    void scheduleReconnect();
    void setLink(Link link);
    // On the status line and in the pane; in the log too when asked.
    void say(const Said &text, int secs, bool log = false);
    void service(int rc);
    void updateWriteNotifier();
    void publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int *mid = nullptr);
    void publishUnits(bool all);
    void publishRuns();
    // Today's summary, retained.
    void publishShift();
    void publishLog();
    void acknowledged(int mid, int reason);
    // A journal row was not taken (the broker's reason, or the client's own): sending stops for a while.
    void runsRefused(quint64 seq, const Said &why);
    // What the TLS layer holds against the broker's certificate, or that the handshake failed (the client's
    // failure rc says so); empty when TLS has nothing to say.
    static Said tlsProblem(mosquitto *client, int rc, const QString &host);
    void waitForReceipts();
    void reportDropped();

    static void onConnect(mosquitto *, void *self, int rc, int flags, const struct mqtt5__property *props);
    static void onDisconnect(mosquitto *, void *self, int rc, const struct mqtt5__property *props);
    static void onPublish(mosquitto *, void *self, int mid, int reason, const struct mqtt5__property *props);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    ConsoleHost &m_host;
    FleetConfig m_config;
    Outbox m_outbox;
    mosquitto *m_mosq = nullptr;
    // Bumped at every teardown, so that a callback of a connection already gone changes nothing.
    int m_generation = 0;
    // The broker's answer to the connection in hand (-1: none yet).
    int m_connack = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_misc = nullptr;
    QTimer *m_retry = nullptr;
    QTimer *m_connectTimeout = nullptr;
    QTimer *m_unitTimer = nullptr;
    // Offers refused journal rows again.
    QTimer *m_resend = nullptr;
    int m_resendBackoff = MinBackoff;
    // Sending journal rows paused after a refusal; the refusal said (once, until a row is taken again).
    bool m_runsHeld = false;
    bool m_refusalSaid = false;
    bool m_plainLoginSaid = false;
    int m_protocol = 5;
    Said m_untrusted; // what is wrong with the broker's certificate
    Said m_tlsFailure; // found while the client said why TLS failed
    int m_backoff = MinBackoff;
    int m_attempts = 0;
    bool m_connecting = false;
    bool m_closed = false;
    Link m_link = Link::Connecting;
    // The link the status line last spoke of.
    Link m_said = Link::Connecting;

    QSet<int> m_dirtyUnits;
    QHash<int, QByteArray> m_lastUnit; // what was last published per unit, time left out
    // Journal rows: the next one to send in this connection, and the rows sent by their message ids.
    quint64 m_nextSeq = 0;
    QHash<int, quint64> m_inFlight;
    QSet<quint64> m_inFlightSeqs;
    // The goodbye's message id until the broker confirms it.
    int m_closingMid = 0;
    QByteArrayList m_logLines;
    bool m_logPending = false;
    bool m_shiftPending = false;
};
