#pragma once

#include <QCoreApplication>
#include <QString>

// What the console says to the operator and keeps as well: fixed English for the log, the journal and the
// broker, and the operator's language on the status line and in the pane. Both come from one source text
// (marked with QT_TRANSLATE_NOOP("Console", ...) so that lupdate finds it), so they never say different
// things.
struct Said
{
    QString english;
    QString shown;

    bool isEmpty() const { return english.isEmpty(); }
    Said operator+(const Said &more) const { return {english + more.english, shown + more.shown}; }
};

namespace said_detail {
inline QString text(const QString &s, bool)
{
    return s;
}
inline QString text(const char *s, bool)
{
    return QString::fromUtf8(s);
}
inline QString text(const Said &s, bool shown)
{
    return shown ? s.shown : s.english;
}
template<typename Number>
requires std::is_arithmetic_v<Number> QString text(Number n, bool)
{
    return QString::number(n);
}
} // namespace said_detail

// said(QT_TRANSLATE_NOOP("Console", "%1 short by %2"), unitName(n), k): the arguments fill %1, %2... in
// both texts; an argument that is itself said goes in as English into the English and as shown into the shown.
template<typename... Args>
Said said(const char *source, const Args &...args)
{
    QString english = QString::fromUtf8(source);
    QString shown = QCoreApplication::translate("Console", source);
    if constexpr (sizeof...(Args) > 0) {
        english = english.arg(said_detail::text(args, false)...);
        shown = shown.arg(said_detail::text(args, true)...);
    }
    return {english, shown};
}

// Unit n by name: "UNIT n".
inline Said unitName(int n)
{
    return said(QT_TRANSLATE_NOOP("Console", "UNIT %1"), n);
}

// Text that is the same in every language: a name, a number, a line of the controller.
inline Said verbatim(const QString &text)
{
    return {text, text};
}
