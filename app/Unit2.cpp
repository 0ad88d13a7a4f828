#include "app/Unit2.h"

#include "controls/ovkWebLabel.h"
#include "platform/errors.h"
#include "platform/resources.h"
#include "platform/shell.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextEdit>

namespace {

template <class T> T* control(QWidget* form, const char* name)
{
    T* c = form->findChild<T*>(QString::fromLatin1(name));
    if (!c)
        throw EResourceError(
            QStringLiteral("TForm2: control '%1' is missing").arg(QLatin1String(name)));
    return c;
}

// The window the About window is centred on: its owner, else the program's main window.
QWidget* mainWindowOf(const QWidget* form)
{
    if (form->parentWidget())
        return form->parentWidget()->window();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return w;
    }
    return nullptr;
}

} // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent)
{
    registerLabelClasses();
    FormReader::read(
        this, resources::windowDescription(QStringLiteral("TForm2")),
        resources::descriptionOrigin(resources::installedModule(), QStringLiteral("TForm2")),
        FormReader::Mode::Create, handlerTable());
    Panel1 = control<QLabel>(this, "Panel1");
    RichEdit1 = control<QTextEdit>(this, "RichEdit1");
    Label1 = control<QLabel>(this, "Label1");
    ovkWebLabel2 = control<TovkWebLabel>(this, "ovkWebLabel2");
    Label2 = control<QLabel>(this, "Label2");
    ovkWebLabel1 = control<TovkWebLabel>(this, "ovkWebLabel1");
    Button1 = control<QPushButton>(this, "Button1");
    // A fixed dialog frame: title only, no system menu, no minimise or maximise button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // Closing the main window ends the program also while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    Button1->setFocus();
}

HandlerTable TForm2::handlerTable()
{
    HandlerTable h;
    h.add(QStringLiteral("Button1Click"), this, &TForm2::Button1Click);
    return h;
}

void TForm2::Button1Click(QObject*)
{
    close();
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    const QWidget* main = mainWindowOf(this);
    const QRect area = main ? main->frameGeometry() : screen()->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft());
}

TForm2* aboutWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* about = qobject_cast<TForm2*>(w))
            return about;
    }
    return nullptr;
}

void showAboutWindow(TForm2& form)
{
    form.setWindowTitle(QStringLiteral("About"));
    form.RichEdit1->setVisible(true);
    form.show();
    form.raise();
    form.activateWindow();
}

void openProductHomePage(const TForm2& form)
{
    const QString link = form.ovkWebLabel1->Link();
    shell::open(QStringLiteral("http://") + link, link);
}
