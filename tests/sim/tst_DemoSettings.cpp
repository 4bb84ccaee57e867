#include "IniFile.h"
#include "SimController.h"
#include "SimOptions.h"

#include <QFile>
#include <QTest>

// The demo program folder's settings must drive the simulator: every command the console can take from
// them has to be one the simulator understands, and the units must be the ones it simulates. They are read
// with the console's own settings engine.
namespace {

QString example(const char *name)
{
    return QStringLiteral(EXAMPLES_DIR "/") + QLatin1String(name);
}

QByteArray value(const char *file, const QByteArray &section, const QByteArray &key)
{
    return IniFile::readValue(example(file), QString::fromLatin1(section), QString::fromLatin1(key))
        .value_or(QString())
        .toLatin1();
}

bool crLfOnly(const char *name)
{
    QFile f(example(name));
    const QByteArray all = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    return !all.isEmpty() && all.count('\n') == all.count("\r\n");
}

} // namespace

class tst_DemoSettings : public QObject
{
    Q_OBJECT

private slots:
    void commandsAreUnderstood_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("units");
        // Built as the console builds them: unit buttons put the UID second, the dispense run third, the
        // "All Units" panel addresses 0.
        for (const char *name : {"Id", "UPDATE", "HOME", "Save Settings", "Flush", "STOP", "Count"}) {
            const QByteArray text = value("Vorn2.ini", "Internal Commands", name);
            QVERIFY(!text.contains(',')); // the console adds the address and fillers itself
            if (QByteArray(name) == "Count") {
                QTest::addRow("%s", name) << '>' + text + ",12,101" << 1;
            } else {
                QTest::addRow("%s for one unit", name) << '>' + text + ",101,0" << 1;
                QTest::addRow("%s for all units", name) << '>' + text + ",0,0" << 5;
            }
        }
        const QStringList standard = IniFile::readSection(example("Vorn2.ini"), QStringLiteral("Standard Commands"));
        QVERIFY(standard.size() >= 5);
        for (const QString &entry : standard) {
            // Catalogue text goes to all units, ",0" added until the body holds two commas.
            QByteArray line = '>' + entry.section(QLatin1Char('='), 1).toLatin1();
            while (line.count(',') < 2)
                line += ",0";
            QTest::addRow("catalogue: %s", qPrintable(entry)) << line << 5;
        }
    }

    void commandsAreUnderstood()
    {
        QFETCH(QByteArray, line);
        SimController c(SimOptions{});
        c.receiveLine(line, 0);
        QByteArrayList messages;
        for (const QByteArray &l : c.takeDue(0))
            messages.append(l.split('\t').value(2).trimmed());
        QTEST(int(messages.count("Sent OK")), "units");
        QVERIFY(!messages.contains("Not Ack"));
    }

    void unitsAndDesignsFitTheSimulator()
    {
        QVERIFY(crLfOnly("Vorn.ini") && crLfOnly("Vorn2.ini")); // as the console's own files
        QCOMPARE(value("Vorn.ini", "Settings", "Comm Port").toInt(), SimOptions().port);
        QCOMPARE(value("Vorn.ini", "Settings", "NoUnits"), QByteArray("5"));
        for (int n = 1; n <= 5; ++n) {
            const QByteArray unit = "UNIT" + QByteArray::number(n);
            QCOMPARE(value("Vorn.ini", unit, "UID").toInt(), SimOptions().uids.value(n - 1));
            QVERIFY(value("Vorn.ini", unit, "SIZE").toDouble() > 0);
        }
        const QStringList designs = IniFile::readSection(example("Vorn.ini"), QStringLiteral("Designs"));
        QVERIFY(designs.size() >= 3);
        for (const QString &d : designs) {
            const QString name = d.section(QLatin1Char('='), 0, 0);
            QCOMPARE(name, name.toUpper()); // the console stores design names in upper case
            const QStringList counts = d.section(QLatin1Char('='), 1).split(QLatin1Char(','));
            QCOMPARE(counts.size(), 5);
            for (const QString &c : counts) // plain decimal, in the units' range
                QVERIFY(QString::number(c.toInt()) == c && c.toInt() >= 0 && c.toInt() <= SimController::kMaxCount);
        }
    }
};

QTEST_GUILESS_MAIN(tst_DemoSettings)
#include "tst_DemoSettings.moc"
