#include "FleetMessages.h"

#include "JournalReader.h"

#include "ConsoleHost.h"

namespace fleet {

namespace {

// The panel's state colours.
constexpr qint32 Idle = 4194304;
constexpr qint32 Answering = 49152;
constexpr qint32 Stuck = 255;
constexpr qint32 Answered = 32768;

void appendJsonString(QByteArray &out, const QString &text)
{
    out.append('"');
    qsizetype plain = 0; // start of the run of characters that need no escape
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        if (u >= 0x20 && u != u'"' && u != u'\\')
            continue;
        out.append(QStringView(text).mid(plain, i - plain).toUtf8());
        plain = i + 1;
        switch (u) {
        case u'"': out.append("\\\""); break;
        case u'\\': out.append("\\\\"); break;
        case u'\n': out.append("\\n"); break;
        case u'\r': out.append("\\r"); break;
        case u'\t': out.append("\\t"); break;
        default: out.append("\\u00" + QByteArray::number(u, 16).rightJustified(2, '0'));
        }
    }
    out.append(QStringView(text).mid(plain).toUtf8());
    out.append('"');
}

} // namespace

QByteArray topic(const QString &station, const QString &leaf)
{
    return QByteArrayLiteral("tessaloran/") + station.toUtf8() + '/' + leaf.toUtf8();
}

QString unitState(qint32 stateColour, bool checked)
{
    switch (stateColour) {
    case Stuck: return QStringLiteral("stuck");
    case Answering: return QStringLiteral("answering");
    case Answered: return QStringLiteral("answered");
    case Idle:
    default: return checked ? QStringLiteral("checked") : QStringLiteral("idle");
    }
}

QByteArray jsonObject(const QList<std::pair<QString, QString>> &fields)
{
    QByteArray out("{");
    for (const auto &[key, value] : fields) {
        if (out.size() > 1)
            out.append(',');
        appendJsonString(out, key);
        out.append(':');
        appendJsonString(out, value);
    }
    out.append('}');
    return out;
}

QByteArray unitMessage(const UnitView &unit, const QString &time)
{
    return jsonObject({{QStringLiteral("unit"), unit.caption1()},
                       {QStringLiteral("uid"), unit.Tag()},
                       {QStringLiteral("state"), unitState(unit.State(), unit.isChecked())},
                       {QStringLiteral("count"), unit.caption3()},
                       {QStringLiteral("info"), unit.caption4()},
                       {QStringLiteral("time"), time}});
}

QByteArray runMessage(const JournalRow &row, const QString &station, const QString &id)
{
    QList<std::pair<QString, QString>> fields;
    for (const journal::Column &c : journal::Columns)
        fields.append({QString::fromLatin1(c.name), row.*c.field});
    fields.append({QStringLiteral("station"), station});
    fields.append({QStringLiteral("id"), id});
    return jsonObject(fields);
}

} // namespace fleet
