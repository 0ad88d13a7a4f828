// Copies over a link of 0.5 Mbit/s: slow, but moving, so every size is measured. They take
// about 1.6 s, 17 s and 84 s.

#include "copyfixture.h"
#include "platform/copy/filecopy.h"
#include "smbbed.h"

#include "support/filebytes.h"

#include <gtest/gtest.h>

using namespace filecopy;

TEST_F(SmbCopy, EverySizeCrossesAHalfMegabitLink)
{
    smbbed::LinkScope link(QStringLiteral("0.5mbit"));
    ASSERT_TRUE(link.ok()) << link.reason().toStdString();
    for (int i = 0; i < 3; ++i) {
        const QString name = QString::fromLatin1(testfiles::kTestFiles[size_t(i)].name);
        QString reason;
        ASSERT_TRUE(copyToDestination(source(i), writable(name), &reason))
            << name.toStdString() << ": " << reason.toStdString();
        EXPECT_EQ(testapp::fileBytes(shared(name)), testapp::fileBytes(source(i)));
        EXPECT_TRUE(deleteDestination(writable(name), &reason)) << reason.toStdString();
    }
}
