#include "settings/SettingsSchema.h"

#include "settings/mSettings.h"

#include "common/Ansi.h"

#include <QStringDecoder>
#include <QSysInfo>

namespace SettingsSchema {

const Row &row(Key id)
{
    for (const Row &r : Table) {
        if (r.id == id)
            return r;
    }
    return Table.front(); // every Key has its row; the table is checked by the tests
}

QString pathOf(File file)
{
    // The paths are known once the program folder is; an empty path would mean Vorn.ini.
    mSettings::BuildIniPaths();
    return file == File::Vorn2 ? mSettings::IniFile2 : mSettings::IniFile;
}

Setting::Setting(Key id)
    : m_row(row(id))
    , m_section(QLatin1String(m_row.section))
    , m_key(QLatin1String(m_row.key))
{}

Setting::Setting(Key id, int unit)
    : m_row(row(id))
    , m_section(QLatin1String(m_row.section) + QString::number(unit))
    , m_key(QLatin1String(m_row.key))
{}

Setting::Setting(Key id, const QString &name)
    : m_row(row(id))
    , m_section(QLatin1String(m_row.section))
    , m_key(name)
{}

QString Setting::path() const
{
    return pathOf(m_row.file);
}

QString Setting::defaultValue() const
{
    return m_row.defaultValue ? QString::fromLatin1(m_row.defaultValue) : QString();
}

QString Setting::read() const
{
    return mSettings::ReadIni(path(), m_section, m_key, defaultValue(), m_row.writeBack);
}

bool Setting::write(const QString &value) const
{
    return mSettings::WriteIni(path(), m_section, m_key, value);
}

bool Setting::remove() const
{
    return mSettings::DeleteIni(path(), m_section, m_key);
}

QStringList entries(Key id)
{
    const Row &r = row(id);
    QString file = pathOf(r.file);
    qint32 count = 0;
    return mSettings::ReadIniSection(file, QLatin1String(r.section), count);
}

QString typedText(const QString &value)
{
    const QByteArray bytes = ansi::encode(value);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    return utf8.hasError() ? value : decoded;
}

QString stationName()
{
    const QString station = typedText(Setting(Key::MqttStation).read()).trimmed();
    return station.isEmpty() ? QSysInfo::machineHostName() : station;
}

} // namespace SettingsSchema
