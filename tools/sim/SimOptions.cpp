#include "sim/SimOptions.h"

#include <QCommandLineParser>

#include <limits>

namespace {

struct OptionEntry
{
    const char *name;
    const char *valueName; // nullptr: a flag
    const char *help;
};

// Kept in one table so the parser and the usage text cannot drift apart.
const OptionEntry kOptions[] = {
    {"dir", "FOLDER", "Program folder; the port is linked as FOLDER/ports/COMn (default: current folder)."},
    {"port", "N", "Port number n of the link ports/COMn (default 7)."},
    {"uids", "LIST", "Comma-separated UIDs of the units (default 101,102,103,104,105)."},
    {"stone-ms", "MS", "Time for one stone to fall (default 150)."},
    {"progress-every", "K", "Progress report every K stones (default 1)."},
    {"home-ms", "MS", "Duration of a homing run (default 600)."},
    {"flush-ms", "MS", "Duration of a flush (default 400)."},
    {"short-rate", "P", "Chance 0..1 per dispense that the unit runs short (default 0)."},
    {"stuck-rate", "P", "Chance 0..1 per dispense that a stone gets stuck (default 0)."},
    {"silent", nullptr, "Never answer anything, not even the probe."},
    {"greeting-delay-ms", "MS", "Wait this long before answering the probe (default 0)."},
    {"split", nullptr, "Write every line in two pieces with a pause between."},
    {"split-ms", "MS", "Pause between the two pieces of a split line (default 500)."},
    {"flood", "N", "Send N unsolicited report lines per second."},
    {"garbage", nullptr, "Interleave random bytes, NULs and overlong lines with the replies."},
    {"seed", "N", "Seed of the random generator (default: from the clock, printed at start)."},
    {"trace", "FILE", "Record every byte received, as received."},
};

bool readInt(const QCommandLineParser &p, const char *name, int min, int max, int *out, QString *error)
{
    const QString key = QLatin1String(name);
    if (!p.isSet(key))
        return true;
    bool ok = false;
    const QString text = p.value(key).trimmed();
    const qlonglong v = text.toLongLong(&ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("--%1: expected a whole number from %2 to %3, got \"%4\"")
                     .arg(key)
                     .arg(min)
                     .arg(max)
                     .arg(p.value(key));
        return false;
    }
    *out = int(v);
    return true;
}

bool readRate(const QCommandLineParser &p, const char *name, double *out, QString *error)
{
    const QString key = QLatin1String(name);
    if (!p.isSet(key))
        return true;
    bool ok = false;
    const double v = p.value(key).trimmed().toDouble(&ok);
    // Written as !(in range) so that NaN is refused too.
    if (!ok || !(v >= 0.0 && v <= 1.0)) {
        *error = QStringLiteral("--%1: expected a chance from 0 to 1, got \"%2\"").arg(key, p.value(key));
        return false;
    }
    *out = v;
    return true;
}

void addOptions(QCommandLineParser &p)
{
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionEntry &s : kOptions) {
        if (s.valueName)
            p.addOption(QCommandLineOption(QLatin1String(s.name), QLatin1String(s.help), QLatin1String(s.valueName)));
        else
            p.addOption(QCommandLineOption(QLatin1String(s.name), QLatin1String(s.help)));
    }
    p.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")));
    p.addOption(QCommandLineOption(QStringLiteral("version"), QStringLiteral("Show the version.")));
}

} // namespace

QList<int> defaultSimUids()
{
    return {101, 102, 103, 104, 105};
}

bool parseSimOptions(const QStringList &args, SimOptions *options, QString *error)
{
    QCommandLineParser p;
    addOptions(p);
    // QCommandLineParser expects the program name first.
    if (!p.parse(QStringList{QStringLiteral("dispenser-sim")} + args)) {
        *error = p.errorText();
        return false;
    }
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().constFirst());
        return false;
    }

    SimOptions o;
    o.help = p.isSet(QStringLiteral("help"));
    o.version = p.isSet(QStringLiteral("version"));

    if (p.isSet(QStringLiteral("dir"))) {
        o.dir = p.value(QStringLiteral("dir"));
        if (o.dir.isEmpty()) {
            *error = QStringLiteral("--dir: empty folder name");
            return false;
        }
    }
    const int maxMs = 3600 * 1000;
    if (!readInt(p, "port", 1, 255, &o.port, error) || !readInt(p, "stone-ms", 1, maxMs, &o.stoneMs, error)
        || !readInt(p, "progress-every", 1, 1000000, &o.progressEvery, error)
        || !readInt(p, "home-ms", 0, maxMs, &o.homeMs, error) || !readInt(p, "flush-ms", 0, maxMs, &o.flushMs, error)
        || !readInt(p, "greeting-delay-ms", 0, maxMs, &o.greetingDelayMs, error)
        || !readInt(p, "split-ms", 0, maxMs, &o.splitMs, error) || !readInt(p, "flood", 0, 100000, &o.flood, error)
        || !readRate(p, "short-rate", &o.shortRate, error) || !readRate(p, "stuck-rate", &o.stuckRate, error))
        return false;

    if (p.isSet(QStringLiteral("uids"))) {
        o.uids.clear();
        const QStringList parts = p.value(QStringLiteral("uids")).split(QLatin1Char(','));
        for (const QString &part : parts) {
            bool ok = false;
            const qlonglong v = part.trimmed().toLongLong(&ok);
            // 0 is the broadcast address and can never be a unit's own.
            if (!ok || v < 1 || v > std::numeric_limits<int>::max()) {
                *error = QStringLiteral("--uids: \"%1\" is not a UID (a whole number from 1)").arg(part);
                return false;
            }
            if (o.uids.contains(int(v))) {
                *error = QStringLiteral("--uids: %1 is given twice").arg(v);
                return false;
            }
            o.uids.append(int(v));
        }
    }

    if (p.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        const qulonglong v = p.value(QStringLiteral("seed")).trimmed().toULongLong(&ok);
        if (!ok || v > std::numeric_limits<quint32>::max()) {
            *error =
                QStringLiteral("--seed: expected a whole number from 0 to %1").arg(std::numeric_limits<quint32>::max());
            return false;
        }
        o.seed = quint32(v);
        o.seedGiven = true;
    }

    o.silent = p.isSet(QStringLiteral("silent"));
    o.split = p.isSet(QStringLiteral("split"));
    o.garbage = p.isSet(QStringLiteral("garbage"));
    if (p.isSet(QStringLiteral("trace"))) {
        o.trace = p.value(QStringLiteral("trace"));
        if (o.trace.isEmpty()) {
            *error = QStringLiteral("--trace: empty file name");
            return false;
        }
    }

    *options = o;
    return true;
}

QString simUsage()
{
    QCommandLineParser p;
    addOptions(p);
    p.setApplicationDescription(QStringLiteral(
        "Simulates a Tessaloran dispenser controller on a pseudo-terminal linked as <dir>/ports/COMn.\n"
        "Prints \"ready: <link> -> <device>\" once the port can be opened. SIGUSR1 jams a stone in the first\n"
        "unit (its stuck-stone report goes out at once)."));
    QString text = p.helpText();
    // helpText() names the running executable; there may be none (tests) or it may be renamed.
    const qsizetype eol = text.indexOf(QLatin1Char('\n'));
    if (eol >= 0)
        text = QStringLiteral("Usage: dispenser-sim [options]") + text.mid(eol);
    return text;
}
