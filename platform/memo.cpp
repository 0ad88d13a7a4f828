#include "platform/memo.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// Scroll bars whose thumb is a raised block on a dotted track. In the default style the
// thumb is the lighter part and the empty track the darker one, so a log scrolled to its end
// seems to have its thumb at the top.
QStyle* classicScrollBarStyle()
{
    static QPointer<QStyle> style;
    if (!style) {
        style = QStyleFactory::create(QStringLiteral("Windows"));
        if (style)
            style->setParent(qApp);
    }
    return style;
}

} // namespace

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);
    // A log that grows moves its scroll bars at every line: painted opaque, they spare the
    // window behind them a repaint each time.
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setAutoFillBackground(true);
        if (QStyle* style = classicScrollBarStyle())
            bar->setStyle(style);
    }
    // The operator may edit a memo; its lines then follow what was typed.
    connect(this, &QPlainTextEdit::textChanged, this, &TMemo::takeUserEdit);
}

void TMemo::takeUserEdit()
{
    if (m_writing)
        return;
    const QString text = toPlainText();
    m_lines = text.isEmpty() ? QStringList() : text.split(u'\n');
}

void TMemo::setLines(const QStringList& lines)
{
    m_lines = lines;
    m_showEnd = false;
    rebuildDocument();
}

void TMemo::showLastLine()
{
    // Where an added line leaves the caret: at the start of the line after it, so the view
    // shows the newest line from its left end.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::StartOfBlock);
    setTextCursor(cursor);
    ensureCursorVisible();
    // The last line whole, not cut at the bottom edge.
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TMemo::rebuildDocument()
{
    if (!isVisible()) {
        m_documentStale = true;
        return;
    }
    m_writing = true;
    setPlainText(m_lines.join(u'\n'));
    m_writing = false;
    m_documentStale = false;
    if (m_showEnd)
        showLastLine();
}

void TMemo::Add(const QString& line)
{
    m_lines.append(line);
    m_showEnd = true;
    if (!isVisible() || m_documentStale) {
        m_documentStale = true;
        return;
    }
    m_writing = true;
    if (m_lines.size() == 1)
        setPlainText(line);
    else
        appendPlainText(line);
    m_writing = false;
    showLastLine();
}

void TMemo::Delete(int index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    m_lines.removeAt(index);
    if (!isVisible() || m_documentStale || m_lines.isEmpty()) {
        rebuildDocument();
        return;
    }
    m_writing = true;
    QTextCursor cursor(document()->findBlockByNumber(index));
    cursor.select(QTextCursor::BlockUnderCursor);
    if (index == 0) {
        // The first block has no separator before it: take the one after it.
        cursor.movePosition(QTextCursor::StartOfBlock);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    }
    cursor.removeSelectedText();
    m_writing = false;
}

void TMemo::KeepLast(int count)
{
    const int excess = int(m_lines.size()) - count;
    if (excess <= 0)
        return;
    m_lines.remove(0, excess);
    if (!isVisible() || m_documentStale || m_lines.isEmpty()) {
        rebuildDocument();
        return;
    }
    m_writing = true;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, excess);
    cursor.removeSelectedText();
    m_writing = false;
}

void TMemo::Clear()
{
    m_lines.clear();
    m_showEnd = false;
    rebuildDocument();
}

void TMemo::showEvent(QShowEvent* event)
{
    QPlainTextEdit::showEvent(event);
    if (m_documentStale)
        rebuildDocument();
}

void TMemo::keyPressEvent(QKeyEvent* event)
{
    // Ctrl+Enter always starts a new line; Enter only where the memo wants it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (event->modifiers() & Qt::ControlModifier) {
            insertPlainText(QStringLiteral("\n"));
            return;
        }
        if (!m_wantReturns) {
            event->ignore();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}
