// The host entry and its history file.

#include "formfixture.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

#include "platform/errors.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

QStringList items(QComboBox* box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list += box->itemText(i);
    return list;
}

QByteArray crlf(const QStringList& lines)
{
    QByteArray data;
    for (const QString& l : lines)
        data += l.toUtf8() + "\r\n";
    return data;
}

void typeHost(TForm1& f, const QString& text)
{
    f.ComboBox1->lineEdit()->clear();
    QTest::keyClicks(f.ComboBox1->lineEdit(), text);
}

} // namespace

TEST_F(FormTest, MissingHistoryIsCreatedEmptyAndNothingIsSelected)
{
    TForm1& f = form();
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("hostfile.txt"))));
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), QByteArray());
    EXPECT_EQ(f.ComboBox1->count(), 0);
    EXPECT_EQ(f.Edit3->text(), QString());
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("List"));
}

TEST_F(FormTest, HistoryLoadsTheFirstTenLinesAndWritesNothingBack)
{
    QStringList hosts;
    for (int i = 1; i <= 15; ++i)
        hosts += QStringLiteral("host%1").arg(i);
    const QByteArray stored = crlf(hosts);
    writeFile(QStringLiteral("hostfile.txt"), stored);
    TForm1& f = form();
    EXPECT_EQ(items(f.ComboBox1), hosts.mid(0, 10));
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("host1"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("host1"));
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), stored);

    // A host already listed, in other letters' case, changes nothing.
    typeHost(f, QStringLiteral("HOST3"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("HOST3"));
    f.newhost();
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), stored);

    // A new one goes first and the file holds ten lines again.
    typeHost(f, QStringLiteral("new.example"));
    f.newhost();
    EXPECT_EQ(items(f.ComboBox1), QStringList({QStringLiteral("new.example")}) + hosts.mid(0, 9));
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), crlf(QStringList({QStringLiteral("new.example")}) + hosts.mid(0, 9)));
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("new.example"));
    // Used again, it keeps its place.
    f.newhost();
    EXPECT_EQ(f.ComboBox1->count(), 10);
}

TEST_F(FormTest, HandEditedHistoriesLoadWithoutHarm)
{
    // Empty lines, LF-only ends, no final line end and bytes that are not UTF-8.
    const QByteArray stored("a.example\n\nb.example\r\n\xff\xfe bad\nlast");
    writeFile(QStringLiteral("hostfile.txt"), stored);
    TForm1& f = form();
    ASSERT_EQ(f.ComboBox1->count(), 5);
    EXPECT_EQ(f.ComboBox1->itemText(1), QString());
    EXPECT_EQ(f.ComboBox1->itemText(4), QStringLiteral("last"));
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), stored);
}

TEST_F(FormTest, HugeHistoryFileLoadsItsHead)
{
    QByteArray big;
    while (big.size() < 10 * 1024 * 1024)
        big += "some-host-name-that-is-long.example\r\n";
    writeFile(QStringLiteral("hostfile.txt"), big);
    TForm1& f = form();
    EXPECT_EQ(f.ComboBox1->count(), 10);
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")).size(), big.size());
}

TEST_F(FormTest, PickingAnEntryMirrorsItAndTypingMirrorsTheText)
{
    writeFile(QStringLiteral("hostfile.txt"), crlf({QStringLiteral("one"), QStringLiteral("two")}));
    TForm1& f = form();
    f.ComboBox1->setCurrentIndex(1);
    Q_EMIT f.ComboBox1->textActivated(f.ComboBox1->currentText());
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("two"));
    typeHost(f, QStringLiteral("10.1.2.3 "));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("10.1.2.3 "));
    // Text set without a key release reaches the host field with the next key or selection.
    f.ComboBox1->setEditText(QStringLiteral("pasted"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("10.1.2.3 "));
    QTest::keyClick(f.ComboBox1->lineEdit(), Qt::Key_End);
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("pasted"));
}

TEST_F(FormTest, UnwritableFolderStillOpensTheWindowAndSaysWhy)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root may write any folder";
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0555), 0);
    TForm1& f = form();
    EXPECT_TRUE(f.isVisible());
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(path(QStringLiteral("hostfile.txt"))));
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
}

TEST_F(FormTest, HistoryThatCannotBeWrittenIsReportedWithItsPath)
{
    // As root a folder's permissions do not stop writes: a history file that is a folder does.
    QDir(m_dir.path()).mkdir(QStringLiteral("hostfile.txt"));
    TForm1& f = form();
    EXPECT_TRUE(f.isVisible());
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(path(QStringLiteral("hostfile.txt"))))
        << testapp::recorded()[0].text.toStdString();
    // The rest of the start-up ran all the same.
    EXPECT_EQ(f.StringGrid1->item(11, 0)->text(), QStringLiteral("Total in ms"));
    typeHost(f, QStringLiteral("x.example"));
    EXPECT_THROW(f.newhost(), EInOutError);
}
