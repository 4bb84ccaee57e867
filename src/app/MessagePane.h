#pragma once

#include <QPlainTextEdit>
#include <QStringList>

// The message pane: the newest text on top. Text is put in front of what is there, never by rewriting the
// whole text; texts that arrive within one pass of the event loop are joined and inserted in one go. The
// pane keeps the newest MaxLines lines; older (bottom) lines are dropped, the log keeps everything.
class MessagePane : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 10000;

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

private:
    QStringList m_waiting; // oldest first
    qsizetype m_waitingLines = 0;
    bool m_flushQueued = false;
};
