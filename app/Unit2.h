#pragma once
// The About window: product, program file, version and maker, a mail link for bug reports
// and a link to the product's web site. Created once after the main window and kept until
// the end; showing it again shows the same window. Its controls and texts come from the
// window description TForm2, read from the installed language module when there is one.

#include "TForm2Glue.h"
#include "lang/reinit.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;
class TovkWebLabel;

class TForm2 : public QDialog, public ReloadableForm, public TForm2Glue
{
    Q_OBJECT
public:
    // Throws EResourceError ("Resource TForm2 not found" from a module without it, or what
    // does not fit in the description).
    explicit TForm2(QWidget* parent = nullptr);

    void Button1Click(QObject* Sender);

    HandlerTable handlerTable() override { return descriptionHandlers(this); }

protected:
    void showEvent(QShowEvent* event) override;
};

// The About window the program entry created (the first one), or nullptr when there is none;
// the main window's help commands reach it through this.
TForm2* aboutWindow();
// "&About..." of the main window's help menu: the About window shown, not modal, in front.
void showAboutWindow(TForm2& form);
// The home-page command: the product site, "http://" + Link of ovkWebLabel1, whatever the
// label's link type. Returns at once; a refusal is shown by the error handler as
// "ShellExecute "<Link>" Failed with Error: <code>" (thrown as TmError when xdg-open cannot
// even start).
void openProductHomePage(const TForm2& form);
