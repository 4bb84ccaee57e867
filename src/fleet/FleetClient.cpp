// The publisher's MQTT client: how it is set up for the broker, and what a TLS failure is said as.
#include "fleet/FleetMessages.h"
#include "fleet/FleetPublisher.h"

#include <QFile>
#include <mosquitto.h>
#include <mqtt_protocol.h>
#ifdef VORN_HAVE_OPENSSL
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#endif

mosquitto *FleetPublisher::newClient(QString *refusal) const
{
    // A fresh session each time: what the broker had of an earlier connection is resent from the outbox.
    mosquitto *m = mosquitto_new(nullptr, true, const_cast<FleetPublisher *>(this));
    if (!m)
        return nullptr;
    mosquitto_int_option(m, MOSQ_OPT_PROTOCOL_VERSION, m_protocol == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    const QByteArray statusTopic = fleet::topic(m_config.station, QStringLiteral("status"));
    mosquitto_will_set(m, statusTopic.constData(), int(fleet::Offline.size()), fleet::Offline.constData(), 1, true);
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
    mosquitto_connect_v5_callback_set(m, &FleetPublisher::onConnect);
    mosquitto_disconnect_v5_callback_set(m, &FleetPublisher::onDisconnect);
    mosquitto_publish_v5_callback_set(m, &FleetPublisher::onPublish);
    return m;
}

QString FleetPublisher::tlsProblem(mosquitto *client, int rc, const QString &host)
{
    const QString handshake = rc == MOSQ_ERR_TLS ? QStringLiteral("the handshake failed") : QString();
#ifdef VORN_HAVE_OPENSSL
    const auto *ssl = static_cast<const SSL *>(client ? mosquitto_ssl_get(client) : nullptr);
    switch (const long v = ssl ? SSL_get_verify_result(ssl) : X509_V_OK) {
    case X509_V_OK: return handshake;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    // libmosquitto checks the name itself, and a check that fails there leaves OpenSSL no reason of its own.
    case X509_V_ERR_UNSPECIFIED:
        return QStringLiteral("its certificate is not made out to ") + host + QStringLiteral(" (name mismatch)");
    case X509_V_ERR_CERT_HAS_EXPIRED: return QStringLiteral("its certificate has expired");
    case X509_V_ERR_CERT_NOT_YET_VALID: return QStringLiteral("its certificate is not valid yet");
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return QStringLiteral("its certificate is signed by a CA not in the CA File (unknown CA)");
    default: return QStringLiteral("its certificate: ") + QString::fromUtf8(X509_verify_cert_error_string(v));
    }
#else
    Q_UNUSED(client)
    Q_UNUSED(host)
    return handshake;
#endif
}
