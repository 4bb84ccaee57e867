#include "ninepatch/PropertyBag.h"

#include <QFont>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

bool isNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: return true;
    default: return false;
    }
}

bool isFloating(const QVariant &v)
{
    return v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float;
}

// A font as the layouts keep it: name, size and the four attributes, nothing Qt adds.
struct FontKey
{
    QString family;
    double size;
    bool bold, italic, underline, strikeOut;
    // Sizes as the single-precision numbers they are persisted as.
    bool operator==(const FontKey &o) const
    {
        return family == o.family && float(size) == float(o.size) && bold == o.bold && italic == o.italic
            && underline == o.underline && strikeOut == o.strikeOut;
    }
};

FontKey fontKey(const QFont &f)
{
    const double size = f.pointSizeF() > 0 ? f.pointSizeF() : f.pixelSize() * 72.0 / 96.0;
    return {f.family(), size, f.bold(), f.italic(), f.underline(), f.strikeOut()};
}

QString quoted(const QString &s)
{
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString number(double d)
{
    QString s = QString::number(d, 'g', QLocale::FloatingPointShortest);
    // Keep it a number with a point, so it reads back as a double rather than an integer.
    if (!s.contains(QLatin1Char('.')) && !s.contains(QLatin1Char('e')))
        s += QStringLiteral(".0");
    return s;
}

// A cursor over one value's text.
class Reader
{
public:
    explicit Reader(QStringView text)
        : m_text(text)
    {}
    void skipBlanks()
    {
        while (m_pos < m_text.size() && (m_text[m_pos] == u' ' || m_text[m_pos] == u'\t'))
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_text.size();
    }
    bool take(QChar c)
    {
        skipBlanks();
        if (m_pos < m_text.size() && m_text[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    bool string(QString &out)
    {
        if (!take(u'"'))
            return false;
        out.clear();
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (c == u'"')
                return true;
            if (c != u'\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                return false;
            const QChar e = m_text[m_pos++];
            switch (e.unicode()) {
            case '"': out += u'"'; break;
            case '\\': out += u'\\'; break;
            case 'n': out += u'\n'; break;
            case 'r': out += u'\r'; break;
            case 't': out += u'\t'; break;
            case 'u': {
                if (m_pos + 4 > m_text.size())
                    return false;
                bool ok = false;
                const ushort code = m_text.sliced(m_pos, 4).toUShort(&ok, 16);
                if (!ok)
                    return false;
                out += QChar(code);
                m_pos += 4;
                break;
            }
            default: return false;
            }
        }
        return false; // no closing quote
    }
    // A word or number: everything up to a blank, a comma or a parenthesis.
    QStringView token()
    {
        skipBlanks();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos];
            if (c == u' ' || c == u'\t' || c == u',' || c == u'(' || c == u')')
                break;
            ++m_pos;
        }
        return m_text.sliced(start, m_pos - start);
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

bool parseScalar(QStringView t, QVariant &value)
{
    if (t.isEmpty())
        return false;
    if (t.compare(u"True", Qt::CaseInsensitive) == 0) {
        value = true;
        return true;
    }
    if (t.compare(u"False", Qt::CaseInsensitive) == 0) {
        value = false;
        return true;
    }
    if (t.startsWith(u"&H", Qt::CaseInsensitive)) {
        QStringView digits = t.sliced(2);
        if (digits.endsWith(u'&'))
            digits.chop(1);
        bool ok = false;
        const qulonglong v = digits.toULongLong(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8 || v > 0xFFFFFFFFull)
            return false;
        value = qint32(quint32(v));
        return true;
    }
    const bool floating = t.contains(u'.') || t.contains(u'e') || t.contains(u'E');
    if (!floating) {
        bool ok = false;
        const qlonglong v = t.toLongLong(&ok, 10);
        if (!ok || v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            return false;
        value = int(v);
        return true;
    }
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(d))
        return false;
    value = d;
    return true;
}

bool parseFont(Reader &r, QVariant &value)
{
    QString family;
    if (!r.take(u'(') || !r.string(family) || !r.take(u','))
        return false;
    QVariant size;
    if (!parseScalar(r.token(), size) || !isNumber(size))
        return false;
    const double points = size.toDouble();
    if (!(points > 0) || points > 4096)
        return false;
    QFont font(family);
    font.setPointSizeF(points);
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    while (r.take(u',')) {
        const QStringView attribute = r.token();
        if (attribute.compare(u"Bold", Qt::CaseInsensitive) == 0)
            font.setBold(true);
        else if (attribute.compare(u"Italic", Qt::CaseInsensitive) == 0)
            font.setItalic(true);
        else if (attribute.compare(u"Underline", Qt::CaseInsensitive) == 0)
            font.setUnderline(true);
        else if (attribute.compare(u"Strikethrough", Qt::CaseInsensitive) == 0)
            font.setStrikeOut(true);
        else
            return false;
    }
    if (!r.take(u')'))
        return false;
    value = font;
    return true;
}

} // namespace

qsizetype PropertyBag::indexOf(const QString &name) const
{
    for (qsizetype i = 0; i < m_items.size(); ++i)
        if (m_items[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool PropertyBag::contains(const QString &name) const
{
    return indexOf(name) >= 0;
}

QStringList PropertyBag::keys() const
{
    QStringList out;
    for (const auto &item : m_items)
        out.append(item.first);
    return out;
}

QVariant PropertyBag::ReadProperty(const QString &name, const QVariant &defaultValue) const
{
    const qsizetype i = indexOf(name);
    if (i < 0)
        return defaultValue;
    const QVariant &stored = m_items[i].second;
    if (!defaultValue.isValid() || stored.metaType() == defaultValue.metaType())
        return stored;
    // A font can only come from a font; everything else converts as far as it sensibly can.
    if (defaultValue.typeId() == QMetaType::QFont || stored.typeId() == QMetaType::QFont)
        return defaultValue;
    if (defaultValue.typeId() == QMetaType::Int && isFloating(stored)) {
        const double d = stored.toDouble();
        if (!std::isfinite(d) || d < std::numeric_limits<qint32>::min() || d > std::numeric_limits<qint32>::max())
            return defaultValue;
        return int(std::nearbyint(d));
    }
    QVariant converted = stored;
    if (!converted.convert(defaultValue.metaType()))
        return defaultValue;
    return converted;
}

void PropertyBag::WriteProperty(const QString &name, const QVariant &value, const QVariant &defaultValue)
{
    const qsizetype i = indexOf(name);
    if (defaultValue.isValid() && sameValue(value, defaultValue)) {
        if (i >= 0)
            m_items.removeAt(i);
        return;
    }
    QVariant stored = value;
    if (stored.typeId() == QMetaType::Float)
        stored = double(stored.toFloat());
    if (i >= 0)
        m_items[i].second = stored;
    else
        m_items.append({name, stored});
}

bool PropertyBag::sameValue(const QVariant &a, const QVariant &b)
{
    if (a.typeId() == QMetaType::QFont || b.typeId() == QMetaType::QFont) {
        return a.typeId() == QMetaType::QFont && b.typeId() == QMetaType::QFont
            && fontKey(a.value<QFont>()) == fontKey(b.value<QFont>());
    }
    if (isNumber(a) && isNumber(b)) {
        if (isFloating(a) || isFloating(b))
            return float(a.toDouble()) == float(b.toDouble());
        return a.toLongLong() == b.toLongLong();
    }
    if (a.typeId() == QMetaType::Bool && b.typeId() == QMetaType::Bool)
        return a.toBool() == b.toBool();
    return a.metaType() == b.metaType() && a == b;
}

QString PropertyBag::formatValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::UShort: return QString::number(value.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: return QString::number(qint32(value.toLongLong()));
    case QMetaType::Double:
    case QMetaType::Float: return number(value.toDouble());
    case QMetaType::QFont: {
        const QFont f = value.value<QFont>();
        const FontKey k = fontKey(f);
        QString out = QStringLiteral("Font(") + quoted(k.family) + QStringLiteral(", ")
            + QString::number(k.size, 'g', QLocale::FloatingPointShortest);
        if (k.bold)
            out += QStringLiteral(", Bold");
        if (k.italic)
            out += QStringLiteral(", Italic");
        if (k.underline)
            out += QStringLiteral(", Underline");
        if (k.strikeOut)
            out += QStringLiteral(", Strikethrough");
        return out + QLatin1Char(')');
    }
    default: return quoted(value.toString());
    }
}

bool PropertyBag::parseValue(QStringView text, QVariant &value)
{
    Reader r(text);
    QVariant parsed;
    r.skipBlanks();
    const QStringView trimmed = text.trimmed();
    if (trimmed.startsWith(u'"')) {
        QString s;
        if (!r.string(s))
            return false;
        parsed = s;
    } else if (trimmed.startsWith(u"Font", Qt::CaseInsensitive) && trimmed.size() > 4
               && (trimmed.sliced(4).trimmed().startsWith(u'('))) {
        r.token();
        if (!parseFont(r, parsed))
            return false;
    } else if (!parseScalar(r.token(), parsed)) {
        return false;
    }
    if (!r.atEnd())
        return false;
    value = parsed;
    return true;
}

bool PropertyBag::readLine(QStringView line, QString *error)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0) {
        if (error)
            *error = QStringLiteral("no \"=\" in \"%1\"").arg(line.trimmed());
        return false;
    }
    const QString key = line.first(eq).trimmed().toString();
    if (key.isEmpty() || key.contains(u' ')) {
        if (error)
            *error = QStringLiteral("no property name in \"%1\"").arg(line.trimmed());
        return false;
    }
    QVariant value;
    if (!parseValue(line.sliced(eq + 1), value)) {
        if (error)
            *error = QStringLiteral("the value of %1 cannot be read").arg(key);
        return false;
    }
    const qsizetype i = indexOf(key);
    if (i >= 0)
        m_items[i].second = value;
    else
        m_items.append({key, value});
    return true;
}

void PropertyBag::readText(const QString &text, QStringList *errors, int firstLine)
{
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QStringView line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u'\'') || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        QString error;
        if (!readLine(line, &error) && errors)
            errors->append(QStringLiteral("line %1: %2").arg(firstLine + n).arg(error));
    }
}

QString PropertyBag::toText() const
{
    QString out;
    for (const auto &item : m_items)
        out += item.first + QStringLiteral(" = ") + formatValue(item.second) + QLatin1Char('\n');
    return out;
}
