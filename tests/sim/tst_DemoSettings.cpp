#include "SimController.h"
#include "SimOptions.h"

#include <QFile>
#include <QTest>

// The demo program folder's settings must drive the simulator: every command the console can take from
// them has to be one the simulator understands, and the units must be the ones it simulates.
namespace {

using Section = QList<QPair<QByteArray, QByteArray>>;

QByteArray readExample(const char *name)
{
    QFile f(QStringLiteral(EXAMPLES_DIR "/") + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Entries of one section in file order; keys and values as written.
Section section(const QByteArray &file, const QByteArray &name)
{
    Section entries;
    bool inside = false;
    for (QByteArray line : file.split('\n')) {
        line = line.trimmed();
        if (line.startsWith('[')) {
            inside = (line == '[' + name + ']');
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (inside && eq > 0)
            entries.append({line.left(eq), line.mid(eq + 1)});
    }
    return entries;
}

QByteArray value(const Section &s, const QByteArray &key)
{
    for (const auto &e : s) {
        if (e.first == key)
            return e.second;
    }
    return {};
}

// The console's framing of catalogue text sent to all units: a lead ">" and ",0" until two commas.
QByteArray frameForAllUnits(QByteArray text)
{
    if (!text.startsWith('>'))
        text.prepend('>');
    if (!text.contains(','))
        text += ",0";
    if (text.indexOf(',', text.indexOf(',') + 1) < 0)
        text += ",0";
    return text;
}

QByteArrayList messagesFor(const QByteArray &line)
{
    SimOptions o;
    o.seed = 1;
    SimController c(o);
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
    void filesUseCrLf_data();
    void filesUseCrLf();
    void internalCommandsAreUnderstood_data();
    void internalCommandsAreUnderstood();
    void standardCommandsAreUnderstood();
    void unitsMatchTheSimulator();
    void designsHoldFiveCounts();
};

void tst_DemoSettings::filesUseCrLf_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("Vorn.ini") << readExample("Vorn.ini");
    QTest::newRow("Vorn2.ini") << readExample("Vorn2.ini");
}

void tst_DemoSettings::filesUseCrLf()
{
    QFETCH(QByteArray, content);
    QVERIFY(!content.isEmpty());
    QVERIFY(content.endsWith("\r\n"));
    QCOMPARE(content.count('\n'), content.count("\r\n"));
    QCOMPARE(content.count('\r'), content.count("\r\n"));
}

void tst_DemoSettings::internalCommandsAreUnderstood_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("Id") << QByteArray("Id") << QByteArray("ID:");
    QTest::newRow("UPDATE") << QByteArray("UPDATE") << QByteArray();
    QTest::newRow("HOME") << QByteArray("HOME") << QByteArray();
    QTest::newRow("Save Settings") << QByteArray("Save Settings") << QByteArray();
    QTest::newRow("Flush") << QByteArray("Flush") << QByteArray();
    QTest::newRow("STOP") << QByteArray("STOP") << QByteArray();
    QTest::newRow("Count") << QByteArray("Count") << QByteArray();
}

void tst_DemoSettings::internalCommandsAreUnderstood()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, report);
    const QByteArray text = value(section(readExample("Vorn2.ini"), "Internal Commands"), name);
    QVERIFY2(!text.isEmpty() && text != "-", name.constData());
    // The console appends the address and fillers itself.
    QVERIFY(!text.contains(','));

    // Built as the console builds it: unit buttons put the UID second, the dispense run third.
    const QByteArray line = name == "Count" ? '>' + text + ",12,101" : '>' + text + ",101,0";
    const QByteArrayList messages = messagesFor(line);
    QVERIFY(!messages.isEmpty());
    QCOMPARE(messages.first(), QByteArray("Sent OK"));
    if (!report.isEmpty())
        QVERIFY(messages.last().startsWith(report));

    // And from the "All Units" panel: one acknowledgement per unit.
    if (name != "Count")
        QCOMPARE(messagesFor('>' + text + ",0,0").count("Sent OK"), 5);
}

void tst_DemoSettings::standardCommandsAreUnderstood()
{
    const Section commands = section(readExample("Vorn2.ini"), "Standard Commands");
    QVERIFY(commands.size() >= 5);
    for (const auto &[name, text] : commands) {
        const QByteArrayList messages = messagesFor(frameForAllUnits(text));
        QVERIFY2(messages.count("Sent OK") == 5, name.constData());
        QVERIFY2(!messages.contains("Not Ack"), name.constData());
    }
}

void tst_DemoSettings::unitsMatchTheSimulator()
{
    const QByteArray file = readExample("Vorn.ini");
    const Section settings = section(file, "Settings");
    QCOMPARE(value(settings, "Comm Port"), QByteArray("7"));
    QCOMPARE(value(settings, "NoUnits"), QByteArray("5"));
    QCOMPARE(SimOptions().port, 7);

    const QList<int> simulated = SimOptions().uids;
    QCOMPARE(simulated.size(), 5);
    for (int n = 1; n <= 5; ++n) {
        const Section unit = section(file, "UNIT" + QByteArray::number(n));
        QCOMPARE(value(unit, "UID").toInt(), simulated.at(n - 1));
        bool ok = false;
        QVERIFY(value(unit, "SIZE").toDouble(&ok) > 0 && ok);
    }
}

void tst_DemoSettings::designsHoldFiveCounts()
{
    const Section designs = section(readExample("Vorn.ini"), "Designs");
    QVERIFY(designs.size() >= 3);
    QCOMPARE(value(designs, "RING"), QByteArray("12,0,4,0,0"));
    for (const auto &[name, counts] : designs) {
        QCOMPARE(name, name.toUpper());
        const QByteArrayList c = counts.split(',');
        QCOMPARE(c.size(), 5);
        int total = 0;
        for (const QByteArray &v : c) {
            bool ok = false;
            const int k = v.toInt(&ok);
            QVERIFY(ok && k >= 0 && k <= SimController::kMaxCount);
            QCOMPARE(QByteArray::number(k), v); // plain decimal, as the console writes them
            total += k;
        }
        QVERIFY2(total > 0, name.constData());
    }
}

QTEST_GUILESS_MAIN(tst_DemoSettings)
#include "tst_DemoSettings.moc"
