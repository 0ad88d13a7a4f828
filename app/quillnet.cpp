#include "platform/application.h"

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    return 0;
}
