#pragma once

#include <QString>
#include <QStringList>

// The operator's language. The console ships Spanish and German beside its English; texts for the screen
// are translated, files, the wire and the broker stay English.
namespace language {

// The languages the console has a translation for, besides English ("es", "de").
QStringList shipped();

struct Choice
{
    // "es", "de", or empty for English.
    QString language;
    // An English line for the log and the status line when Language= names no language the console has;
    // empty otherwise.
    QString note;
};

// Language= of [Settings] when set ("en" keeps English), else the first of the system's UI languages
// (QLocale::system().uiLanguages(), "de-AT", "es_ES") that the console has, else English.
Choice choose(const QString &setting, const QStringList &uiLanguages);

// Installs the console's translation of language, and Qt's own (its dialogs' buttons) where it is found;
// English, or a language without a translation, removes what an earlier call installed. False when the
// console's translation could not be loaded.
bool install(const QString &language);

} // namespace language
