#pragma once
// A pretend program folder for every test: the program file, the modules beside it and the
// user's locale are the test's to choose. The windows are built while the user is German and
// the folder holds no German module, so their own start-up changes nothing; the test then
// runs the language step itself.

#include "app/Unit2.h"
#include "app/vamtp.h"
#include "support/testapp.h"

#include <QByteArray>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

class LangTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // LC_ALL as given; LC_MESSAGES and LANG unset. An empty name unsets LC_ALL too.
    static void setLocale(const QByteArray& name);
    // Pretends the program file is <folder>/name.
    void pretendProgram(const QString& name);
    QString programFolder() const { return m_program.path(); }
    // Copies the built English module beside the pretend program under name.
    void placeModule(const QString& name);
    void placeFile(const QString& name, const QByteArray& data);
    // Builds a module from named entries with the resource compiler; false when that fails.
    bool buildModule(const QString& name, const QMap<QString, QByteArray>& entries);

    TForm1& form1();
    TForm2& form2();
    // The language step after the main window exists, under locale.
    void startUp(const QByteArray& locale);

    // Texts the plain message box received.
    static QStringList messages();
    // Texts the error handler received.
    static QStringList errors();

    // A fake xdg-open on PATH (and nothing else there): it appends its argument to a file and
    // exits with status; a gated one first waits for releaseXdgOpen().
    void fakeXdgOpen(int status, bool gated = false);
    void releaseXdgOpen();
    // Waits until every xdg-open started has ended and its verdict is handled.
    static bool waitForOpens();
    void noXdgOpen();
    QStringList opened() const;

    static QByteArray englishEntry(const QString& alias);
    static QByteArray builtInFile(const QString& relative);

    std::unique_ptr<TForm1> m_form1;
    std::unique_ptr<TForm2> m_form2;

private:
    QTemporaryDir m_data;
    QTemporaryDir m_program;
    QTemporaryDir m_bin;
    QMap<QByteArray, QByteArray> m_savedEnv;
};

// The English module's expected main window caption.
inline const char* const kEnglishCaption = "Tallowmere by Vornhart";
inline const char* const kGermanCaption = "Tallowmere von Vornhart";
inline const char* const kMissingModuleMessage =
    "English version of Quillnet not found. Please copy 'quillnet.enu' from original Quillnet "
    "archive into current program directory!";
