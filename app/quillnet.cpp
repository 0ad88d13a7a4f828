// Program entry: the application object, the main window, the About window, the message loop.

#include "app/Unit2.h"
#include "app/vamtp.h"
#include "net/PingThrd.h"
#include "platform/application.h"

#include <QTimer>

#include <memory>

namespace {

// Without a display the program can still show itself: started on a virtual display with
// TALLOWMERE_SCREENSHOT=<file>, it writes a picture of its window there and ends.
void scheduleScreenshot(TForm1* form, const QString& file)
{
    QTimer::singleShot(1500, form, [form, file] {
        const bool saved = form->grab().save(file, "PNG");
        fprintf(saved ? stdout : stderr, saved ? "Screenshot written to %s\n" : "Cannot write %s\n",
                qPrintable(file));
        TApplication::instance()->Terminate();
    });
}

} // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));

    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    app.guarded([&] {
        form1 = std::make_unique<TForm1>();
        form1->show();
        // Read from the installed language module when there is one; hidden until called up.
        form2 = std::make_unique<TForm2>();
    });
    if (!form1 || !form2)
        return 1;
    if (const QString shot = qEnvironmentVariable("TALLOWMERE_SCREENSHOT"); !shot.isEmpty())
        scheduleScreenshot(form1.get(), shot);

    const int rc = app.exec();
    // Workers still waiting for a reply stop now; none completes into a destroyed window.
    stopAllWorkers();
    form2.reset();
    form1.reset();
    return rc;
}
