// main() of the test programs below the windows: Qt's own application object of the kind the
// program needs (TM_TEST_APPLICATION: QCoreApplication, QGuiApplication or QApplication).

#include "support/testenv.h"

#define TM_HEADER_NAME(name) #name
#define TM_HEADER(name) TM_HEADER_NAME(name)
#include TM_HEADER(TM_TEST_APPLICATION)

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    testenv::prepare(argc, argv);
    TM_TEST_APPLICATION app(argc, argv);
    return RUN_ALL_TESTS();
}
