#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Every key the console keeps in its settings files: which file and section it lives in, its default, and
// whether a read stores that default when the key is missing (so that after one run the file names every
// setting it could hold). All reads and writes of the console go through this table.
namespace SettingsSchema {

enum class File { Vorn, Vorn2 };

enum class Key {
    ShowMessages,
    Left,
    Top,
    Width,
    Height,
    CommPort,
    NoUnits,
    Language,
    PaneZoom,
    Size,
    Uid,
    Init,
    Home,
    Design,
    StandardCommand,
    InternalCommand,
    MqttBroker,
    MqttStation,
    MqttUser,
    MqttPasswordFile,
    MqttCaFile,
    MqttPublishLog,
};

struct Row
{
    Key id;
    File file;
    // The section; with perUnit, the unit's number follows it ("UNIT3").
    const char *section;
    bool perUnit;
    // The key, or nullptr where the key is a name the operator or the catalogue gives (designs, commands).
    const char *key;
    // The value a read gives for a missing key; nullptr where the console only writes the key.
    const char *defaultValue;
    bool writeBack;
};

inline constexpr std::array<Row, 22> Table{{
    {Key::ShowMessages, File::Vorn, "Settings", false, "ShowMessages", "A", true},
    {Key::Left, File::Vorn, "Settings", false, "Left", "0", true},
    {Key::Top, File::Vorn, "Settings", false, "Top", "0", true},
    {Key::Width, File::Vorn, "Settings", false, "width", "18000", true},
    {Key::Height, File::Vorn, "Settings", false, "height", "11000", true},
    {Key::CommPort, File::Vorn, "Settings", false, "Comm Port", "7", true},
    {Key::NoUnits, File::Vorn, "Settings", false, "NoUnits", "5", true},
    // The operator's language (en, es, de); empty: the system's. Set by hand, never written back.
    {Key::Language, File::Vorn, "Settings", false, "Language", "", false},
    // The message pane's zoom in points (Ctrl+plus, Ctrl+minus); written when the operator changes it.
    {Key::PaneZoom, File::Vorn, "Settings", false, "Pane Zoom", "0", false},
    {Key::Size, File::Vorn, "UNIT", true, "SIZE", "1.0", true},
    {Key::Uid, File::Vorn, "UNIT", true, "UID", "100", true},
    {Key::Init, File::Vorn, "UNIT", true, "INIT", nullptr, false},
    {Key::Home, File::Vorn, "UNIT", true, "HOME", nullptr, false},
    {Key::Design, File::Vorn, "Designs", false, nullptr, "-", false},
    {Key::StandardCommand, File::Vorn2, "Standard Commands", false, nullptr, "-", true},
    {Key::InternalCommand, File::Vorn2, "Internal Commands", false, nullptr, "-", false},
    // The optional publisher: set up by hand, never written back, so a console without it keeps no trace.
    {Key::MqttBroker, File::Vorn, "MQTT", false, "Broker", "", false},
    {Key::MqttStation, File::Vorn, "MQTT", false, "Station", "", false},
    {Key::MqttUser, File::Vorn, "MQTT", false, "User", "", false},
    {Key::MqttPasswordFile, File::Vorn, "MQTT", false, "Password File", "", false},
    {Key::MqttCaFile, File::Vorn, "MQTT", false, "CA File", "", false},
    {Key::MqttPublishLog, File::Vorn, "MQTT", false, "Publish Log", "0", false},
}};

const Row &row(Key id);

// One key of one file, ready to be read or written.
class Setting
{
public:
    // A key of a fixed section.
    explicit Setting(Key id);
    // A key of unit n's section.
    Setting(Key id, int unit);
    // A named key: a design or a command.
    Setting(Key id, const QString &name);

    // The stored value, or the default when missing (stored too, where the table says so).
    QString read() const;
    // False when the file was not changed (see mSettings::WriteIni and DeleteIni).
    bool write(const QString &value) const;
    bool remove() const;

    QString path() const;
    QString section() const { return m_section; }
    QString key() const { return m_key; }
    QString defaultValue() const;

private:
    const Row &m_row;
    QString m_section;
    QString m_key;
};

// The path of a settings file, built from the program folder.
QString pathOf(File file);
// The entries of the section of a named key (designs, commands) as "key=value", in file order.
QStringList entries(Key id);

// A value of the settings file as its writer meant it: the bytes as UTF-8 when they are UTF-8 (as a modern
// editor saves them), else in the settings' code page, as the file is read.
QString typedText(const QString &value);
// The machine the console runs on, as reports and the fleet name it: [MQTT] Station when set (as typed),
// else the host name. Read only: nothing is written back.
QString stationName();

} // namespace SettingsSchema
