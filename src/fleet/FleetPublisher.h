#pragma once

#include "FleetConfig.h"
#include "Outbox.h"

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
class FleetPublisher : public QObject
{
    Q_OBJECT
public:
    enum class Link { Connecting, Up, Down, Refused, Off };

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

    // Starts connecting; the panels are read from now on.
    void start();
    // A normal close: "offline" is published, the connection closed, the outbox kept.
    void close();

    // Panel n's state or captions changed.
    void unitChanged(int n);
    // The journal wrote a row (its bytes in the file's encoding, line end included).
    void journalRow(const QByteArray &row);
    // A line from the controller, as logged.
    void controllerLine(const QString &line);

    Link link() const { return m_link; }
    const FleetConfig &config() const { return m_config; }
    Outbox &outbox() { return m_outbox; }
    // Connection attempts started so far.
    int attempts() const { return m_attempts; }
    QString outboxPath() const { return m_outbox.path(); }

signals:
    void linkChanged(FleetPublisher::Link link);

private:
    struct Attempt;
    // Null when no client can be made; refusal then says why no retry can help (TLS that cannot be set up).
    mosquitto *newClient(QString *refusal) const;
    void connectNow();
    void attemptStarted(const std::shared_ptr<Attempt> &attempt, int rc);
    void connected(int rc);
    void lost(Link why);
    void teardown(bool now = false);
    void scheduleReconnect();
    void setLink(Link link);
    void say(const QString &text, int secs);
    void service(int rc);
    void updateWriteNotifier();
    void publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int *mid = nullptr);
    void publishUnits(bool all);
    void publishRuns();
    // Today's summary, retained.
    void publishShift();
    void publishLog();
    void acknowledged(int mid);
    void waitForReceipts();
    void reportDropped();

    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);

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
    // The goodbye's message id until the broker confirms it.
    int m_closingMid = 0;
    QByteArrayList m_logLines;
    bool m_logPending = false;
    bool m_shiftPending = false;
};
