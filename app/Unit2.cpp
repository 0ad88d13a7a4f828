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
    bindControls(this);
    // A fixed dialog frame: title only, no system menu, no minimise or maximise button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    // Closing the main window ends the program also while this window is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    Button1->setFocus();
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
