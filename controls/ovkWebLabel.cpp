#include "controls/ovkWebLabel.h"

#include "platform/application.h"

#include "platform/formreader.h"
#include "platform/shell.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QPointer>

static void initCursorResources()
{
    Q_INIT_RESOURCE(cursors);
}

const char* const TovkWebLabel::kDefaultLink = "www.brimvale.example";

namespace {

// Gives every widget that asks for the hand-point cursor the program's own image instead.
class HandCursorFilter : public QObject
{
public:
    explicit HandCursorFilter(QObject* parent) : QObject(parent)
    {
        initCursorResources();
        QPixmap image;
        image.load(QStringLiteral(":/tallowmere/cursors/WEB_HAND"), "XPM");
        // The hot spot is the fingertip, as the image's header says.
        m_cursor = image.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(image, 5, 0);
    }

    const QCursor& cursor() const { return m_cursor; }

    void replace(QWidget* w) const
    {
        if (w->testAttribute(Qt::WA_SetCursor) && w->cursor().shape() == Qt::PointingHandCursor)
            w->setCursor(m_cursor);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Setting the image sends CursorChange again, with a bitmap shape: no loop.
        if (event->type() == QEvent::CursorChange && watched->isWidgetType())
            replace(static_cast<QWidget*>(watched));
        return false;
    }

private:
    QCursor m_cursor;
};

// One per application object; tests may create more than one application in turn.
QPointer<HandCursorFilter>& handFilter()
{
    static QPointer<HandCursorFilter> filter;
    return filter;
}

} // namespace

TovkWebLabel::TovkWebLabel(QWidget* parent) : TovkBasicLabel(parent)
{
    installWebHandCursor();
    m_link = QString::fromLatin1(kDefaultLink);
    setToolTip(QStringLiteral("Brimvale site"));
    setShowHint(true);
    setText(m_link);
    setFontColor(colorref::clNavy);
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setCursor(Qt::PointingHandCursor);
    m_linkType = lnHttp;
}

void TovkWebLabel::setLinkType(TURLType type)
{
    if (type != m_linkType)
        m_linkType = type;
}

QString TovkWebLabel::prefix(TURLType type)
{
    switch (type) {
    case lnFile:
        return QStringLiteral("file://");
    case lnFtp:
        return QStringLiteral("ftp://");
    case lnGopher:
        return QStringLiteral("gopher://");
    case lnHttp:
        return QStringLiteral("http://");
    case lnHttps:
        return QStringLiteral("https://");
    case lnMailto:
        return QStringLiteral("mailto:");
    case lnNews:
        return QStringLiteral("news:");
    case lnTelnet:
        return QStringLiteral("telnet:");
    case lnWais:
        return QStringLiteral("wais:");
    }
    return {};
}

void TovkWebLabel::OpenLink() const
{
    shell::open(address(), m_link);
}

void TovkWebLabel::mouseReleaseEvent(QMouseEvent* event)
{
    TovkBasicLabel::mouseReleaseEvent(event);
    // Any button; a press that is dragged off the label and let go elsewhere opens nothing.
    if (!rect().contains(event->position().toPoint()))
        return;
    // A refused open is reported here: an exception must not unwind through Qt's event code.
    if (auto* app = TApplication::instance())
        app->guarded([this] { OpenLink(); });
    else
        OpenLink();
}

void installWebHandCursor()
{
    if (handFilter() || !qApp)
        return;
    auto* filter = new HandCursorFilter(qApp);
    handFilter() = filter;
    qApp->installEventFilter(filter);
    for (QWidget* w : QApplication::allWidgets())
        filter->replace(w);
}

const QCursor& webHandCursor()
{
    installWebHandCursor();
    return handFilter()->cursor();
}

void registerLabelClasses()
{
    FormReader::registerClass(QStringLiteral("TovkBasicLabel"), [](QWidget* parent) -> QObject* {
        return new TovkBasicLabel(parent);
    });
    FormReader::registerClass(QStringLiteral("TovkWebLabel"),
                              [](QWidget* parent) -> QObject* { return new TovkWebLabel(parent); });
    installWebHandCursor();
}
