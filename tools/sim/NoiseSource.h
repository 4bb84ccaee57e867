#pragma once

#include <QByteArray>
#include <QList>

#include <random>

// The faults a bad line or a chatty controller puts on the wire: garbage between the replies and a flood
// of unsolicited reports. Its random generator is its own, so switching noise on or off does not change
// which dispense runs go short or get stuck for a given seed.
class NoiseSource
{
public:
    static constexpr qsizetype kOverlongSize = 100 * 1024;

    struct Report
    {
        int uid = 0;
        QByteArray message;
        QByteArray value;
    };

    explicit NoiseSource(quint32 seed);

    // One piece of garbage: random bytes, a run of NULs, or an overlong line (kOverlongSize bytes without
    // a line end). Each piece ends with CR LF, so the reply after it still starts on a line of its own.
    QByteArray garbage();
    // Whether a piece of garbage goes out before the next reply line.
    bool garbageBeforeLine();
    // Pause until the next piece of garbage sent on its own.
    int garbageGapMs();

    // A well-formed report that nobody asked for, for one of the given units. Never a stuck stone: that
    // would make the console stop a unit and drop what arrives for half a second, which is not noise.
    Report floodReport(const QList<int> &uids);

private:
    int uniform(int lo, int hi);

    std::mt19937 m_rng;
};
