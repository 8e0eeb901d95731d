#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "base/Errors.h"
#include "base/HistoryFile.h"

namespace kelvaro {
namespace {

TEST(HistoryFile, LinesEndAtCrLfOrCrLf) {
  const struct {
    const char* content;
    qsizetype begin, end, next;
  } cases[] = {
      {"ab\r\ncd", 0, 2, 4}, {"ab\ncd", 0, 2, 3}, {"ab\rcd", 0, 2, 3}, {"ab", 0, 2, 2},
      {"ab\r", 0, 2, 3},     {"\n\nx", 1, 1, 2},  {"a\r\n", 3, 3, 3},  {"a\n\r\n", 2, 2, 4},
  };
  for (const auto& c : cases) {
    const auto bounds = history::lineAt(QByteArray(c.content), c.begin);
    EXPECT_EQ(bounds.end, c.end) << c.content << " from " << c.begin;
    EXPECT_EQ(bounds.next, c.next) << c.content << " from " << c.begin;
  }
}

TEST(HistoryFile, AppendsWholeLinesAndMakesTheFolder) {
  QTemporaryDir home;
  const QString path = home.filePath(QStringLiteral("Data/usr.csv"));
  history::appendLine(path, QByteArrayLiteral("one;\r\n"));
  history::appendLine(path, QByteArrayLiteral("two;\r\n"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArrayLiteral("one;\r\ntwo;\r\n"));
}

TEST(HistoryFile, AFolderThatCannotBeMadeIsAnErrorNamingIt) {
  QTemporaryDir home;
  // A file where the folder should be.
  QFile blocker(home.filePath(QStringLiteral("Data")));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  try {
    history::appendLine(home.filePath(QStringLiteral("Data/usr.csv")), QByteArrayLiteral("x\r\n"));
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("Unable to create the folder"), std::string::npos)
        << e.what();
  }
}

}  // namespace
}  // namespace kelvaro
