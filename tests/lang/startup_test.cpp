// The language step at start-up: which module is looked for under which user language, what
// is found beside which program file, and when the missing English module is reported.

#include "langfixture.h"

#include "platform/conv.h"
#include "platform/errors.h"
#include "platform/resources.h"
#include "support/logcapture.h"

#include <QDir>
#include <QLabel>

namespace {

struct StartCase
{
    const char* name;
    const char* locale;
    const char* program;
    std::vector<const char*> modules; // copies of the English module beside the program
    bool english;
    bool message;
};

void PrintTo(const StartCase& c, std::ostream* os)
{
    *os << c.name;
}

class StartUp : public LangTest, public ::testing::WithParamInterface<StartCase>
{
};

TEST_P(StartUp, ChoosesTheModuleAndReportsAMissingEnglishOne)
{
    const StartCase& c = GetParam();
    pretendProgram(QString::fromLatin1(c.program));
    for (const char* m : c.modules)
        placeModule(QString::fromLatin1(m));
    startUp(c.locale);
    EXPECT_EQ(form1().windowTitle(),
              QString::fromLatin1(c.english ? kEnglishCaption : kGermanCaption));
    EXPECT_EQ(form1().Label20->text(), QString::fromUtf8(c.english ? "Host name or IP address:"
                                                                   : "Hostname oder IP Adresse:"));
    EXPECT_EQ(resources::installedModule() != nullptr, c.english);
    if (c.message)
        EXPECT_EQ(messages(), QStringList{QString::fromLatin1(kMissingModuleMessage)});
    else
        EXPECT_TRUE(messages().isEmpty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(errors().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Locales, StartUp,
    ::testing::Values(
        StartCase{"GermanNoModule", "de_DE.UTF-8", "quillnet", {}, false, false},
        StartCase{"GermanEnglishModuleIgnored",
                  "de_DE.UTF-8",
                  "quillnet",
                  {"quillnet.enu"},
                  false,
                  false},
        StartCase{"AustriaNoModule", "de_AT.UTF-8", "quillnet", {}, false, false},
        StartCase{
            "AustriaEnglishModuleIgnored", "de_AT", "quillnet", {"quillnet.enu"}, false, false},
        StartCase{"SwissNoModule", "de_CH.UTF-8", "quillnet", {}, false, false},
        StartCase{
            "SwissEnglishModuleIgnored", "de_CH.UTF-8", "quillnet", {"quillnet.enu"}, false, false},
        StartCase{"LiechtensteinNoModule", "de_LI.UTF-8", "quillnet", {}, false, false},
        StartCase{"LuxembourgNoModule", "de_LU.UTF-8", "quillnet", {}, false, false},
        StartCase{"BelgianGermanIsNotGerman", "de_BE.UTF-8", "quillnet", {}, false, true},
        StartCase{"USNoModule", "en_US.UTF-8", "quillnet", {}, false, true},
        StartCase{"USModule", "en_US.UTF-8", "quillnet", {"quillnet.enu"}, true, false},
        StartCase{"USModuleUpperCase", "en_US.UTF-8", "quillnet", {"Quillnet.ENU"}, true, false},
        StartCase{"USTwoLetterModule", "en_US.UTF-8", "quillnet", {"quillnet.EN"}, true, true},
        StartCase{"FrenchNoModule", "fr_FR.UTF-8", "quillnet", {}, false, true},
        StartCase{"FrenchModule", "fr_FR.UTF-8", "quillnet", {"quillnet.enu"}, true, false},
        StartCase{"CLocaleIsEnglish", "C", "quillnet", {"quillnet.enu"}, true, false},
        StartCase{"OtherNameOwnModule", "en_US.UTF-8", "netmon", {"netmon.ENU"}, true, true},
        StartCase{"OtherNameTwoLetters", "fr_FR.UTF-8", "netmon", {"NETMON.en"}, true, true},
        StartCase{
            "OtherNameQuillnetModuleOnly", "en_US.UTF-8", "netmon", {"quillnet.enu"}, false, false},
        StartCase{
            "OtherNameBoth", "en_US.UTF-8", "netmon", {"netmon.enu", "quillnet.enu"}, true, false},
        StartCase{
            "ProgramWithExtension", "en_US.UTF-8", "quillnet.bin", {"quillnet.ENU"}, true, false}),
    [](const ::testing::TestParamInfo<StartCase>& testCase) {
        return std::string(testCase.param.name);
    });

TEST_F(LangTest, GermanModuleIsLoadedForEveryGermanLanguage)
{
    // Any module works as the German one; the English files stand in for it here.
    for (const char* locale : {"de_DE.UTF-8", "de_AT.UTF-8", "de_LI", "de_LU", "de_CH"}) {
        SCOPED_TRACE(locale);
        placeModule(QStringLiteral("quillnet.de"));
        startUp(locale);
        EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kEnglishCaption));
        EXPECT_TRUE(messages().isEmpty());
        resources::restoreBuiltIn();
        m_form1.reset();
        QFile::remove(QDir(programFolder()).filePath(QStringLiteral("quillnet.de")));
    }
}

TEST_F(LangTest, ExactCaseIsPreferredOverOtherSpellings)
{
    ASSERT_TRUE(buildModule(
        QStringLiteral("QUILLNET.ENU"),
        {{QStringLiteral("TForm1"),
          englishEntry(QStringLiteral("TForm1")).replace("Tallowmere by Vornhart", "Shouting")}}));
    placeModule(QStringLiteral("quillnet.ENU"));
    startUp("en_US.UTF-8");
    EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kEnglishCaption));
}

TEST_F(LangTest, EnglishMessagesComeWithTheModule)
{
    placeModule(QStringLiteral("quillnet.enu"));
    startUp("en_US.UTF-8");
    try {
        StrToInt(QStringLiteral("zwölf"));
        FAIL() << "no conversion error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("'zwölf' is not a valid integer value"));
    }
    resources::restoreBuiltIn();
    EXPECT_THROW(
        {
            try {
                StrToInt(QStringLiteral("x"));
            } catch (const EConvertError& e) {
                EXPECT_EQ(e.text(), QStringLiteral("'x' ist kein gültiger Integerwert"));
                throw;
            }
        },
        EConvertError);
}

TEST_F(LangTest, BrokenModuleFilesLeaveTheGermanTextsWithoutAMessage)
{
    QFile module(QStringLiteral(TM_ENGLISH_MODULE));
    ASSERT_TRUE(module.open(QIODevice::ReadOnly));
    const QByteArray whole = module.readAll();
    const QList<QByteArray> broken = {QByteArray(),
                                      whole.left(3),
                                      whole.left(24),
                                      whole.left(whole.size() / 2),
                                      whole.left(whole.size() - 1),
                                      builtInFile(QStringLiteral("TForm2.ui")),
                                      QByteArray(4096, '\xff')};
    for (const QByteArray& data : broken) {
        SCOPED_TRACE(data.size());
        placeFile(QStringLiteral("quillnet.enu"), data);
        const LogCapture log("tallowmere.lang");
        startUp("en_US.UTF-8");
        EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kGermanCaption));
        EXPECT_EQ(resources::installedModule(), nullptr);
        // The file is there, so the check finds it: no message at all, only the log says why
        // the module is not used.
        EXPECT_TRUE(messages().isEmpty());
        EXPECT_TRUE(errors().isEmpty());
        const QStringList warnings = log.warnings();
        ASSERT_EQ(warnings.size(), 1) << warnings.join(u'\n').toStdString();
        EXPECT_TRUE(
            warnings[0].contains(QDir(programFolder()).filePath(QStringLiteral("quillnet.enu"))))
            << warnings[0].toStdString();
    }
}

TEST_F(LangTest, BrokenLongFormFallsBackToTheTwoLetterModule)
{
    placeFile(QStringLiteral("quillnet.enu"), "not a module");
    placeModule(QStringLiteral("quillnet.en"));
    startUp("en_US.UTF-8");
    EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kEnglishCaption));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(LangTest, ModuleWithoutTheMainWindowLeavesItAsItWas)
{
    ASSERT_TRUE(buildModule(QStringLiteral("quillnet.enu"),
                            {{QStringLiteral("TForm2"), englishEntry(QStringLiteral("TForm2"))}}));
    startUp("en_US.UTF-8");
    EXPECT_NE(resources::installedModule(), nullptr);
    EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kGermanCaption));
    EXPECT_EQ(form2().windowTitle(), QStringLiteral("About"));
}

TEST_F(LangTest, ModuleNamingAControlThatDoesNotExistIsAClearError)
{
    QByteArray ui = englishEntry(QStringLiteral("TForm1"));
    ui.replace("name=\"Label22\"", "name=\"Label99\"");
    ASSERT_TRUE(buildModule(QStringLiteral("quillnet.enu"), {{QStringLiteral("TForm1"), ui}}));
    form1();
    setLocale("en_US.UTF-8");
    try {
        languageStartupStep();
        FAIL() << "the module was read";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QLatin1String("'Label99'"))) << e.what();
        EXPECT_TRUE(e.text().contains(QLatin1String("quillnet.enu, TForm1"))) << e.what();
    }
}

TEST_F(LangTest, ModuleNamingAPropertyThatDoesNotExistIsAClearError)
{
    QByteArray ui = englishEntry(QStringLiteral("TForm1"));
    ui.replace("<widget class=\"QLabel\" name=\"Label20\"><property name=\"text\">",
               "<widget class=\"QLabel\" name=\"Label20\"><property name=\"colour\">");
    ASSERT_TRUE(buildModule(QStringLiteral("quillnet.enu"), {{QStringLiteral("TForm1"), ui}}));
    form1();
    setLocale("en_US.UTF-8");
    try {
        languageStartupStep();
        FAIL() << "the module was read";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QLatin1String("'Label20'"))) << e.what();
        EXPECT_TRUE(e.text().contains(QLatin1String("'colour'"))) << e.what();
    }
}

TEST_F(LangTest, ModuleWithABrokenStringTableIsRefusedWhole)
{
    ASSERT_TRUE(
        buildModule(QStringLiteral("quillnet.enu"),
                    {{QStringLiteral("TForm1"), englishEntry(QStringLiteral("TForm1"))},
                     {QStringLiteral("strings"), "InvalidInteger=fine\nNoSuchString=x\n"}}));
    form1();
    setLocale("en_US.UTF-8");
    try {
        languageStartupStep();
        FAIL() << "the module was installed";
    } catch (const EResourceError& e) {
        EXPECT_TRUE(e.text().contains(QLatin1String("NoSuchString"))) << e.what();
    }
    EXPECT_EQ(resources::installedModule(), nullptr);
    EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kGermanCaption));
    EXPECT_THROW(StrToInt(QStringLiteral("x")), EConvertError);
}

} // namespace
