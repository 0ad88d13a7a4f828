#pragma once
// Tool tips for single lines of a log window: hovering a line shows the text kept for it, so a
// line can carry more than the log stores (why a copy failed) without changing the line.

#include <QHash>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QStringList>

class QPlainTextEdit;
class QWidget;

class LineTips : public QObject
{
    Q_OBJECT
public:
    // Installs itself on the log window's viewport; the log window owns it.
    explicit LineTips(QPlainTextEdit* log);

    // Lines are found by their text: a line of the same text shows the tip given last.
    void setTip(const QString& line, const QString& tip);
    QString tip(const QString& line) const;
    // The tip of the line at a point of the log window's viewport; empty for none.
    QString tipAt(const QPoint& viewportPos) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_log;
    QWidget* m_viewport;
    QHash<QString, QString> m_tips;
    QStringList m_order; // oldest first, so the oldest tips go first when there are too many
};
