#pragma once

#include "sim/LineSplitter.h"
#include "sim/NoiseSource.h"
#include "sim/OutputShaper.h"
#include "sim/PtyLink.h"
#include "sim/SimController.h"
#include "sim/SimOptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <deque>

class QSocketNotifier;

// The event-loop shell around SimController: reads the pseudo-terminal, hands complete lines to the
// controller, and writes its replies (with the requested faults) back in order.
class SimRunner : public QObject
{
public:
    explicit SimRunner(const SimOptions &options, QObject *parent = nullptr);
    ~SimRunner() override;

    bool start(QString *error);
    void shutdown();
    // A stone sticks in the first unit: its stuck-stone report goes out now, whatever the unit was doing.
    void jam();

    QString linkPath() const { return m_pty.linkPath(); }
    QString slavePath() const { return m_pty.slavePath(); }

private:
    qint64 now() const { return m_clock.elapsed(); }
    void onReadable();
    void pump();
    void enqueueLine(const QByteArray &line);
    void enqueue(const OutputShaper::Chunk &chunk);
    void writeSome();
    void floodTick();
    void garbageTick();

    SimOptions m_options;
    PtyLink m_pty;
    SimController m_controller;
    NoiseSource m_noise;
    OutputShaper m_shaper;
    LineSplitter m_splitter;
    QElapsedTimer m_clock;
    QFile m_trace;

    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer m_dueTimer;
    QTimer m_pauseTimer;
    QTimer m_readRetryTimer;
    QTimer m_writeRetryTimer;
    QTimer m_floodTimer;
    QTimer m_garbageTimer;

    std::deque<OutputShaper::Chunk> m_out;
    QByteArray m_writing;
    qsizetype m_queuedBytes = 0;
    bool m_pauseDone = false;
    qint64 m_droppedBytes = 0;
    qint64 m_floodSent = 0;
    qint64 m_floodStartMs = 0;
};
