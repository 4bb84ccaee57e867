#include "RunJournal.h"

#include "NumberText.h"

#include <QStringList>

const QByteArray RunJournal::Header =
    QByteArrayLiteral("time,design,unit,uid,asked,counted,short,result,verdict,actual\r\n");

RunJournal::RunJournal(Writer writer, Announcer announcer)
    : m_writer(std::move(writer))
    , m_announcer(std::move(announcer))
{}

void RunJournal::startRun(const QDateTime &start, const QString &design)
{
    finish();
    m_units.clear();
    m_start = start;
    m_design = design;
    m_announced = false;
}

void RunJournal::addUnit(int n, const QString &unit, const QString &uid, const QString &asked)
{
    UnitRun u;
    u.n = n;
    u.unit = unit;
    u.uid = uid;
    u.asked = asked;
    m_units.push_back(std::move(u));
}

RunJournal::UnitRun *RunJournal::find(int n)
{
    for (UnitRun &u : m_units) {
        if (u.n == n && !u.written)
            return &u;
    }
    return nullptr;
}

void RunJournal::sent(int n)
{
    if (UnitRun *u = find(n))
        u->sending = Sending::Sent;
}

void RunJournal::notSent(int n)
{
    if (UnitRun *u = find(n))
        u->sending = Sending::NotSent;
}

void RunJournal::finalReport(int n, std::optional<double> count, bool stuck)
{
    // What the controller says of a unit before its line went out belongs to no run of ours.
    UnitRun *u = find(n);
    if (!u || u->sending != Sending::Sent)
        return;
    if (count)
        u->counted = count;
    u->stuck = u->stuck || stuck;
    announceWhenDone();
}

void RunJournal::shortfall(int n, double value)
{
    if (UnitRun *u = find(n); u && u->sending == Sending::Sent)
        u->shortBy = value;
}

void RunJournal::verdict(int n, bool ok, qint32 actual)
{
    if (UnitRun *u = find(n))
        write(*u, ok ? QStringLiteral("OK") : QStringLiteral("NOT OK"), ok ? QString() : QString::number(actual));
}

void RunJournal::finish()
{
    for (UnitRun &u : m_units) {
        if (!u.written)
            write(u, QString(), QString());
    }
}

QString RunJournal::result(const UnitRun &u)
{
    if (u.sending != Sending::Sent)
        return QStringLiteral("not sent");
    if (u.stuck)
        return QStringLiteral("stuck");
    const double asked = numtext::read(u.asked);
    if (u.shortBy || (u.counted && *u.counted < asked))
        return QStringLiteral("short");
    if (!u.counted)
        return QStringLiteral("no report");
    // More stones than asked is no complete run either; it is said as what it is.
    return *u.counted == asked ? QStringLiteral("complete") : QStringLiteral("over");
}

QString RunJournal::csvField(const QString &text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text) {
        if (special.contains(c))
            return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return text;
}

void RunJournal::write(UnitRun &u, const QString &verdict, const QString &actual)
{
    u.written = true;
    const auto number = [](const std::optional<double> &v) { return v ? numtext::plain(*v) : QString(); };
    const QStringList fields{m_start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")),
                             m_design,
                             u.unit,
                             u.uid,
                             u.asked,
                             number(u.counted),
                             number(u.shortBy),
                             result(u),
                             verdict,
                             actual};
    QStringList quoted;
    for (const QString &f : fields)
        quoted.append(csvField(f));
    if (m_writer)
        m_writer(quoted.join(u',').toUtf8() + "\r\n");
}

void RunJournal::announceWhenDone()
{
    if (m_announced || m_units.empty())
        return;
    for (const UnitRun &u : m_units) {
        if (u.sending == Sending::Pending || (u.sending == Sending::Sent && !u.counted && !u.stuck))
            return;
    }
    m_announced = true;
    const QString name = m_design.isEmpty() ? QStringLiteral("Dispense") : m_design;
    for (const UnitRun &u : m_units) {
        const QString r = result(u);
        if (r == QLatin1String("complete"))
            continue;
        QString how = r;
        const double asked = numtext::read(u.asked);
        if (r == QLatin1String("short"))
            how = QStringLiteral("short by ") + numtext::plain(u.shortBy ? *u.shortBy : asked - u.counted.value_or(0));
        else if (r == QLatin1String("over"))
            how = QStringLiteral("over by ") + numtext::plain(u.counted.value_or(0) - asked);
        if (m_announcer)
            m_announcer(name + QStringLiteral(": ") + u.unit + u' ' + how);
        return;
    }
    if (m_announcer)
        m_announcer(name + QStringLiteral(": ") + QString::number(m_units.size()) + QStringLiteral(" of ")
                    + QString::number(m_units.size()) + QStringLiteral(" units complete"));
}
