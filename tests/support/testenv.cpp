#include "support/testenv.h"

#include <QByteArray>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace testenv {

void prepare(int& argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The stored windows are German; tests that need another language set it themselves.
    if (qEnvironmentVariableIsEmpty("TM_TEST_LOCALE"))
        qputenv("LC_ALL", "de_DE.UTF-8");
    else
        qputenv("LC_ALL", qgetenv("TM_TEST_LOCALE"));
    ::testing::InitGoogleTest(&argc, argv);
}

} // namespace testenv
