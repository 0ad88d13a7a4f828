// Memos as logs: an added line is in view, also after the memo was hidden, and the scroll bar
// shows where the view is.

#include "support/testapp.h"

#include "platform/memo.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

// Rows of the scroll bar's track (the dotted part) and of its thumb (plain), between the
// arrows, read from the picture the bar paints.
struct BarPicture
{
    bool trackAtTop = false;    // the row below the upper arrow is track
    bool thumbAtBottom = false; // the row above the lower arrow is thumb
};

BarPicture look(QScrollBar* bar)
{
    const QImage image = bar->grab().toImage();
    const int arrow = bar->width();
    auto dotted = [&image](int y) {
        int changes = 0;
        for (int x = 3; x < image.width() - 4; ++x)
            changes += image.pixel(x, y) != image.pixel(x + 1, y) ? 1 : 0;
        return changes >= (image.width() - 7) / 2;
    };
    return {dotted(arrow + 2), !dotted(image.height() - arrow - 3)};
}

class MemoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        memo.resize(200, 120);
        memo.setLineWrapMode(QPlainTextEdit::NoWrap);
        memo.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        memo.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
    }

    // The block at the bottom of the view.
    int lastLineInView()
    {
        return memo.cursorForPosition(QPoint(4, memo.viewport()->height() - 4)).blockNumber();
    }

    TMemo memo;
};

TEST_F(MemoTest, TheNewestLineIsInViewAndTheThumbAtTheEnd)
{
    const struct
    {
        const char* what;
        bool hiddenWhileAdding;
        int keep; // 0: no trimming
    } cases[] = {
        {"added while shown", false, 0},
        {"added while hidden", true, 0},
        {"trimmed to the last 30 while shown", false, 30},
        {"trimmed while hidden", true, 30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        memo.Clear();
        if (c.hiddenWhileAdding)
            memo.hide();
        for (int i = 0; i < 60; ++i) {
            if (c.keep && memo.Count() >= c.keep)
                memo.KeepLast(c.keep - 1);
            memo.Add(QStringLiteral("line %1").arg(i));
        }
        memo.show();
        QScrollBar* bar = memo.verticalScrollBar();
        EXPECT_EQ(memo.lines().last(), QStringLiteral("line 59"));
        EXPECT_EQ(lastLineInView(), memo.Count() - 1);
        EXPECT_GT(bar->maximum(), 0);
        EXPECT_EQ(bar->value(), bar->maximum());
        const BarPicture picture = look(bar);
        EXPECT_TRUE(picture.trackAtTop);
        EXPECT_TRUE(picture.thumbAtBottom);
    }
}

TEST_F(MemoTest, LinesSetAsAWholeAreShownFromTheTop)
{
    QStringList lines;
    for (int i = 0; i < 60; ++i)
        lines += QStringLiteral("stored %1").arg(i);
    memo.setLines(lines);
    EXPECT_EQ(memo.verticalScrollBar()->value(), 0);
    const BarPicture picture = look(memo.verticalScrollBar());
    EXPECT_FALSE(picture.trackAtTop);
    EXPECT_FALSE(picture.thumbAtBottom);
}

} // namespace
