#include "SimController.h"
#include "SimOptions.h"

#include <QFile>
#include <QTest>

// The demo program folder's settings must drive the simulator: every command the console can take from
// them has to be one the simulator understands, and the units must be the ones it simulates.
namespace {

QByteArray readExample(const char *name)
{
    QFile f(QStringLiteral(EXAMPLES_DIR "/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// key=value entries of one section, in file order.
QList<QByteArrayList> section(const QByteArray &file, const QByteArray &name)
{
    QList<QByteArrayList> entries;
    bool inside = false;
    for (const QByteArray &raw : file.split('\n')) {
        const QByteArray line = raw.trimmed();
        const qsizetype eq = line.indexOf('=');
        if (line.startsWith('['))
            inside = (line == '[' + name + ']');
        else if (inside && eq > 0)
            entries.append({line.left(eq), line.mid(eq + 1)});
    }
    return entries;
}

QByteArray value(const QByteArray &file, const QByteArray &sectionName, const QByteArray &key)
{
    for (const QByteArrayList &e : section(file, sectionName)) {
        if (e.at(0) == key)
            return e.at(1);
    }
    return {};
}

// What the demo units answer to one line, message fields only.
QByteArrayList answers(const QByteArray &line)
{
    SimController c(SimOptions{});
    c.receiveLine(line, 0);
    QByteArrayList messages;
    for (const QByteArray &l : c.takeDue(0))
        messages.append(l.split('\t').value(2).trimmed());
    return messages;
}

} // namespace

class tst_DemoSettings : public QObject
{
    Q_OBJECT

private slots:
    void internalCommandsAreUnderstood_data();
    void internalCommandsAreUnderstood();
    void standardCommandsAreUnderstood();
    void unitsAndDesignsFitTheSimulator();
};

void tst_DemoSettings::internalCommandsAreUnderstood_data()
{
    QTest::addColumn<QByteArray>("name");
    for (const char *name : {"Id", "UPDATE", "HOME", "Save Settings", "Flush", "STOP", "Count"})
        QTest::newRow(name) << QByteArray(name);
}

void tst_DemoSettings::internalCommandsAreUnderstood()
{
    QFETCH(QByteArray, name);
    const QByteArray file = readExample("Vorn2.ini");
    QCOMPARE(file.count('\n'), file.count("\r\n")); // CR LF line ends, as the console's own files
    const QByteArray text = value(file, "Internal Commands", name);
    QVERIFY(!text.isEmpty() && text != "-");
    QVERIFY(!text.contains(',')); // the console adds the address and fillers itself

    // Built as the console builds it: unit buttons put the UID second, the dispense run third.
    if (name == "Count") {
        QCOMPARE(answers('>' + text + ",12,101").value(0), QByteArray("Sent OK"));
    } else {
        QCOMPARE(answers('>' + text + ",101,0").value(0), QByteArray("Sent OK"));
        QCOMPARE(answers('>' + text + ",0,0").count("Sent OK"), 5); // from the "All Units" panel
    }
}

void tst_DemoSettings::standardCommandsAreUnderstood()
{
    const QList<QByteArrayList> commands = section(readExample("Vorn2.ini"), "Standard Commands");
    QVERIFY(commands.size() >= 5);
    for (const QByteArrayList &e : commands) {
        // Framed as the console frames catalogue text for all units: ",0" until the body holds two commas.
        QByteArray line = '>' + e.at(1);
        while (line.count(',') < 2)
            line += ",0";
        QVERIFY2(answers(line).count("Sent OK") == 5, e.at(0).constData());
        QVERIFY2(!answers(line).contains("Not Ack"), e.at(0).constData());
    }
}

void tst_DemoSettings::unitsAndDesignsFitTheSimulator()
{
    const QByteArray file = readExample("Vorn.ini");
    QCOMPARE(file.count('\n'), file.count("\r\n"));
    QCOMPARE(value(file, "Settings", "Comm Port").toInt(), SimOptions().port);
    QCOMPARE(value(file, "Settings", "NoUnits"), QByteArray("5"));
    for (int n = 1; n <= 5; ++n) {
        const QByteArray unit = "UNIT" + QByteArray::number(n);
        QCOMPARE(value(file, unit, "UID").toInt(), SimOptions().uids.value(n - 1));
        QVERIFY(value(file, unit, "SIZE").toDouble() > 0);
    }

    const QList<QByteArrayList> designs = section(file, "Designs");
    QVERIFY(designs.size() >= 3);
    QCOMPARE(value(file, "Designs", "RING"), QByteArray("12,0,4,0,0"));
    for (const QByteArrayList &d : designs) {
        QCOMPARE(d.at(0), d.at(0).toUpper()); // the console stores design names in upper case
        const QByteArrayList counts = d.at(1).split(',');
        QCOMPARE(counts.size(), 5);
        for (const QByteArray &c : counts) // plain decimal, in the units' range
            QVERIFY(QByteArray::number(c.toInt()) == c && c.toInt() >= 0 && c.toInt() <= SimController::kMaxCount);
    }
}

QTEST_GUILESS_MAIN(tst_DemoSettings)
#include "tst_DemoSettings.moc"
