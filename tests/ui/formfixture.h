#pragma once
// A main window of its own for every test, with its files in a fresh temporary folder.

#include "app/vamtp.h"
#include "platform/application.h"
#include "platform/programdir.h"
#include "support/testapp.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <memory>

// Which of two stacked controls is seen: the later sibling lies on top.
inline bool inFrontOf(QWidget* a, QWidget* b)
{
    const auto siblings = a->parentWidget()->children();
    return siblings.indexOf(a) > siblings.indexOf(b);
}

class FormTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        programdir::setDataFolderOverride(m_dir.path());
        testapp::clearRecorded();
        TApplication::instance()->clearTerminated();
    }
    void TearDown() override
    {
        m_form.reset();
        programdir::setDataFolderOverride(QString());
        TApplication::instance()->setBusyCursor(false);
    }

    TForm1& form()
    {
        if (!m_form) {
            m_form = std::make_unique<TForm1>();
            m_form->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        }
        return *m_form;
    }
    void recreateForm()
    {
        m_form.reset();
        form();
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QByteArray fileBytes(const QString& name) const { return testapp::fileBytes(path(name)); }
    void writeFile(const QString& name, const QByteArray& data) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TForm1> m_form;
};
