#include <QTest>

#include <gtest/gtest.h>

#include "support/AccessibleChecks.h"
#include "widgets/ReadoutLabel.h"

namespace kelvaro {
namespace {

using kelvaro::testing::accessibleName;

// A force read-out changes with every notification; assistive tools hear of it at most once per
// announce interval, with the newest value at its end.
TEST(ReadoutLabelTest, AnnouncesChangesPolitelyAndEndsOnTheNewestValue) {
  ReadoutLabel label(QStringLiteral("000"));
  EXPECT_EQ(accessibleName(&label), QStringLiteral("000"));
  label.setAnnounceInterval(60);

  label.setReading(QStringLiteral("001"));
  EXPECT_EQ(accessibleName(&label), QStringLiteral("001")) << "the first change is told at once";
  for (int i = 2; i <= 20; ++i)
    label.setReading(QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0')));
  EXPECT_EQ(label.text(), QStringLiteral("020"));
  EXPECT_EQ(accessibleName(&label), QStringLiteral("001")) << "held for the interval";
  EXPECT_TRUE(QTest::qWaitFor([&] { return accessibleName(&label) == label.text(); }, 2000));

  // That announcement opened a new interval: the next change waits for its end again.
  label.setReading(QStringLiteral("021"));
  EXPECT_EQ(accessibleName(&label), QStringLiteral("020"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return accessibleName(&label) == label.text(); }, 2000));

  label.setAnnounceInterval(0);
  QTest::qWait(80);
  label.setReading(QStringLiteral("-005"));
  EXPECT_EQ(accessibleName(&label), QStringLiteral("-005")) << "without an interval at once";
}

}  // namespace
}  // namespace kelvaro
