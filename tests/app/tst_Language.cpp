#include "TestFolder.h"
#include "app/ConsoleSettingsDialog.h"
#include "app/Language.h"
#include "app/frmVorn.h"
#include "common/Said.h"
#include "ninepatch/ctxPatchButton.h"
#include "units/UnitSettingsDialog.h"
#include "units/dUnit.h"

#include <QLabel>

using namespace Qt::Literals::StringLiterals;
using SettingsSchema::Key;
using SettingsSchema::Setting;

namespace {

// Every caption shown in the widget's tree that its width cannot hold: "lblName 'EINHEIT 10' 130 > 120".
// The status line is a message, not a caption: what it cannot hold, the pane keeps whole.
QStringList cutCaptions(const QWidget &top)
{
    QStringList cut;
    auto check = [&cut](const QWidget &w, const QString &text, int room) {
        const int needed = QFontMetrics(w.font()).horizontalAdvance(text);
        if (!text.isEmpty() && needed > room)
            cut << u"%1 '%2' %3 > %4"_s.arg(w.objectName(), text).arg(needed).arg(room);
    };
    for (const QLabel *label : top.findChildren<QLabel *>()) {
        if (label->isVisibleTo(&top) && !label->wordWrap() && label->objectName() != u"lblStatus")
            check(*label, label->text().remove(u'&'), label->contentsRect().width() - 2 * label->margin());
    }
    for (const ctxPatchButton *button : top.findChildren<ctxPatchButton *>()) {
        if (button->isVisibleTo(&top))
            check(*button, button->Caption(), button->width());
    }
    return cut;
}

} // namespace

// The operator's language: Spanish and German built in, chosen by Language= or the system, English else.
class tst_Language : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { language::install(QString()); }

    void choose_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("system");
        QTest::addColumn<QString>("language");
        QTest::addColumn<bool>("said");
        QTest::newRow("the system's German") << QString() << QStringList{u"de-AT"_s, u"en-US"_s} << u"de"_s << false;
        QTest::newRow("the first the console has")
            << QString() << QStringList{u"fr-FR"_s, u"es_ES"_s} << u"es"_s << false;
        QTest::newRow("the system's English first")
            << QString() << QStringList{u"en-GB"_s, u"de-DE"_s} << QString() << false;
        QTest::newRow("none the console has") << QString() << QStringList{u"fr-FR"_s} << QString() << false;
        QTest::newRow("Language=es over the system") << u" ES "_s << QStringList{u"de-DE"_s} << u"es"_s << false;
        QTest::newRow("Language=en keeps English") << u"en"_s << QStringList{u"de-DE"_s} << QString() << false;
        QTest::newRow("an unknown Language= is said") << u"fr"_s << QStringList{u"de-DE"_s} << QString() << true;
    }
    void choose()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, system);
        TestFolder folder("[Settings]\r\nLanguage=" + setting.toUtf8() + "\r\n");
        const language::Choice choice = language::choose(Setting(Key::Language).read(), system);
        QTEST(choice.language, "language");
        QTEST(!choice.note.isEmpty(), "said");
        QCOMPARE(TestFolder::stored(Setting(Key::Language)), setting.trimmed()); // never written back
    }

    // Each translation loads, replacing the one before, and at the default size every caption of the window,
    // of a panel in its longest states and of the dialogs fits as it is; the log's English stays.
    void translatedAndNothingCut_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("unit");
        QTest::newRow("es") << u"es"_s << u"Ajustes de la consola"_s << u"UNIDAD 3"_s;
        QTest::newRow("de") << u"de"_s << u"Konsoleneinstellungen"_s << u"EINHEIT 3"_s;
        QTest::newRow("en takes German away again") << u"en"_s << u"Console settings"_s << u"UNIT 3"_s;
    }
    void translatedAndNothingCut()
    {
        QFETCH(QString, language);
        QVERIFY(language::install(u"de"_s)); // replaced by the row's
        QVERIFY(language::install(language));
        TestFolder folder("[Settings]\r\nNoUnits=10\r\n[UNIT10]\r\nUID=110\r\n");
        FakePlatform platform;
        platform.folder = folder.dir.path();
        frmVorn w(platform);
        w.load();
        w.show();
        QStringList cut = cutCaptions(w);
        // A panel's lines with four-digit counts (as many as the English lines hold), and stuck.
        const auto said = [](const char *text) { return QCoreApplication::translate("Console", text); };
        for (const QString &info : {said("Short : ") + u"1234"_s, said("STUCK STN")}) {
            for (int n = 1; n <= 10; ++n) {
                w.unitPanel(n)->setCaption3(said("Count : ") + u"1234"_s);
                w.unitPanel(n)->setCaption4(info);
            }
            cut << cutCaptions(w);
        }
        ConsoleSettingsDialog console(5, 7, {{7, u"ttyUSB0"_s}}, &w);
        UnitSettingsDialog unit(10, {u"110"_s, u"1.0"_s, u"ID:TSL SN-1"_s, QString()}, {}, &w);
        for (QDialog *dialog : {static_cast<QDialog *>(&console), static_cast<QDialog *>(&unit)}) {
            dialog->show();
            cut << cutCaptions(*dialog);
        }
        QTEST(console.windowTitle(), "settings");
        QTEST(w.unitPanel(3)->caption1(), "unit");
        QCOMPARE(unitName(3).english, u"UNIT 3"_s);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
    }
};

QTEST_MAIN(tst_Language)
#include "tst_Language.moc"
