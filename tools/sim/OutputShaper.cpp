#include "sim/OutputShaper.h"

OutputShaper::OutputShaper(const SimOptions &options, NoiseSource *noise)
    : m_split(options.split)
    , m_splitMs(options.splitMs)
    , m_garbage(options.garbage)
    , m_noise(noise)
{}

QList<OutputShaper::Chunk> OutputShaper::shape(const QByteArray &line)
{
    QList<Chunk> chunks;
    if (m_garbage && m_noise->garbageBeforeLine())
        chunks.append(Chunk{m_noise->garbage(), 0});
    if (m_split && line.size() >= 2) {
        // The cut falls inside the text, never between CR and LF alone, so a reader that takes what has
        // arrived as a batch sees half a line.
        const qsizetype half = line.size() / 2;
        chunks.append(Chunk{line.left(half), 0});
        chunks.append(Chunk{line.mid(half), m_splitMs});
    } else {
        chunks.append(Chunk{line, 0});
    }
    return chunks;
}
