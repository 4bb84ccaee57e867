#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// The rows of a CSV file as a spreadsheet reads them (quoted fields, doubled quotes, CR LF).
inline QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"')
                field += text.at(++i);
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            row << std::exchange(field, {});
        } else if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            row << std::exchange(field, {});
            rows << std::exchange(row, {});
            ++i;
        } else {
            field += c;
        }
    }
    return rows;
}
