#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// Lines of the console's own files that it cannot take as they are (a hand edit, a disk that wrote zeros
// after a power cut): they are neither used nor thrown away, but appended whole to
// "<name>-rejected-yy-mm-dd.txt" in the Log folder, where someone can look at them.
namespace setaside {

// Appends the lines (their line ends included) to the day's file of that name; returns the file's name
// within the program folder ("Log/<name>-rejected-yy-mm-dd.txt"), or an empty text when it could not be
// written.
QString append(const QString &logFolder, const QString &name, QDate day, const QByteArray &lines);

// The log's entry for lines of a file set aside: "[2 lines of Log/.mqtt-outbox set aside in ...]".
QString note(qsizetype count, const QString &from, const QString &file);

} // namespace setaside
