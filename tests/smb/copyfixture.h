#pragma once
// The test files in a temporary folder, and the bed's writable share to copy them to.

#include "app/testfiles.h"
#include "smbbed.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class SmbCopy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TM_REQUIRE_SMBBED();
        ASSERT_TRUE(m_dir.isValid());
        testfiles::writeTestFiles(m_dir.path());
    }
    // 0: 100 KB, 1: 1 MB, 2: 5 MB
    QString source(int index) const
    {
        return m_dir.filePath(QString::fromLatin1(testfiles::kTestFiles[size_t(index)].name));
    }
    static qint64 sizeOf(int index) { return testfiles::kTestFiles[size_t(index)].sizeBytes; }
    // The file behind the writable share, as the server stores it.
    static QString shared(const QString& name) { return smbbed::bed().writableDir + u'/' + name; }
    static QString writable(const QString& name)
    {
        return smbbed::uncFolder(smbbed::bed().writableShare) + name;
    }

    QTemporaryDir m_dir;
};
