#include "fleet/FleetConfig.h"

#include "settings/SettingsSchema.h"
#include "settings/mSettings.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <algorithm>

using SettingsSchema::Key;
using SettingsSchema::Setting;

namespace {

// A file named in the settings: relative names are taken from the program folder.
QString settingsPath(const QString &name)
{
    return QDir(mSettings::programFolder()).absoluteFilePath(name);
}

} // namespace

QString FleetConfig::address() const
{
    const QString shownHost = host.contains(u':') ? u'[' + host + u']' : host;
    return shownHost + u':' + QString::number(port);
}

bool FleetConfig::parseBroker(const QString &text, int defaultPort, QString &host, int &port)
{
    const QString t = text.trimmed();
    QString portText;
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close < 0)
            return false;
        host = t.mid(1, close - 1);
        const QString rest = t.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(u':'))
                return false;
            portText = rest.mid(1);
        }
    } else if (t.count(u':') == 1) {
        host = t.section(u':', 0, 0);
        portText = t.section(u':', 1);
    } else {
        host = t; // a bare IPv6 address has several colons and no port
    }
    host = host.trimmed();
    port = defaultPort;
    if (!portText.isNull()) {
        bool ok = false;
        port = portText.trimmed().toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            return false;
    }
    return !host.isEmpty();
}

namespace {

// What the MQTT protocol (and Mosquitto) refuse in a topic, or what would make a topic level more than one.
bool refusedInLevel(char32_t c)
{
    return c == U'/' || c == U'+' || c == U'#' || c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF)
        || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

} // namespace

QString FleetConfig::topicLevel(const QString &name)
{
    QString level;
    for (const char32_t c : name.trimmed().toUcs4())
        level += refusedInLevel(c) ? QString(u'_') : QString::fromUcs4(&c, 1);
    return level.left(MaxStation);
}

bool FleetConfig::isTopicLevel(const QString &name)
{
    const QList<uint> chars = name.toUcs4();
    if (chars.isEmpty() || chars.size() > MaxStation)
        return false;
    return std::none_of(chars.begin(), chars.end(), [](uint c) { return refusedInLevel(char32_t(c)); });
}

QString FleetConfig::settingText(const QString &value)
{
    return SettingsSchema::typedText(value);
}

std::optional<FleetConfig> FleetConfig::read()
{
    const QString broker = Setting(Key::MqttBroker).read().trimmed();
    if (broker.isEmpty())
        return std::nullopt;
    FleetConfig c;
    c.caFile = Setting(Key::MqttCaFile).read().trimmed();
    if (!c.caFile.isEmpty())
        c.caFile = settingsPath(c.caFile);
    if (!parseBroker(broker, c.tls() ? TlsPort : PlainPort, c.host, c.port))
        c.problem = said(QT_TRANSLATE_NOOP("Console", "no valid broker address"));
    // A station named by hand is published under that name or not at all: a name changed on the quiet would
    // put the station's rows under a topic nobody listens to.
    c.station = settingText(Setting(Key::MqttStation).read()).trimmed();
    if (!c.station.isEmpty() && !isTopicLevel(c.station) && c.problem.english.isEmpty())
        c.problem = said(QT_TRANSLATE_NOOP("Console", "Station \"%1\" cannot be a topic name"), c.station);
    if (c.station.isEmpty())
        c.station = topicLevel(QSysInfo::machineHostName());
    if (c.station.isEmpty())
        c.station = QStringLiteral("vorn");
    c.user = Setting(Key::MqttUser).read();
    c.publishLog = Setting(Key::MqttPublishLog).read().trimmed() == QLatin1String("1");
    const QString passwordFile = Setting(Key::MqttPasswordFile).read().trimmed();
    if (!passwordFile.isEmpty()) {
        QFile f(settingsPath(passwordFile));
        if (f.open(QIODevice::ReadOnly)) {
            // The first line; a file saved with a line end or a trailing blank still holds the same password.
            c.password = QString::fromUtf8(f.readLine(4096)).trimmed();
        } else if (c.problem.english.isEmpty()) {
            c.problem = said(QT_TRANSLATE_NOOP("Console", "the password file could not be read"));
        }
    }
    if (c.tls() && !QFile::exists(c.caFile) && c.problem.english.isEmpty())
        c.problem = said(QT_TRANSLATE_NOOP("Console", "the CA file could not be read"));
    return c;
}
