#include "fleet/FleetMessages.h"

#include "records/JournalReader.h"

#include "common/NumberText.h"
#include "common/Said.h"
#include "host/UnitModel.h"

#include <cmath>
#include <variant>

namespace fleet {

namespace {

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

// A number, or null when there is none (or none JSON can carry).
void appendJsonNumber(QByteArray &out, std::optional<double> value)
{
    out.append(value && std::isfinite(*value) ? numtext::plain(*value).toLatin1() : QByteArrayLiteral("null"));
}

} // namespace

QByteArray topic(const QString &station, const QString &leaf)
{
    return QByteArrayLiteral("tessaloran/") + station.toUtf8() + '/' + leaf.toUtf8();
}

QString unitState(UnitState state, bool checked)
{
    switch (state) {
    case UnitState::Stuck: return QStringLiteral("stuck");
    case UnitState::Answering: return QStringLiteral("answering");
    case UnitState::Answered: return QStringLiteral("answered");
    case UnitState::Idle:
    case UnitState::Other: break;
    }
    return checked ? QStringLiteral("checked") : QStringLiteral("idle");
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

QByteArray unitMessage(int n, const UnitModel &unit, const QString &time)
{
    using Value = std::variant<QString, std::optional<double>>;
    const std::pair<const char *, Value> fields[] = {
        {"unit", unitName(n).english}, // the panel's caption is in the operator's language
        {"uid", unit.uid()},
        {"state", unitState(unit.state(), unit.isChecked())},
        {"count", unit.count()},
        {"countText", unit.countLine()},
        {"short", unit.shortfall()},
        {"info", unit.infoLine()},
        {"time", time},
    };
    QByteArray out("{");
    for (const auto &[key, value] : fields) {
        if (out.size() > 1)
            out.append(',');
        out.append('"').append(key).append("\":"); // the keys need no escape
        if (const QString *text = std::get_if<QString>(&value))
            appendJsonString(out, *text);
        else
            appendJsonNumber(out, std::get<std::optional<double>>(value));
    }
    out.append('}');
    return out;
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
