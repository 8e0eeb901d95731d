#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "keys/KeyTriggers.h"

// Counts every allocation of this test program, so a test can prove a code path allocates nothing.
namespace {
std::atomic<long> gAllocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kelvaro {
namespace {

// Records the key events in the order they are sent, as "down N" and "up N".
class RecordingKeySink final : public KeySink {
 public:
  void keyDown(int virtualKey) override { events.push_back("down " + std::to_string(virtualKey)); }
  void keyUp(int virtualKey) override { events.push_back("up " + std::to_string(virtualKey)); }
  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(events);
    return out;
  }
  std::vector<std::string> events;
};

using Events = std::vector<std::string>;

constexpr KeyIndicator kRed = KeyIndicator::kRed;
constexpr KeyIndicator kGreen = KeyIndicator::kGreen;

// One notification of a scripted run and what it must send and show.
struct Step {
  double force;
  int ax;
  int ay;
  int az;
  Events expected;
  KeyIndicator indicator;
};

void runSteps(KeyTriggers& triggers, RecordingKeySink& sink, const std::vector<Step>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    SCOPED_TRACE("step " + std::to_string(i) + " force " + std::to_string(s.force));
    EXPECT_EQ(triggers.update(s.force, s.ax, s.ay, s.az), s.indicator);
    EXPECT_EQ(sink.take(), s.expected);
  }
}

TEST(KeyIndicator, RedUpToTheThresholdGreenAboveIt) {
  struct Case {
    double force;
    int threshold;
    KeyIndicator expected;
  };
  const Case cases[] = {
      {199.9, 200, kRed},   {200.0, 200, kRed}, {200.001, 200, kGreen}, {-5.0, 200, kRed},
      {250.0, 200, kGreen}, {0.0, 0, kRed},     {0.01, 0, kGreen},      {-0.01, 0, kRed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keyIndicatorFor(c.force, c.threshold), c.expected)
        << c.force << " against " << c.threshold;
  }
  EXPECT_EQ(windowsColour(kRed), 255u);
  EXPECT_EQ(windowsColour(kGreen), 65280u);
}

TEST(KeyTriggers, ForceEqualToThresholdHoldsTheState) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  runSteps(triggers, sink,
           {
               {100.0, 0, 0, 0, {}, kRed},
               {200.0, 0, 0, 0, {}, kRed},  // resting on the limit does not press
               {200.5, 0, 0, 0, {"down 39"}, kGreen},
               {200.0, 0, 0, 0, {}, kRed},  // a held key stays held on the limit
               {230.0, 0, 0, 0, {}, kGreen},
               {200.0, 0, 0, 0, {}, kRed},
               {199.5, 0, 0, 0, {"up 39"}, kRed},
               {200.0, 0, 0, 0, {}, kRed},
               {201.0, 0, 0, 0, {"down 39"}, kGreen},
           });
}

TEST(KeyTriggers, ThresholdZeroPressesOnAnyPositiveForceAndReleasesOnAnyNegative) {
  RecordingKeySink sink;
  KeyActivationValues values;
  values.forceThreshold = 0;
  values.forceKey = 32;
  KeyTriggers triggers(sink, values);
  triggers.setActive(true);
  runSteps(triggers, sink,
           {
               {0.0, 0, 0, 0, {}, kRed},
               {0.25, 0, 0, 0, {"down 32"}, kGreen},
               {0.0, 0, 0, 0, {}, kRed},
               {-0.25, 0, 0, 0, {"up 32"}, kRed},
               {0.0, 0, 0, 0, {}, kRed},
               {3.0, 0, 0, 0, {"down 32"}, kGreen},
           });
}

TEST(KeyTriggers, ActivationOffSendsNothingButStillColoursTheIndicators) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  ASSERT_FALSE(triggers.active());  // off at every start
  runSteps(triggers, sink,
           {
               {250.0, 9999, 9999, 9999, {}, kGreen},
               {0.0, -9999, -9999, -9999, {}, kRed},
               {201.0, 600, -600, 600, {}, kGreen},
               {-10.0, 0, 0, 0, {}, kRed},
           });
  EXPECT_EQ(triggers.heldCount(), 0);
}

TEST(KeyTriggers, DefaultValuesAreTheSettingsDefaults) {
  const KeyActivationValues v;
  EXPECT_EQ(v.forceThreshold, 200);
  EXPECT_EQ(v.forceKey, keyCodeForSelection(keySelectionIndexFromStored(38)));
  const AxisKeyValues axes[] = {v.x, v.y, v.z};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(axes[i].lowLimit, -500 - i);
    EXPECT_EQ(axes[i].highLimit, 500 + i);
    EXPECT_EQ(axes[i].lowKey, 1 + i);
    EXPECT_EQ(axes[i].highKey, 4 + i);
  }
}

TEST(KeyTriggers, DefaultAccelLimitsSendTheirKeysOnlyBeyondTheLimit) {
  struct Case {
    int ax, ay, az;
    Events expected;
  };
  const Case cases[] = {
      {500, 0, 0, {}},
      {501, 0, 0, {"down 4"}},
      {-500, 0, 0, {}},
      {-501, 0, 0, {"down 1"}},
      {0, 501, 0, {}},
      {0, 502, 0, {"down 5"}},
      {0, -501, 0, {}},
      {0, -502, 0, {"down 2"}},
      {0, 0, 502, {}},
      {0, 0, 503, {"down 6"}},
      {0, 0, -502, {}},
      {0, 0, -503, {"down 3"}},
      {501, -502, 503, {"down 4", "down 2", "down 6"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.ax) + "," + std::to_string(c.ay) + "," + std::to_string(c.az));
    RecordingKeySink sink;
    KeyTriggers triggers(sink);
    triggers.setActive(true);
    EXPECT_EQ(triggers.update(0.0, c.ax, c.ay, c.az), kRed);
    EXPECT_EQ(sink.take(), c.expected);
  }
}

// Drives one axis through high, back, low and back, the other two at rest.
TEST(KeyTriggers, EachAxisPressesAndReleasesItsHighAndLowKeys) {
  struct Case {
    const char* axis;
    int index;
    int lowKey, highKey;
  };
  const Case cases[] = {{"X", 0, 11, 14}, {"Y", 1, 12, 15}, {"Z", 2, 13, 16}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.axis);
    RecordingKeySink sink;
    KeyActivationValues values;
    AxisKeyValues* axes[] = {&values.x, &values.y, &values.z};
    *axes[c.index] = AxisKeyValues{-100, 200, static_cast<std::uint8_t>(c.lowKey),
                                   static_cast<std::uint8_t>(c.highKey)};
    KeyTriggers triggers(sink, values);
    triggers.setActive(true);
    const std::string down = "down ", up = "up ";
    const std::string high = std::to_string(c.highKey), low = std::to_string(c.lowKey);
    const struct {
      int value;
      Events expected;
    } script[] = {
        {0, {}},
        {200, {}},
        {201, {down + high}},
        {200, {}},
        {5000, {}},
        {199, {up + high}},
        {-100, {}},
        {-101, {down + low}},
        {-100, {}},
        {-99, {up + low}},
        // Jumps across both limits: the high trigger is evaluated before the low one.
        {300, {down + high}},
        {-300, {up + high, down + low}},
        {300, {down + high, up + low}},
    };
    for (const auto& s : script) {
      int accel[3] = {0, 0, 0};
      accel[c.index] = s.value;
      triggers.update(0.0, accel[0], accel[1], accel[2]);
      EXPECT_EQ(sink.take(), s.expected) << "value " << s.value;
    }
  }
}

TEST(KeyTriggers, TriggersRunInTheirOrderWithinOneNotification) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(250.0, 600, 600, 600);
  EXPECT_EQ(sink.take(), (Events{"down 39", "down 4", "down 5", "down 6"}));
  triggers.update(0.0, -600, -600, -600);
  EXPECT_EQ(sink.take(), (Events{"up 39", "up 4", "down 1", "up 5", "down 2", "up 6", "down 3"}));
}

TEST(KeyTriggers, AnotherSinkReleasesWhatTheOldOneHeldAndNullSendsNothing) {
  RecordingKeySink first;
  RecordingKeySink second;
  KeyTriggers triggers;
  triggers.setActive(true);
  triggers.update(250.0, 600, 0, 0);
  triggers.setSink(&first);
  EXPECT_TRUE(first.take().empty());
  triggers.update(250.0, 600, 0, 0);
  EXPECT_EQ(first.take(), (Events{"down 39", "down 4"})) << "pressed again where keys now go";
  triggers.setSink(&second);
  EXPECT_EQ(first.take(), (Events{"up 39", "up 4"})) << "no key stays down on the old sink";
  triggers.update(250.0, 600, 0, 0);
  EXPECT_EQ(second.take(), (Events{"down 39", "down 4"}));

  triggers.setSink(nullptr);
  EXPECT_EQ(second.take(), (Events{"up 39", "up 4"}));
  triggers.update(0.0, 0, 0, 0);
  triggers.update(250.0, 600, 0, 0);
  EXPECT_TRUE(first.take().empty());
  EXPECT_TRUE(second.take().empty());
}

TEST(KeyTriggers, NewKeyWhileHeldReleasesTheOldKeyThenPressesTheNewOne) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(210.0, 0, 0, 0);
  ASSERT_EQ(sink.take(), Events{"down 39"});

  KeyActivationValues values = triggers.values();
  values.forceKey = 32;
  triggers.applyValues(values);
  EXPECT_EQ(sink.take(), Events{"up 39"});
  EXPECT_FALSE(triggers.trigger(KeyTriggers::kForce).pressed);

  // The force is still above the threshold, so the next notification holds the new key.
  EXPECT_EQ(triggers.update(210.0, 0, 0, 0), kGreen);
  EXPECT_EQ(sink.take(), Events{"down 32"});
  triggers.update(150.0, 0, 0, 0);
  EXPECT_EQ(sink.take(), Events{"up 32"});
}

TEST(KeyTriggers, RefreshWithoutAKeyChangeKeepsTheKeyHeld) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(210.0, 501, 0, 0);
  ASSERT_EQ(sink.take(), (Events{"down 39", "down 4"}));

  // A new threshold or limit alone moves the point of release, nothing else.
  KeyActivationValues values = triggers.values();
  values.forceThreshold = 220;
  values.x.highLimit = 900;
  values.y.lowKey = 77;  // a key change of a trigger that holds nothing sends nothing
  triggers.applyValues(values);
  EXPECT_TRUE(sink.take().empty());
  EXPECT_EQ(triggers.heldCount(), 2);

  EXPECT_EQ(triggers.update(215.0, 600, 0, 0), kRed);
  EXPECT_EQ(sink.take(), (Events{"up 39", "up 4"}));
}

TEST(KeyTriggers, NewAxisKeyWhileHeldReleasesTheOldAxisKey) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(0.0, 0, 0, -700);
  ASSERT_EQ(sink.take(), Events{"down 3"});
  KeyActivationValues values = triggers.values();
  values.z.lowKey = 90;
  triggers.applyValues(values);
  EXPECT_EQ(sink.take(), Events{"up 3"});
  triggers.update(0.0, 0, 0, -700);
  EXPECT_EQ(sink.take(), Events{"down 90"});
}

TEST(KeyTriggers, ReleaseAllReleasesEveryHeldKeyOnceInOrder) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(240.0, 800, -800, 800);
  ASSERT_EQ(sink.take(), (Events{"down 39", "down 4", "down 2", "down 6"}));
  EXPECT_EQ(triggers.heldCount(), 4);

  triggers.releaseAll();
  EXPECT_EQ(sink.take(), (Events{"up 39", "up 4", "up 2", "up 6"}));
  EXPECT_EQ(triggers.heldCount(), 0);

  triggers.releaseAll();
  EXPECT_TRUE(sink.take().empty());

  // Still active, so values still beyond their limits take their keys again.
  triggers.update(240.0, 800, -800, 0);
  EXPECT_EQ(sink.take(), (Events{"down 39", "down 4", "down 2"}));
}

TEST(KeyTriggers, SwitchingActivationOffReleasesHeldKeysAndOnAgainRepresses) {
  RecordingKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(240.0, 0, 0, -900);
  ASSERT_EQ(sink.take(), (Events{"down 39", "down 3"}));

  triggers.setActive(false);
  EXPECT_EQ(sink.take(), (Events{"up 39", "up 3"}));
  EXPECT_EQ(triggers.update(240.0, 0, 0, -900), kGreen);
  EXPECT_TRUE(sink.take().empty());

  triggers.setActive(true);
  EXPECT_TRUE(sink.take().empty());
  triggers.update(240.0, 0, 0, -900);
  EXPECT_EQ(sink.take(), (Events{"down 39", "down 3"}));
}

// Whatever the values do, each key alternates down and up starting with down, and a trigger's
// flag says whether its last event was a press.
TEST(KeyTriggers, RandomRunsNeverRepeatAKeyOrReleaseAnUnheldOne) {
  RecordingKeySink sink;
  KeyActivationValues values;
  values.forceThreshold = 50;
  values.forceKey = 10;
  values.x = {-20, 20, 21, 22};
  values.y = {-20, 20, 31, 32};
  values.z = {-20, 20, 41, 42};
  KeyTriggers triggers(sink, values);
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> accel(-30, 30);
  std::uniform_int_distribution<int> force(40, 60);
  std::uniform_int_distribution<int> action(0, 99);
  std::map<int, bool> down;
  for (int i = 0; i < 20000; ++i) {
    const int a = action(rng);
    if (a == 0) {
      triggers.setActive(!triggers.active());
    } else if (a == 1) {
      triggers.releaseAll();
    } else {
      triggers.update(force(rng) + 0.5 * (i % 3 - 1), accel(rng), accel(rng), accel(rng));
    }
    for (const std::string& e : sink.take()) {
      const bool isDown = e.rfind("down ", 0) == 0;
      const int key = std::stoi(e.substr(isDown ? 5 : 3));
      ASSERT_NE(down[key], isDown) << "step " << i << ": " << e;
      down[key] = isDown;
    }
    ASSERT_EQ(down[10], triggers.trigger(KeyTriggers::kForce).pressed);
    ASSERT_EQ(down[22], triggers.trigger(KeyTriggers::kXHigh).pressed);
    ASSERT_EQ(down[21], triggers.trigger(KeyTriggers::kXLow).pressed);
    ASSERT_EQ(down[42], triggers.trigger(KeyTriggers::kZHigh).pressed);
  }
}

TEST(KeyTriggers, ANotificationAllocatesNothing) {
  NullKeySink sink;
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  const long before = gAllocations.load();
  for (int i = 0; i < 1000; ++i) {
    triggers.update((i % 50) * 10.0, (i % 7 - 3) * 300, (i % 5 - 2) * 400, (i % 3 - 1) * 600);
  }
  triggers.releaseAll();
  EXPECT_EQ(gAllocations.load(), before);
}

TEST(KeyFields, KeyCodesKeepTheLowEightBits) {
  const struct {
    int field;
    int code;
  } cases[] = {{0, 0}, {39, 39}, {255, 255}, {256, 0}, {256 + 39, 39}, {-1, 255}, {-256, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(keyCodeFromField(c.field), c.code) << c.field;
  }
}

TEST(KeyFields, KeySelectionTableAndStoredIndex) {
  const int codes[] = {32, 38, 87, 13, 65, 83, 68, 40, 37, 39};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(keyCodeForSelection(i), codes[i]) << i;
  }
  EXPECT_EQ(keyCodeForSelection(-1), -1);
  EXPECT_EQ(keyCodeForSelection(10), -1);

  const struct {
    int stored;
    int index;
  } cases[] = {{38, 9}, {10, 9}, {9, 9}, {0, 0}, {4, 4}, {-1, -1}, {-2, -1}, {-1000, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(keySelectionIndexFromStored(c.stored), c.index) << c.stored;
  }
}

}  // namespace
}  // namespace kelvaro
