#pragma once
// TovkWebLabel: a label that looks like a hyperlink and opens its link through the desktop
// when a mouse button is released over it. The address is the prefix of LinkType followed by
// Link; a failure is reported as "ShellExecute "<Link>" Failed with Error: <code>".

#include "controls/ovkBasiclbl.h"

class QCursor;

class TovkWebLabel : public TovkBasicLabel
{
    Q_OBJECT
public:
    // Stored in one byte, ordinals as the stored descriptions expect.
    enum TURLType : quint8
    {
        lnFile,
        lnFtp,
        lnGopher,
        lnHttp,
        lnHttps,
        lnMailto,
        lnNews,
        lnTelnet,
        lnWais
    };
    Q_ENUM(TURLType)
    Q_PROPERTY(QString Link READ Link WRITE setLink)
    Q_PROPERTY(TURLType LinkType READ LinkType WRITE setLinkType)

    static const char* const kDefaultLink;

    explicit TovkWebLabel(QWidget* parent = nullptr);

    QString Link() const { return m_link; }
    void setLink(const QString& link) { m_link = link; }
    TURLType LinkType() const { return m_linkType; }
    void setLinkType(TURLType type);

    // The scheme prefix of a link type ("http://", "mailto:"), empty for a value outside them.
    static QString prefix(TURLType type);
    QString address() const { return prefix(m_linkType) + m_link; }
    // Opens the address without waiting; a refusal is shown by the error handler, naming Link
    // (thrown as TmError when xdg-open cannot even start).
    void OpenLink() const;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString m_link;
    TURLType m_linkType = lnHttp;
};

// Makes the label classes known to the form reader and installs the hand cursor.
void registerLabelClasses();

// The program's own pointing hand ("WEB_HAND"). Once installed it replaces the hand-point
// cursor everywhere in the program: every widget that is given Qt::PointingHandCursor shows
// this image instead.
void installWebHandCursor();
const QCursor& webHandCursor();
