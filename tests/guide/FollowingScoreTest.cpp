// The score's bookkeeping on breaths given by hand: what is judged when, the longest stretch and
// the mean rate. (How it scores real breathing is FollowingSimTest's.)
#include <gtest/gtest.h>

#include "guide/FollowingScore.h"

namespace kelvaro {
namespace {

// The default guide: a breath every 10 s, its ends of breathing in at 4 s, 14 s, 24 s ...
constexpr std::int64_t kPeak = 4000;
constexpr std::int64_t kCycle = 10000;

TEST(FollowingScore, NothingIsKnownUntilABreathIsJudgedOrOverdue) {
  FollowingScore score;
  EXPECT_FALSE(score.scoreAt(5000).has_value());
  score.breath(kPeak);  // the first peak: the time before it is no breath
  EXPECT_FALSE(score.scoreAt(kPeak + 5000).has_value());
  score.breath(kPeak + kCycle);
  ASSERT_TRUE(score.scoreAt(kPeak + kCycle).has_value());
  EXPECT_DOUBLE_EQ(*score.scoreAt(kPeak + kCycle), 100.0);
}

TEST(FollowingScore, ABreathOverdueCountsAsNotFollowedFromItsStart) {
  FollowingScore score;
  for (int k = 0; k < 4; ++k) score.breath(kPeak + k * kCycle);
  const std::int64_t last = kPeak + 3 * kCycle;
  const std::int64_t overdue = last + std::int64_t(kCycle * 1.2) + FollowingScore::kConfirmMs;
  EXPECT_DOUBLE_EQ(*score.scoreAt(overdue), 100.0) << "not yet overdue";
  // 30 s: 13.5 s of the missing breath, 16.5 s of followed ones.
  EXPECT_NEAR(*score.scoreAt(overdue + 1), 100.0 * 16.5 / 30.0, 0.01);
  EXPECT_DOUBLE_EQ(*score.scoreAt(overdue + 40000), 0.0);
}

TEST(FollowingScore, AStartWithoutBreathingIsNotFollowed) {
  FollowingScore score;
  EXPECT_DOUBLE_EQ(*score.scoreAt(20000), 0.0);
}

TEST(FollowingScore, KeepsTheLongestStretchFollowedAndTheMeanRate) {
  FollowingScore score;
  std::int64_t t = kPeak;
  score.breath(t);
  for (int k = 0; k < 3; ++k) score.breath(t += kCycle);  // three followed: 30 s
  score.breath(t += kCycle / 2);                          // half as long: not followed
  score.breath(t += kCycle / 2);                          // back on the beat, half as long
  for (int k = 0; k < 5; ++k) score.breath(t += kCycle);  // five followed: 50 s
  EXPECT_EQ(score.longestFollowedMs(), 5 * kCycle);
  EXPECT_EQ(score.breaths(), 11u);
  ASSERT_TRUE(score.meanRatePerMinute().has_value());
  EXPECT_NEAR(*score.meanRatePerMinute(), 60000.0 * 10 / double(t - kPeak), 1e-9);
  EXPECT_DOUBLE_EQ(*score.lastBreathShare(), 1.0);
  EXPECT_EQ(*score.lastDelayMs(), 0);
}

TEST(FollowingScore, IgnoresAPeakThatIsNoLaterThanTheLast) {
  FollowingScore score;
  score.breath(kPeak);
  score.breath(kPeak);
  score.breath(kPeak - 100);
  score.breath(-50);
  EXPECT_EQ(score.breaths(), 1u);
}

}  // namespace
}  // namespace kelvaro
