#include "sim/NoiseSource.h"

NoiseSource::NoiseSource(quint32 seed)
    : m_rng(seed ^ 0x9e3779b9u)
{}

int NoiseSource::uniform(int lo, int hi)
{
    return std::uniform_int_distribution<int>(lo, hi)(m_rng);
}

QByteArray NoiseSource::garbage()
{
    QByteArray out;
    const int kind = uniform(0, 9);
    if (kind == 0) {
        out.reserve(kOverlongSize + 2);
        for (qsizetype i = 0; i < kOverlongSize; ++i)
            out.append(char(uniform(0x20, 0x7e)));
    } else if (kind <= 3) {
        out = QByteArray(uniform(1, 16), '\0');
    } else {
        const int n = uniform(1, 64);
        for (int i = 0; i < n; ++i)
            out.append(char(uniform(0, 255)));
    }
    out.append("\r\n");
    return out;
}

bool NoiseSource::garbageBeforeLine()
{
    return uniform(0, 3) == 0;
}

int NoiseSource::garbageGapMs()
{
    return uniform(200, 1000);
}

NoiseSource::Report NoiseSource::floodReport(const QList<int> &uids)
{
    Report r;
    r.uid = uids.isEmpty() ? 0 : uids.at(uniform(0, int(uids.size()) - 1));
    const QByteArray k = QByteArray::number(uniform(0, 60));
    switch (uniform(0, 7)) {
    case 0:
        r.message = QByteArrayLiteral("[F]");
        r.value = k;
        break;
    case 1: r.message = QByteArrayLiteral("[C]<-") + k; break;
    case 2:
        r.message = QByteArrayLiteral("ID:TSL-DU UID=") + QByteArray::number(r.uid) + QByteArrayLiteral(" FW=2.31");
        break;
    case 3: r.message = QByteArrayLiteral("L1L2:L1=1180 L2=2340"); break;
    case 4: r.message = QByteArrayLiteral("Sent OK"); break;
    case 5: r.message = QByteArrayLiteral("Not Ack"); break;
    default: r.message = QByteArrayLiteral("[c](") + k + ')'; break;
    }
    return r;
}
