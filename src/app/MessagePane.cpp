#include "app/MessagePane.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QWheelEvent>

namespace {

// What the pane shows of a text: line ends become line breaks, other control characters blanks.
QString displayText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r') {
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                continue; // the LF that follows makes the break
            out.append(u'\n');
        } else if (c == u'\n' || c == u'\t') {
            out.append(c);
        } else if (c.unicode() < 0x20 || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            out.append(u' ');
        } else {
            out.append(c);
        }
    }
    return out;
}

// The text with every line cut to at most maxLength characters (keeping each line's start).
QString cutLongLines(const QString &text, qsizetype maxLength)
{
    QString out;
    out.reserve(text.size());
    qsizetype lineLength = 0;
    for (const QChar c : text) {
        if (c == u'\n') {
            lineLength = 0;
        } else if (++lineLength > maxLength) {
            continue;
        }
        out.append(c);
    }
    return out;
}

} // namespace

MessagePane::MessagePane(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setReadOnly(true);
    setUndoRedoEnabled(false);
    // Long answers wrap at the pane's width, as in a multi-line text box; nothing scrolls sideways.
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void MessagePane::setZoom(int steps)
{
    m_zoom = qBound(MinZoom, steps, MaxZoom);
    applySize();
}

void MessagePane::setScale(double scale)
{
    if (scale > 0) {
        m_scale = scale;
        applySize();
    }
}

void MessagePane::applySize()
{
    if (m_basePoints <= 0)
        m_basePoints = font().pointSizeF();
    QFont f = font();
    f.setPointSizeF(qMax(1.0, m_basePoints * m_scale + m_zoom));
    setFont(f);
}

void MessagePane::zoomTo(int steps)
{
    const int before = m_zoom;
    setZoom(steps);
    if (m_zoom != before)
        emit zoomChanged(m_zoom);
}

void MessagePane::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal: zoomTo(m_zoom + 1); return;
        case Qt::Key_Minus: zoomTo(m_zoom - 1); return;
        case Qt::Key_0: zoomTo(0); return;
        default: break;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MessagePane::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QPlainTextEdit::wheelEvent(event);
        return;
    }
    const int delta = event->angleDelta().y();
    if (delta != 0)
        zoomTo(m_zoom + (delta > 0 ? 1 : -1));
    event->accept();
}

void MessagePane::prepend(const QString &text)
{
    const QString shown = displayText(text);
    m_waiting.append(shown);
    m_waitingLines += shown.count(u'\n');
    // Only the newest lines can stay in the pane: older waiting texts need never be inserted.
    while (m_waiting.size() > 1 && m_waitingLines - m_waiting.front().count(u'\n') > MaxLines) {
        m_waitingLines -= m_waiting.front().count(u'\n');
        m_waiting.removeFirst();
    }
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &MessagePane::flush);
    }
}

void MessagePane::flush()
{
    m_flushQueued = false;
    if (m_waiting.isEmpty())
        return;
    QString joined;
    qsizetype total = 0;
    for (const QString &s : std::as_const(m_waiting))
        total += s.size();
    joined.reserve(total);
    for (auto it = m_waiting.crbegin(); it != m_waiting.crend(); ++it)
        joined.append(*it);
    m_waiting.clear();
    m_waitingLines = 0;

    QTextDocument *doc = document();
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(cutLongLines(joined, MaxLineLength));
    // The text's first line ran into the old top line: cut the joined line's older end.
    if (const QTextBlock top = doc->firstBlock(); top.length() - 1 > MaxLineLength) {
        cursor.setPosition(top.position() + MaxLineLength);
        cursor.setPosition(top.position() + top.length() - 1, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    // Drop the bottom lines beyond the line and character bounds.
    QTextBlock firstDropped;
    if (doc->blockCount() > MaxLines)
        firstDropped = doc->findBlockByNumber(MaxLines);
    if (doc->characterCount() > MaxCharacters) {
        const QTextBlock over = doc->findBlock(MaxCharacters);
        if (over.isValid() && over.blockNumber() > 0 && (!firstDropped.isValid() || over < firstDropped))
            firstDropped = over;
    }
    if (firstDropped.isValid()) {
        cursor.setPosition(firstDropped.position() - 1);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
}

void MessagePane::clearOut()
{
    m_waiting.clear();
    m_waitingLines = 0;
    clear();
}

QString MessagePane::text()
{
    flush();
    return toPlainText();
}

int MessagePane::lineCount()
{
    flush();
    return document()->blockCount();
}
