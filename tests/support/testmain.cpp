#include "support/testapp.h"

#include <gtest/gtest.h>

namespace testapp {
void install(TApplication& app);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    testapp::install(app);
    return RUN_ALL_TESTS();
}
