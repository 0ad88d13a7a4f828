#include "platform/memo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

TMemo::TMemo(QWidget* parent) : QPlainTextEdit(parent)
{
    setUndoRedoEnabled(false);
    // A log that grows moves its scroll bars at every line: painted opaque, they spare the
    // window behind them a repaint each time.
    for (QWidget* w : {static_cast<QWidget*>(horizontalScrollBar()), static_cast<QWidget*>(verticalScrollBar())})
        w->setAutoFillBackground(true);
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
    rebuildDocument();
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
}

void TMemo::Add(const QString& line)
{
    m_lines.append(line);
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
    rebuildDocument();
}

void TMemo::showEvent(QShowEvent* event)
{
    if (m_documentStale)
        rebuildDocument();
    QPlainTextEdit::showEvent(event);
}
