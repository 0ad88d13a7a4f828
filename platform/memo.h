#pragma once
// A multi-line text control that is also a list of lines: the program keeps logs and bounded
// value lists in memos, several of them hidden. The lines are held in a list; the text
// document follows it incrementally while the memo is visible and is rebuilt when a hidden
// memo is shown, so a hidden list costs no layout work.

#include <QPlainTextEdit>
#include <QStringList>

class TMemo : public QPlainTextEdit
{
    Q_OBJECT
    Q_PROPERTY(QStringList Lines READ lines WRITE setLines)
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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void rebuildDocument();
    void takeUserEdit();

    QStringList m_lines;
    bool m_documentStale = false;
    bool m_writing = false;
};
