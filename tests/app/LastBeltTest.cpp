// The last belt's ID and the field that shows it follow each other both ways.
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "app/panels/LastBelt.h"

namespace kelvaro {
namespace {

TEST(LastBeltTest, TheFieldShowsTheIdAndWhatIsTypedBecomesIt) {
  QLineEdit field(QStringLiteral("000780008D83"));
  LastBelt last(field);
  EXPECT_EQ(last.id(), QStringLiteral("000780008D83")) << "what the field held at the start";

  last.setId(QStringLiteral("0007800091A2"));
  EXPECT_EQ(field.text(), QStringLiteral("0007800091A2"));

  field.clear();
  QTest::keyClicks(&field, QStringLiteral("00078000AB01"));
  EXPECT_EQ(last.id(), QStringLiteral("00078000AB01"));
}

}  // namespace
}  // namespace kelvaro
