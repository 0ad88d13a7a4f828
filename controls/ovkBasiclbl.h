#pragma once
// TovkBasicLabel: a text label that takes its focus colour while the mouse pointer is over it
// and reports the pointer's entering and leaving. The colour it returns to is the last font
// colour set that was not the focus colour, so lighting up never overwrites it.
//
// Colours are 0x00BBGGRR values (platform/colorref.h); the font colour is the label's text colour
// (a stored description sets it with "textColor").

#include "platform/colorref.h"

#include <QLabel>

class TovkBasicLabel : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(quint32 FocusColor READ FocusColor WRITE setFocusColor)
    Q_PROPERTY(quint32 FontColor READ FontColor WRITE setFontColor)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE setShowHint)
public:
    explicit TovkBasicLabel(QWidget* parent = nullptr);

    quint32 FocusColor() const { return m_focusColor; }
    void setFocusColor(quint32 color) { m_focusColor = color; }
    quint32 FontColor() const;
    void setFontColor(quint32 color);
    // The colour the label returns to when the pointer leaves.
    quint32 savedColor() const { return m_savedColor; }
    // Whether the tooltip (the hint) is shown; off unless asked for.
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool show) { m_showHint = show; }

    // Called by the form reader once the stored description has been read.
    Q_INVOKABLE virtual void Loaded();

Q_SIGNALS:
    void OnMouseEnter();
    void OnMouseLeave();
    void OnMouseUp();

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    quint32 m_focusColor = colorref::clRed;
    quint32 m_savedColor = 0;
    bool m_showHint = false;
};
