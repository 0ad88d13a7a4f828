#pragma once
// A multi-line text control that is also a list of lines: the program keeps logs and bounded
// value lists in memos, several of them hidden. An added line is scrolled into view, also
// when the memo was hidden while it was added. The lines are held in a list; the text
// document follows it incrementally while the memo is visible and is rebuilt when a hidden
// memo is shown, so a hidden list costs no layout work.

#include <QPlainTextEdit>
#include <QStringList>

class TMemo : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QStringList Lines READ lines WRITE setLines)
    // Whether Enter starts a new line; when it does not, Enter goes on to the window and
    // Ctrl+Enter starts the new line.
    Q_PROPERTY(bool WantReturns READ WantReturns WRITE setWantReturns)
public:
    explicit TMemo(QWidget* parent = nullptr);

    int Count() const { return int(m_lines.size()); }
    QString Strings(int index) const { return m_lines.value(index); }
    const QStringList& lines() const { return m_lines; }
    void setLines(const QStringList& lines);

    void Add(const QString& line);
    void Delete(int index);
    // Removes the oldest lines until count remain (nothing when there are fewer).
    void KeepLast(int count);
    void Clear();

    bool WantReturns() const { return m_wantReturns; }
    void setWantReturns(bool want) { m_wantReturns = want; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void rebuildDocument();
    void showLastLine();
    void takeUserEdit();

    QStringList m_lines;
    bool m_documentStale = false;
    bool m_writing = false;
    bool m_wantReturns = true;
    // Lines were added since the lines were last set: the view follows the newest line.
    bool m_showEnd = false;
};
