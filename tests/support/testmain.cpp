#include "support/testapp.h"

#include <gtest/gtest.h>

namespace testapp {
void install(TApplication& app);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The stored windows are German; tests that need another language set it themselves.
    if (qEnvironmentVariableIsEmpty("TM_TEST_LOCALE"))
        qputenv("LC_ALL", "de_DE.UTF-8");
    else
        qputenv("LC_ALL", qgetenv("TM_TEST_LOCALE"));
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    testapp::install(app);
    return RUN_ALL_TESTS();
}
