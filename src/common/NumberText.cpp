#include "common/NumberText.h"

#include <cmath>
#include <limits>

namespace numtext {

double read(const QString &text)
{
    // Gather the characters that matter: blanks, tabs and line feeds never end a number.
    QByteArray digits;
    digits.reserve(qMin<qsizetype>(text.size(), 64));
    bool seenDigit = false;
    bool seenPoint = false;
    bool seenExp = false;
    bool expDigit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')
            continue;
        const char ch = c.toLatin1();
        if (ch >= '0' && ch <= '9') {
            digits.append(ch);
            (seenExp ? expDigit : seenDigit) = true;
        } else if ((ch == '+' || ch == '-') && (digits.isEmpty() || (seenExp && (digits.endsWith('E'))))) {
            digits.append(ch);
        } else if (ch == '.' && !seenPoint && !seenExp) {
            digits.append(ch);
            seenPoint = true;
        } else if ((ch == 'e' || ch == 'E' || ch == 'd' || ch == 'D') && seenDigit && !seenExp) {
            digits.append('E');
            seenExp = true;
        } else {
            break;
        }
        if (digits.size() > 4096) // a runaway run of digits: enough to decide the value
            break;
    }
    if (!seenDigit)
        return 0.0;
    // An exponent marker without digits ("12e") is not part of the number.
    if (seenExp && !expDigit) {
        const qsizetype e = digits.indexOf('E');
        digits.truncate(e);
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    if (ok)
        return v;
    // toDouble refuses overflow; decide the sign of the infinity ourselves.
    if (digits.contains('E')) {
        const qsizetype e = digits.indexOf('E');
        const bool negExp = digits.mid(e + 1).startsWith('-');
        if (negExp)
            return digits.startsWith('-') ? -0.0 : 0.0;
    }
    return digits.startsWith('-') ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
}

QString plain(double value)
{
    if (std::isnan(value))
        return QStringLiteral("0");
    if (value == 0.0)
        return QStringLiteral("0"); // also for -0
    // Too large to hold: an exponent no double reaches, so the text reads back as the same infinity and
    // never as a small number (the old "1.#INF" read back as 1).
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("1E+999") : QStringLiteral("-1E+999");
    const double mag = std::fabs(value);
    if (mag >= 1e15 || mag < 1e-15)
        return QString::number(value, 'G', 15).replace(u'e', u'E');
    QString s = QString::number(value, 'f', qMax(0, 15 - 1 - int(std::floor(std::log10(mag)))));
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    return s;
}

std::optional<qint32> toInt32(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // the default rounding mode is to nearest, ties to even
    if (r < double(std::numeric_limits<qint32>::min()) || r > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(r);
}

qint32 readInt32(const QString &text)
{
    return toInt32(read(text)).value_or(0);
}

} // namespace numtext
