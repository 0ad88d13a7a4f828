// Loading module files as data: only complete resource files are taken, whatever else lies
// beside the program; installing one replaces and frees the one before.

#include "langfixture.h"

#include "platform/errors.h"
#include "platform/resources.h"
#include "platform/strings.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtEndian>

namespace {

QByteArray englishModuleBytes()
{
    QFile f(QStringLiteral(TM_ENGLISH_MODULE));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Module roots registered right now.
int registeredModules()
{
    return int(QDir(QStringLiteral(":/tallowmere"))
                   .entryList({QStringLiteral("module*")}, QDir::Dirs)
                   .size());
}

TEST_F(LangTest, TheBuiltModuleHoldsBothWindowsAndTheStrings)
{
    resources::ResourceModule* m = resources::loadModule(QStringLiteral(TM_ENGLISH_MODULE));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(resources::moduleDescription(m, QStringLiteral("TForm1")),
              builtInFile(QStringLiteral("en/TForm1.ui")));
    EXPECT_EQ(resources::moduleDescription(m, QStringLiteral("TForm2")),
              builtInFile(QStringLiteral("TForm2.ui")));
    EXPECT_TRUE(resources::moduleDescription(m, QStringLiteral("TForm3")).isEmpty());
    resources::installModule(m);
    EXPECT_EQ(StringTable::current().format(StringId::InvalidInteger, {QStringLiteral("7x")}),
              QStringLiteral("'7x' is not a valid integer value"));
    EXPECT_EQ(resources::windowDescription(QStringLiteral("TForm1")),
              builtInFile(QStringLiteral("en/TForm1.ui")));
}

TEST_F(LangTest, EveryTruncationOfAModuleIsRefused)
{
    const QByteArray whole = englishModuleBytes();
    ASSERT_GT(whole.size(), 1000);
    const QString path = QDir(programFolder()).filePath(QStringLiteral("cut.enu"));
    const int before = registeredModules();
    for (qsizetype n = 0; n < whole.size(); n += (n < 64 ? 1 : 37)) {
        placeFile(QStringLiteral("cut.enu"), whole.left(n));
        resources::ResourceModule* m = resources::loadModule(path);
        EXPECT_EQ(m, nullptr) << "accepted " << n << " of " << whole.size() << " bytes";
        resources::freeModule(m);
    }
    EXPECT_EQ(registeredModules(), before);
}

TEST_F(LangTest, FilesThatAreNoModuleAreRefused)
{
    QByteArray badTree = englishModuleBytes();
    qToBigEndian<quint32>(quint32(badTree.size() - 2), badTree.data() + 8); // tree offset
    QByteArray badVersion = englishModuleBytes();
    qToBigEndian<quint32>(9, badVersion.data() + 4);
    const QList<QByteArray> files = {QByteArray("qres"), builtInFile(QStringLiteral("TForm1.ui")),
                                     QByteArray(100000, '\0'), badTree, badVersion};
    for (const QByteArray& data : files) {
        placeFile(QStringLiteral("bad.enu"), data);
        EXPECT_EQ(resources::loadModule(QDir(programFolder()).filePath(QStringLiteral("bad.enu"))),
                  nullptr);
    }
    EXPECT_EQ(resources::loadModule(QDir(programFolder()).filePath(QStringLiteral("missing.enu"))),
              nullptr);
    // A folder of that name is no module either.
    ASSERT_TRUE(QDir(programFolder()).mkdir(QStringLiteral("dir.enu")));
    EXPECT_EQ(resources::loadModule(QDir(programFolder()).filePath(QStringLiteral("dir.enu"))),
              nullptr);
}

TEST_F(LangTest, DamagedModulesAreRefusedOrReadSafely)
{
    // Single damaged bytes anywhere past the header: each file is either refused or, when
    // its structure still holds, read without reading outside it.
    const QByteArray whole = englishModuleBytes();
    QRandomGenerator random(20060301);
    const QString path = QDir(programFolder()).filePath(QStringLiteral("damaged.enu"));
    int refused = 0;
    for (int i = 0; i < 300; ++i) {
        QByteArray data = whole;
        const qsizetype at = 8 + qsizetype(random.bounded(int(whole.size() - 8)));
        data[at] = char(random.bounded(256));
        placeFile(QStringLiteral("damaged.enu"), data);
        resources::ResourceModule* m = resources::loadModule(path);
        if (!m) {
            ++refused;
            continue;
        }
        for (const char* name : {"TForm1", "TForm2", "strings"})
            resources::moduleDescription(m, QString::fromLatin1(name));
        resources::freeModule(m);
    }
    // The check must bite on the offsets: some damaged files are refused.
    EXPECT_GT(refused, 0);
}

TEST_F(LangTest, InstallingAModuleFreesTheOneBefore)
{
    ASSERT_TRUE(buildModule(QStringLiteral("a.enu"), {{QStringLiteral("TForm1"), "first"}}));
    ASSERT_TRUE(buildModule(QStringLiteral("b.enu"), {{QStringLiteral("TForm1"), "second"}}));
    const int before = registeredModules();
    resources::ResourceModule* a =
        resources::loadModule(QDir(programFolder()).filePath(QStringLiteral("a.enu")));
    resources::ResourceModule* b =
        resources::loadModule(QDir(programFolder()).filePath(QStringLiteral("b.enu")));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(registeredModules(), before + 2);
    resources::installModule(a);
    EXPECT_EQ(resources::windowDescription(QStringLiteral("TForm1")), QByteArray("first"));
    resources::installModule(b);
    EXPECT_EQ(resources::installedModule(), b);
    EXPECT_EQ(resources::windowDescription(QStringLiteral("TForm1")), QByteArray("second"));
    EXPECT_EQ(registeredModules(), before + 1);
    resources::restoreBuiltIn();
    EXPECT_EQ(registeredModules(), before);
    EXPECT_TRUE(
        resources::windowDescription(QStringLiteral("TForm1")).contains("Tallowmere von Vornhart"));
}

TEST_F(LangTest, WindowsCreatedLaterComeOnlyFromTheInstalledModule)
{
    ASSERT_TRUE(buildModule(QStringLiteral("quillnet.enu"),
                            {{QStringLiteral("TForm1"), englishEntry(QStringLiteral("TForm1"))}}));
    startUp("en_US.UTF-8");
    EXPECT_EQ(form1().windowTitle(), QString::fromLatin1(kEnglishCaption));
    try {
        TForm2 about;
        FAIL() << "the About window was created";
    } catch (const EResourceError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("Resource TForm2 not found"));
    }
}

TEST_F(LangTest, FileLookupIgnoresCaseAndPrefersTheExactName)
{
    placeFile(QStringLiteral("Quillnet.ENU"), "1");
    EXPECT_EQ(resources::findFileIgnoringCase(programFolder(), QStringLiteral("quillnet.enu")),
              QStringLiteral("Quillnet.ENU"));
    placeFile(QStringLiteral("quillnet.enu"), "2");
    EXPECT_EQ(resources::findFileIgnoringCase(programFolder(), QStringLiteral("quillnet.enu")),
              QStringLiteral("quillnet.enu"));
    EXPECT_TRUE(
        resources::findFileIgnoringCase(programFolder(), QStringLiteral("quillnet.en")).isEmpty());
}

} // namespace
