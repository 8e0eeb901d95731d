#include "base/ConsoleOutput.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/ConsoleLog.h"

namespace kelvaro {
namespace {

QStringList toList(const std::vector<std::string>& lines) {
  QStringList out;
  for (const auto& line : lines) out << QString::fromStdString(line);
  return out;
}

void fillConsole(ConsoleLog& console, int lines) {
  for (int i = 1; i <= lines; ++i) console.append(QStringLiteral("line %1").arg(i));
}

struct ChunkCase {
  const char* name;
  std::vector<std::string> chunks;
  std::vector<std::string> lines;
  std::string pending;
};

class CollectorChunks : public ::testing::TestWithParam<ChunkCase> {};

TEST_P(CollectorChunks, AppendsTheLinesItsChunksEnd) {
  const ChunkCase& c = GetParam();
  ConsoleLog console;
  ConsoleLineCollector collector(console);
  collector.open();
  for (const auto& chunk : c.chunks) collector.handOver(chunk.data(), chunk.size());
  EXPECT_EQ(console.lines(), toList(c.lines));
  EXPECT_EQ(collector.pending(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, CollectorChunks,
    ::testing::Values(
        ChunkCase{"CrLf", {"abc\r\n"}, {"abc"}, ""},
        ChunkCase{"LineSpreadOverTwoChunks", {"ab", "c\r\n"}, {"abc"}, ""},
        ChunkCase{"RestOfChunkAfterCrDiscarded", {"a\rb\r"}, {"a"}, ""},
        ChunkCase{"LoneLfEndsLine", {"abc\n"}, {"abc"}, ""},
        ChunkCase{"RestOfChunkAfterLfDiscarded", {"a\nb\n"}, {"a"}, ""},
        ChunkCase{"CrLfSplitAcrossChunks", {"abc\r", "\n"}, {"abc"}, ""},
        ChunkCase{"TextAfterSplitCrLfIsNextLine", {"abc\r", "\ndef\n"}, {"abc", "def"}, ""},
        ChunkCase{"LfAfterCrInLaterChunkOnly", {"abc\r", "x\n", "\n"}, {"abc", "x", ""}, ""},
        ChunkCase{"UnterminatedStaysPending", {"abc"}, {}, "abc"},
        ChunkCase{"EmptyChunkChangesNothing", {"ab", "", "c\n"}, {"abc"}, ""},
        ChunkCase{"BareLineEndGivesEmptyLine", {"\r\n"}, {""}, ""},
        ChunkCase{"TwoCrChunksGiveTwoLines", {"a\r", "\r"}, {"a", ""}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConsoleLineCollector, DropsCharactersBeyond255) {
  ConsoleLog console;
  ConsoleLineCollector collector(console);
  const std::string head(250, 'a');
  const std::string tail = "bcdefghij\n";
  collector.handOver(head.data(), head.size());
  collector.handOver(tail.data(), tail.size());
  ASSERT_EQ(console.count(), 1);
  EXPECT_EQ(console.last(), QString::fromStdString(head + "bcdef"));
  EXPECT_EQ(console.last().size(), 255);
}

TEST(ConsoleLineCollector, OpenEmptiesThePendingLineButCloseKeepsIt) {
  ConsoleLog console;
  ConsoleLineCollector collector(console);
  collector.handOver("ab", 2);
  collector.open();
  collector.handOver("cd", 2);
  collector.close();
  collector.handOver("e\n", 2);
  EXPECT_EQ(console.lines(), QStringList{"cde"});
}

struct TrimCase {
  int before;
  int after;
  bool firstRemoved;
};

class CollectorTrim : public ::testing::TestWithParam<TrimCase> {};

TEST_P(CollectorTrim, KeepsAtMost501Lines) {
  const TrimCase& c = GetParam();
  ConsoleLog console;
  fillConsole(console, c.before);
  ConsoleLineCollector collector(console);
  collector.handOver("new\r\n", 5);
  EXPECT_EQ(console.count(), c.after);
  EXPECT_EQ(console.last(), "new");
  EXPECT_EQ(console.lines().first(), c.firstRemoved ? "line 2" : "line 1");
}

INSTANTIATE_TEST_SUITE_P(Counts, CollectorTrim,
                         ::testing::Values(TrimCase{500, 501, false}, TrimCase{501, 501, true},
                                           TrimCase{600, 600, true}));

TEST(ConsoleLineCollector, DirectAppendsAreNotTrimmedToTheOutputBound) {
  ConsoleLog console;
  fillConsole(console, 600);
  console.append("direct");
  EXPECT_EQ(console.count(), 601);
}

// A program left scanning writes a line for every scan response; the log keeps the newest ones.
TEST(ConsoleLog, KeepsTheNewestLinesWhenFull) {
  ConsoleLog console;
  int removed = 0;
  QObject::connect(&console, &ConsoleLog::firstLineRemoved, [&] { ++removed; });
  fillConsole(console, ConsoleLog::kMaxLines);
  EXPECT_EQ(removed, 0);

  console.append("one more");
  console.append("and another");

  EXPECT_EQ(console.count(), ConsoleLog::kMaxLines);
  EXPECT_EQ(removed, 2);
  EXPECT_EQ(console.lines().first(), "line 3");
  EXPECT_EQ(console.last(), "and another");

  // The standard-output path keeps its own, smaller bound on a full log too.
  ConsoleLineCollector collector(console);
  collector.handOver("printed\r\n", 9);
  EXPECT_EQ(console.count(), ConsoleLog::kMaxLines);
  EXPECT_EQ(console.last(), "printed");
  EXPECT_EQ(console.lines().first(), "line 4");
}

TEST(ConsoleLineCollector, ClearThenOneLineLeavesOneLine) {
  ConsoleLog console;
  fillConsole(console, 20);
  console.clear();
  ConsoleLineCollector collector(console);
  collector.handOver("after\n", 6);
  EXPECT_EQ(console.lines(), QStringList{"after"});
}

class BoundStream : public ::testing::Test {
 protected:
  void SetUp() override { AttachOutputToConsole(binding, stream, console); }

  std::stringbuf original;
  std::ostream stream{&original};
  ConsoleLog console;
  ConsoleOutputBinding binding;
};

TEST_F(BoundStream, EveryLineEndHandsOverWithoutFlush) {
  stream << "first\n"
         << "second\r\n"
         << "third" << '\r' << '\n';
  EXPECT_EQ(console.lines(), (QStringList{"first", "second", "third"}));
  EXPECT_TRUE(stream.good());
  EXPECT_TRUE(original.str().empty());
}

TEST_F(BoundStream, PartialLineWaitsInTheBufferUntilFlushed) {
  stream << "ab";
  EXPECT_EQ(binding.buffer()->collector().pendingSize(), 0u);
  stream.flush();
  EXPECT_EQ(binding.buffer()->collector().pending(), "ab");
  stream << "c" << std::endl;
  EXPECT_EQ(console.lines(), QStringList{"abc"});
}

TEST_F(BoundStream, FullBufferIsHandedOverIn128ByteChunks) {
  stream << std::string(130, 'x');
  EXPECT_EQ(binding.buffer()->collector().pendingSize(), 128u);
  EXPECT_TRUE(console.lines().isEmpty());
  stream << '\n';
  EXPECT_EQ(console.lines(), QStringList{QString(130, 'x')});
}

TEST_F(BoundStream, LongLineKeepsItsFirst255Characters) {
  std::string line;
  for (int i = 0; i < 400; ++i) line += static_cast<char>('a' + i % 26);
  stream << line << "\nnext\n";
  EXPECT_EQ(console.lines(), (QStringList{QString::fromStdString(line.substr(0, 255)), "next"}));
}

TEST_F(BoundStream, SecondAttachBehavesAsTheFirst) {
  stream << "lost" << std::flush;
  AttachOutputToConsole(binding, stream, console);
  stream << "line\n";
  EXPECT_EQ(console.lines(), QStringList{"line"});
  binding.detach();
  EXPECT_EQ(stream.rdbuf(), &original);
  stream << "plain";
  EXPECT_EQ(original.str(), "plain");
  EXPECT_EQ(console.count(), 1);
}

TEST_F(BoundStream, AttachingAnotherStreamReleasesTheFirst) {
  std::stringbuf otherOriginal;
  std::ostream other(&otherOriginal);
  AttachOutputToConsole(binding, other, console);
  EXPECT_EQ(stream.rdbuf(), &original);
  other << "other\n";
  EXPECT_EQ(console.lines(), QStringList{"other"});
  binding.detach();  // `other` goes before the fixture's binding does
  EXPECT_EQ(other.rdbuf(), &otherOriginal);
}

TEST(ConsoleOutputBinding, BindsStandardOutputAndRestoresItWhenDestroyed) {
  std::streambuf* const before = std::cout.rdbuf();
  ConsoleLog console;
  {
    ConsoleOutputBinding binding;
    AttachOutputToConsole(binding, std::cout, console);
    AttachOutputToConsole(binding, std::cout, console);
    std::cout << "to the console" << std::endl;
    EXPECT_NE(std::cout.rdbuf(), before);
  }
  EXPECT_EQ(std::cout.rdbuf(), before);
  EXPECT_EQ(console.lines(), QStringList{"to the console"});
}

}  // namespace
}  // namespace kelvaro
