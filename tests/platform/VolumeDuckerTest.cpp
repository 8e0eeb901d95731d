#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "platform/MasterVolume.h"
#include "platform/VolumeDucker.h"

namespace kelvaro {
namespace {

// A master volume that remembers its level and every call made to it.
class RecordingMasterVolume final : public MasterVolume {
 public:
  explicit RecordingMasterVolume(float level) : level_(level) {}
  bool available() const override { return true; }
  std::optional<float> level() override {
    ++reads;
    return level_;
  }
  bool setLevel(float scalar) override {
    sets.push_back(scalar);
    level_ = scalar;
    return true;
  }
  float current() const { return level_; }

  int reads = 0;
  std::vector<float> sets;

 private:
  float level_;
};

TEST(VolumeDucker, OneAlarmLowersToAThirdThenRestores) {
  RecordingMasterVolume volume(0.9f);
  VolumeDucker ducker(volume);
  EXPECT_TRUE(ducker.lower());
  EXPECT_TRUE(ducker.isLowered());
  EXPECT_FLOAT_EQ(volume.current(), 0.3f);
  ASSERT_TRUE(ducker.savedLevel().has_value());
  EXPECT_FLOAT_EQ(*ducker.savedLevel(), 0.9f);

  ducker.restore();
  EXPECT_FALSE(ducker.isLowered());
  EXPECT_FLOAT_EQ(volume.current(), 0.9f);
  EXPECT_EQ(volume.sets.size(), 2u);
}

TEST(VolumeDucker, SecondAlarmWhileLoweredKeepsTheFirstLevel) {
  RecordingMasterVolume volume(0.9f);
  VolumeDucker ducker(volume);
  EXPECT_TRUE(ducker.lower());
  EXPECT_FALSE(ducker.lower());
  EXPECT_FALSE(ducker.lower());
  EXPECT_EQ(volume.reads, 1);
  EXPECT_EQ(volume.sets.size(), 1u);
  EXPECT_FLOAT_EQ(volume.current(), 0.3f);

  ducker.restore();
  EXPECT_FLOAT_EQ(volume.current(), 0.9f);
}

TEST(VolumeDucker, AlarmAfterARestoreLowersAgain) {
  RecordingMasterVolume volume(0.6f);
  VolumeDucker ducker(volume);
  ducker.lower();
  ducker.restore();
  EXPECT_TRUE(ducker.lower());
  EXPECT_FLOAT_EQ(volume.current(), 0.2f);
  ducker.restore();
  EXPECT_FLOAT_EQ(volume.current(), 0.6f);
  EXPECT_EQ(volume.reads, 2);
}

TEST(VolumeDucker, RestoreWithNothingLoweredDoesNothing) {
  RecordingMasterVolume volume(0.5f);
  VolumeDucker ducker(volume);
  ducker.restore();
  ducker.restoreNow();
  EXPECT_TRUE(volume.sets.empty());
  EXPECT_FALSE(ducker.isLowered());

  ducker.lower();
  ducker.restore();
  ducker.restore();
  EXPECT_EQ(volume.sets.size(), 2u);
}

TEST(VolumeDucker, RestoreNowAtCloseBringsBackTheLevel) {
  RecordingMasterVolume volume(0.75f);
  VolumeDucker ducker(volume);
  ducker.lower();
  ducker.restoreNow();
  EXPECT_FALSE(ducker.isLowered());
  EXPECT_FLOAT_EQ(volume.current(), 0.75f);
}

TEST(VolumeDucker, NullVolumeIsHarmlessAndNeedsNoTimer) {
  NullMasterVolume volume;
  VolumeDucker ducker(volume);
  EXPECT_FALSE(ducker.lower());
  EXPECT_FALSE(ducker.isLowered());
  ducker.restore();
  ducker.restoreNow();
  EXPECT_FALSE(ducker.savedLevel().has_value());
}

}  // namespace
}  // namespace kelvaro
