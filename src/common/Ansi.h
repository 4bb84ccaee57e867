#pragma once

#include <QByteArray>
#include <QString>

// Text crosses to files and to the serial line in the system's 8-bit code page. On Windows that is the
// ANSI code page; elsewhere there is no 8-bit system code page, so Latin-1 stands in: every byte maps to
// exactly one character and back, so nothing read from a file or the line is ever lost or mangled.
namespace ansi {
QByteArray encode(const QString &text);
QString decode(QByteArrayView bytes);
} // namespace ansi
