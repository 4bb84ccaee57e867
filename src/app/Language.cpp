#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace language {

namespace {

// The console's own translation, then Qt's: removed and made anew at each install().
std::unique_ptr<QTranslator> consoleTranslator;
std::unique_ptr<QTranslator> qtTranslator;

void removeInstalled()
{
    for (std::unique_ptr<QTranslator> *t : {&consoleTranslator, &qtTranslator}) {
        if (*t)
            QCoreApplication::removeTranslator(t->get());
        t->reset();
    }
}

// "de-AT", "es_419", "DE" -> "de", "es", "de".
QString primaryLanguage(const QString &name)
{
    return name.trimmed().section(u'-', 0, 0).section(u'_', 0, 0).toLower();
}

} // namespace

QStringList shipped()
{
    return {QStringLiteral("es"), QStringLiteral("de")};
}

Choice choose(const QString &setting, const QStringList &uiLanguages)
{
    const QString set = setting.trimmed();
    if (!set.isEmpty()) {
        const QString wanted = primaryLanguage(set);
        if (wanted == u"en")
            return {};
        if (shipped().contains(wanted))
            return {wanted, {}};
        return {{},
                QStringLiteral("Language=%1 in [Settings] is not one the console has (en, es, de): English").arg(set)};
    }
    for (const QString &ui : uiLanguages) {
        const QString wanted = primaryLanguage(ui);
        if (wanted == u"en")
            return {};
        if (shipped().contains(wanted))
            return {wanted, {}};
    }
    return {};
}

bool install(const QString &language)
{
    removeInstalled();
    if (!shipped().contains(language))
        return language.isEmpty() || language == u"en";
    auto console = std::make_unique<QTranslator>();
    if (!console->load(QStringLiteral(":/i18n/vorn_%1.qm").arg(language)))
        return false;
    QCoreApplication::installTranslator(console.get());
    consoleTranslator = std::move(console);
    // Qt's own texts (the buttons of its boxes, the text fields' menus), where the system has them.
    auto qt = std::make_unique<QTranslator>();
    if (qt->load(QStringLiteral("qtbase_%1").arg(language), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt.get());
        qtTranslator = std::move(qt);
    }
    return true;
}

} // namespace language
