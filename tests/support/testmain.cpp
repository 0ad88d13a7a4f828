#include "support/testapp.h"
#include "support/testenv.h"

#include <gtest/gtest.h>

namespace testapp {
void install(TApplication& app);
}

int main(int argc, char** argv)
{
    testenv::prepare(argc, argv);
    TApplication app(argc, argv);
    app.setTitle(QStringLiteral("Tallowmere"));
    testapp::install(app);
    return RUN_ALL_TESTS();
}
