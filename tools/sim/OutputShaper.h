#pragma once

#include "sim/NoiseSource.h"
#include "sim/SimOptions.h"

#include <QByteArray>
#include <QList>

// Turns each reply line into the pieces that go on the wire, with the faults asked for: garbage before
// it now and then, and the line cut in two with a pause between.
class OutputShaper
{
public:
    struct Chunk
    {
        QByteArray bytes;
        int pauseBeforeMs = 0; // wait this long after the previous chunk before writing this one
    };

    OutputShaper(const SimOptions &options, NoiseSource *noise);

    QList<Chunk> shape(const QByteArray &line);

private:
    bool m_split;
    int m_splitMs;
    bool m_garbage;
    NoiseSource *m_noise;
};
