#pragma once

#include "common/Said.h"
#include <QString>
#include <optional>

// The [MQTT] section of Vorn.ini: where the console publishes, under which name, and with which login.
// Read only: the console never writes the section, so it exists only where someone set it up.
struct FleetConfig
{
    static constexpr int PlainPort = 1883;
    static constexpr int TlsPort = 8883;

    QString host;
    int port = PlainPort;
    // The station's name in the topics; the machine's host name unless set.
    QString station;
    QString user;
    // From the password file; never logged, shown or published.
    QString password;
    // A CA certificate file turns TLS on.
    QString caFile;
    bool publishLog = false;
    // Not settings: how many journal rows the outbox keeps, and how long the broker has to answer (ms).
    qsizetype outboxRows = 100000;
    int connectTimeout = 10000;
    // Why the publisher cannot start with these settings (a port that is no port, an unreadable file).
    Said problem;

    bool tls() const { return !caFile.isEmpty(); }
    // "host:port", as the status line names the broker.
    QString address() const;

    // The section as it stands, or nothing when no broker is set.
    static std::optional<FleetConfig> read();
    // "host", "host:port" or "[v6 address]:port"; false when the port is not a number from 1 to 65535.
    static bool parseBroker(const QString &text, int defaultPort, QString &host, int &port);
    static constexpr int MaxStation = 100; // characters
    // A name from elsewhere (the host name) made one topic level: what MQTT does not allow there becomes '_'.
    static QString topicLevel(const QString &name);
    // Whether a name can stand as one topic level as it is: no level separator, no wildcard, no character
    // MQTT refuses in a topic (controls, non-characters), not empty and at most MaxStation characters.
    static bool isTopicLevel(const QString &name);
    // A value of the settings file as its writer meant it: the bytes as UTF-8 when they are UTF-8 (as a
    // modern editor saves them), else in the settings' code page, as the file is read.
    static QString settingText(const QString &value);
};
