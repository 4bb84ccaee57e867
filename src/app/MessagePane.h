#pragma once

#include <QPlainTextEdit>
#include <QStringList>

// The message pane: the newest text on top. Text is put in front of what is there, never by rewriting the
// whole text; texts that arrive within one pass of the event loop are joined and inserted in one go. The
// pane keeps the newest MaxLines lines and MaxCharacters characters; older (bottom) lines are dropped, and
// a line longer than MaxLineLength shows its newest (leading) part only. The log keeps everything.
class MessagePane : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 10000;
    // In mode F the answers of one command run together on one line, the newest first; a line no one can
    // read is cut so that laying it out stays cheap.
    static constexpr int MaxLineLength = 16384;
    static constexpr int MaxCharacters = 4000000;

    explicit MessagePane(QWidget *parent = nullptr);

    // Puts text in front of the pane's text. CR LF and LF both start a new line.
    void prepend(const QString &text);
    // Empties the pane.
    void clearOut();
    // The pane's text, lines joined by "\n".
    QString text();
    int lineCount();

    // Inserts what is waiting now (it is also done on the next pass of the event loop).
    void flush();

    // The text's zoom, in points above (or below) the pane's own size; kept within MinZoom to MaxZoom.
    // Ctrl+plus, Ctrl+minus, Ctrl+0 and Ctrl+wheel change it, and say so through zoomChanged.
    static constexpr int MinZoom = -4;
    static constexpr int MaxZoom = 24;
    void setZoom(int steps);
    int zoom() const { return m_zoom; }
    // The window's scale, applied to the pane's own size before the zoom.
    void setScale(double scale);

signals:
    void zoomChanged(int steps);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void zoomTo(int steps);
    void applySize();

    double m_basePoints = 0; // the size the pane was given, before any zoom
    int m_zoom = 0;
    double m_scale = 1.0;
    QStringList m_waiting; // oldest first
    qsizetype m_waitingLines = 0;
    bool m_flushQueued = false;
};
