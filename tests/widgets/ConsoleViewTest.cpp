#include <QApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "widgets/ConsoleView.h"

namespace kelvaro {
namespace {

QStringList blocks(const QPlainTextEdit& memo) {
  QStringList texts;
  if (memo.document()->isEmpty()) return texts;
  for (QTextBlock b = memo.document()->firstBlock(); b.isValid(); b = b.next()) {
    texts << b.text();
  }
  return texts;
}

// The line at the top (or bottom) edge of the visible text.
QString lineAt(const QPlainTextEdit& memo, bool bottom) {
  const QRect area = memo.viewport()->rect();
  const QPoint point(4, bottom ? area.bottom() - 4 : 4);
  return memo.cursorForPosition(point).block().text();
}

struct Op {
  enum Kind { Append, RemoveFirst, Clear } kind;
  const char* text = "";
};

void apply(ConsoleLog& log, std::initializer_list<Op> ops) {
  for (const Op& op : ops) {
    switch (op.kind) {
      case Op::Append:
        log.append(QString::fromUtf8(op.text));
        break;
      case Op::RemoveFirst:
        log.removeFirst();
        break;
      case Op::Clear:
        log.clear();
        break;
    }
  }
}

TEST(ConsoleView, MirrorsTheLogLineByLine) {
  const QString softBreak(QChar::LineSeparator);
  const struct {
    const char* name;
    QStringList before;  // in the log when the view is attached
    std::initializer_list<Op> ops;
    QStringList shown;
  } cases[] = {
      {"appends", {}, {{Op::Append, "a"}, {Op::Append, "b"}}, {"a", "b"}},
      {"keeps what was there", {"x", "y"}, {{Op::Append, "z"}}, {"x", "y", "z"}},
      {"empty first line stays a line", {}, {{Op::Append, ""}, {Op::Append, "x"}}, {"", "x"}},
      {"empty line in the middle", {"a"}, {{Op::Append, ""}, {Op::Append, "b"}}, {"a", "", "b"}},
      {"drops the oldest line", {"a", "b"}, {{Op::Append, "c"}, {Op::RemoveFirst}}, {"b", "c"}},
      {"drops the only line", {"a"}, {{Op::RemoveFirst}}, {}},
      {"drop on an empty log", {}, {{Op::RemoveFirst}, {Op::Append, "a"}}, {"a"}},
      {"clear then append", {"a", "b"}, {{Op::Clear}, {Op::Append, "c"}}, {"c"}},
      {"line breaks stay inside their line",
       {"p\nq"},
       {{Op::Append, "x\r\ny"}, {Op::RemoveFirst}},
       {"x" + softBreak + softBreak + "y"}},
      {"trailing blanks are kept", {}, {{Op::Append, "OK "}}, {"OK "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConsoleLog log;
    for (const QString& line : c.before) log.append(line);
    QPlainTextEdit memo;
    ConsoleView view(log, &memo);
    apply(log, c.ops);
    EXPECT_EQ(blocks(memo), c.shown);
    EXPECT_EQ(blocks(memo).size(), log.count());
  }
}

// A full log drops its oldest line for each new one, and Memo3 with it.
TEST(ConsoleView, AFullLogKeepsTheSameLinesInTheView) {
  ConsoleLog log;
  QPlainTextEdit memo;
  ConsoleView view(log, &memo);
  for (int i = 1; i <= ConsoleLog::kMaxLines + 25; ++i) log.append(QStringLiteral("E60 %1").arg(i));
  EXPECT_EQ(log.count(), ConsoleLog::kMaxLines);
  EXPECT_EQ(memo.document()->blockCount(), ConsoleLog::kMaxLines);
  EXPECT_EQ(memo.document()->firstBlock().text(), QStringLiteral("E60 26"));
  EXPECT_EQ(memo.document()->lastBlock().text(),
            QStringLiteral("E60 %1").arg(ConsoleLog::kMaxLines + 25));
}

TEST(ConsoleView, EditsTheDocumentInPlaceWithoutHistory) {
  ConsoleLog log;
  QPlainTextEdit memo;
  memo.resize(500, 200);
  memo.show();
  ConsoleView view(log, &memo);
  for (int i = 0; i < 4000; ++i) log.append(QStringLiteral("E45 EvtVal=16 = line %1").arg(i));
  // Mark the blocks; a view that rebuilt the document would lose the marks.
  memo.document()->findBlockByNumber(1).setUserState(7);
  memo.document()->lastBlock().setUserState(9);
  log.removeFirst();
  for (int i = 0; i < 100; ++i) log.append(QStringLiteral("more"));
  EXPECT_EQ(memo.document()->firstBlock().userState(), 7);
  EXPECT_EQ(memo.document()->findBlockByNumber(3998).userState(), 9);
  EXPECT_EQ(memo.document()->blockCount(), 4099);
  EXPECT_EQ(memo.document()->availableUndoSteps(), 0);
}

class ConsoleViewScrolling : public ::testing::Test {
 protected:
  void SetUp() override {
    memo.resize(400, 160);
    memo.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
  }
  void appendLines(int from, int to) {
    for (int i = from; i < to; ++i) log.append(QStringLiteral("line %1").arg(i));
  }
  QScrollBar* bar() { return memo.verticalScrollBar(); }

  ConsoleLog log;
  QPlainTextEdit memo;
};

TEST_F(ConsoleViewScrolling, FollowsNewLinesWhileAtTheEnd) {
  ConsoleView view(log, &memo);
  appendLines(0, 200);
  EXPECT_TRUE(view.followsEnd());
  EXPECT_GT(bar()->maximum(), 0);
  EXPECT_EQ(bar()->value(), bar()->maximum());
  EXPECT_EQ(lineAt(memo, true), QStringLiteral("line 199"));
  log.removeFirst();
  appendLines(200, 201);
  EXPECT_EQ(bar()->value(), bar()->maximum());
  EXPECT_EQ(lineAt(memo, true), QStringLiteral("line 200"));

  // A smaller console still shows the newest line.
  memo.resize(400, 90);
  QApplication::processEvents();
  EXPECT_EQ(bar()->value(), bar()->maximum());
  EXPECT_EQ(lineAt(memo, true), QStringLiteral("line 200"));
}

TEST_F(ConsoleViewScrolling, KeepsTheReadersPlaceWhenScrolledBack) {
  ConsoleView view(log, &memo);
  appendLines(0, 200);
  bar()->setValue(50);
  EXPECT_FALSE(view.followsEnd());
  const QString top = lineAt(memo, false);
  ASSERT_EQ(top, QStringLiteral("line 50"));

  appendLines(200, 260);
  EXPECT_EQ(lineAt(memo, false), top);
  for (int i = 0; i < 3; ++i) log.removeFirst();
  EXPECT_EQ(lineAt(memo, false), top);
  EXPECT_FALSE(view.followsEnd());

  // Back at the end, the view follows again.
  bar()->setValue(bar()->maximum());
  appendLines(260, 270);
  EXPECT_TRUE(view.followsEnd());
  EXPECT_EQ(lineAt(memo, true), QStringLiteral("line 269"));
}

TEST_F(ConsoleViewScrolling, ClearingReturnsToFollowing) {
  ConsoleView view(log, &memo);
  appendLines(0, 100);
  bar()->setValue(0);
  log.clear();
  appendLines(100, 300);
  EXPECT_TRUE(view.followsEnd());
  EXPECT_EQ(lineAt(memo, true), QStringLiteral("line 299"));
}

TEST(ConsoleView, AHiddenConsoleShowsTheNewestLinesWhenItAppears) {
  ConsoleLog log;
  for (int i = 0; i < 50; ++i) log.append(QStringLiteral("early %1").arg(i));
  QPlainTextEdit memo;
  ConsoleView view(log, &memo);
  for (int i = 0; i < 250; ++i) log.append(QStringLiteral("late %1").arg(i));
  memo.resize(400, 160);
  memo.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
  EXPECT_EQ(memo.verticalScrollBar()->value(), memo.verticalScrollBar()->maximum());
  EXPECT_EQ(lineAt(memo, true), QStringLiteral("late 249"));
}

}  // namespace
}  // namespace kelvaro
