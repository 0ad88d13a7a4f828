// The host entry and its history file.

#include "formfixture.h"
#include "support/userinput.h"

#include "net/PingThrd.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
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
    // The open list shows its items at the stored height.
    EXPECT_EQ(f.ComboBox1->view()->sizeHintForRow(0), 13);

    // A host already listed, in other letters' case, changes nothing.
    typeHost(f, QStringLiteral("HOST3"));
    EXPECT_EQ(f.Edit3->text(), QStringLiteral("HOST3"));
    f.newhost();
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), stored);

    // A new one goes first and the file holds ten lines again.
    typeHost(f, QStringLiteral("new.example"));
    f.newhost();
    EXPECT_EQ(items(f.ComboBox1), QStringList({QStringLiteral("new.example")}) + hosts.mid(0, 9));
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")),
              crlf(QStringList({QStringLiteral("new.example")}) + hosts.mid(0, 9)));
    EXPECT_EQ(f.ComboBox1->currentText(), QStringLiteral("new.example"));
    // Used again, it keeps its place.
    f.newhost();
    EXPECT_EQ(f.ComboBox1->count(), 10);
}

TEST_F(FormTest, HandEditedHistoriesLoadWithoutHarm)
{
    const struct
    {
        const char* what;
        QByteArray stored;
        QStringList items;
    } cases[] = {
        {"empty lines, LF ends, no final end, bytes that are no UTF-8",
         QByteArray("a.example\n\nb.example\r\n\xff\xfe bad\nlast"),
         {QStringLiteral("a.example"), QString(), QStringLiteral("b.example"),
          QStringLiteral("\ufffd\ufffd bad"), QStringLiteral("last")}},
        {"CR only",
         QByteArray("a.example\rb.example\rc.example\r"),
         {QStringLiteral("a.example"), QStringLiteral("b.example"), QStringLiteral("c.example")}},
        {"all three ends mixed",
         QByteArray("a\r\nb\rc\nd\r\r\ne"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"),
          QString(), QStringLiteral("e")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(QStringLiteral("hostfile.txt"), c.stored);
        recreateForm();
        EXPECT_EQ(items(m_form->ComboBox1), c.items);
        EXPECT_EQ(m_form->Edit3->text(), c.items.first());
        EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), c.stored);
    }
}

TEST_F(FormTest, ALongCrOnlyHistoryLoadsItsFirstTenHosts)
{
    QByteArray stored;
    QStringList hosts;
    for (int i = 1; i <= 40000; ++i) {
        hosts += QStringLiteral("h%1.example").arg(i);
        stored += hosts.last().toLatin1() + '\r';
    }
    writeFile(QStringLiteral("hostfile.txt"), stored);
    TForm1& f = form();
    EXPECT_EQ(items(f.ComboBox1), hosts.mid(0, 10));
}

TEST_F(FormTest, AReadOnlyHistoryIsReportedAndKeptAlsoForRoot)
{
    const QByteArray stored("old.example\r\n");
    writeFile(QStringLiteral("hostfile.txt"), stored);
    ASSERT_EQ(::chmod(QFile::encodeName(path(QStringLiteral("hostfile.txt"))).constData(), 0444),
              0);
    TForm1& f = form();
    ASSERT_TRUE(userinput::activate(&f));
    userinput::click(f.ComboBox1);
    userinput::retype(QStringLiteral("new.example"));
    const qsizetype started = workerIds().size();
    userinput::click(f.doPing1);
    ASSERT_EQ(testapp::recorded().size(), 1);
    EXPECT_TRUE(testapp::recorded()[0].text.contains(path(QStringLiteral("hostfile.txt"))))
        << testapp::recorded()[0].text.toStdString();
    EXPECT_EQ(fileBytes(QStringLiteral("hostfile.txt")), stored);
    // The ping that needed the history does not start.
    EXPECT_EQ(workerIds().size(), started);
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
