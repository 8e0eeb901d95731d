#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kelvaro {

// Where synthesised keys go: one call per press and one per release, with the Windows
// virtual-key code the settings store (0..255). The platform's injector maps the code to its own
// key names; tests record the calls.
class KeySink {
 public:
  virtual ~KeySink() = default;
  virtual void keyDown(int virtualKey) = 0;
  virtual void keyUp(int virtualKey) = 0;
};

// A sink that drops every key: for benchmarks, replays and a desktop without key injection.
class NullKeySink final : public KeySink {
 public:
  void keyDown(int) override {}
  void keyUp(int) override {}
};

enum class KeyDirection {
  kAbove,  // held while the value exceeds the limit
  kBelow,  // held while the value is under the limit
};

// One rule that holds a key while a value is beyond a limit. The limit itself holds the current
// state, so a value resting on it neither presses nor releases.
struct KeyTrigger {
  std::int32_t limit = 0;
  std::uint8_t key = 0;
  KeyDirection direction = KeyDirection::kAbove;
  bool pressed = false;

  // Sends at most one event: a press when the value crosses the limit outwards while not held,
  // a release when it crosses back while held.
  void evaluate(double value, KeySink& sink);
  // Lets go of the key if this trigger holds it.
  void release(KeySink& sink);
};

// One accelerometer axis's two limits (raw counts) and the keys they hold.
struct AxisKeyValues {
  std::int32_t lowLimit = 0;
  std::int32_t highLimit = 0;
  std::uint8_t lowKey = 0;
  std::uint8_t highKey = 0;
};

// The working copies of the fourteen key-activation fields; the defaults are what the settings
// file's defaults load to (KODF1 = 38 selects the last item, "Arrow Right ").
struct KeyActivationValues {
  std::int32_t forceThreshold = 200;  // grams; SpinEditF1, 0..250
  std::uint8_t forceKey = 39;         // SpinEditKeyF1
  AxisKeyValues x{-500, 500, 1, 4};   // SpinEditACLX, SpinEditACHX, SpinEditKeyLX, SpinEditKeyHX
  AxisKeyValues y{-501, 501, 2, 5};
  AxisKeyValues z{-502, 502, 3, 6};
};

// The colour of the key indicators Shape1 and Shape2.
enum class KeyIndicator { kRed, kGreen };

// Green exactly when the force is above the threshold, whether or not key activation is on.
KeyIndicator keyIndicatorFor(double force1Grams, std::int32_t forceThreshold);

// The indicator's fill as a Windows colour value (0x00BBGGRR): red 255, green 65280.
std::uint32_t windowsColour(KeyIndicator indicator);

// A key field's number as a key code: only its low 8 bits count.
std::uint8_t keyCodeFromField(int fieldValue);

// The items of "Key Selection" (RadioGroup1) and the virtual-key codes they select.
inline constexpr int kKeySelectionCount = 10;
inline constexpr std::array<std::uint8_t, kKeySelectionCount> kKeySelectionCodes{
    32, 38, 87, 13, 65, 83, 68, 40, 37, 39};

// The item a stored KODF1 selects: above the last item the last, below -1 the value -1 (nothing
// selected), else the value itself.
int keySelectionIndexFromStored(int storedIndex);

// The key code an item selects, or -1 when the index selects nothing.
int keyCodeForSelection(int index);

// The seven key triggers of the key activation and their working values. Holds no widget and
// allocates nothing per notification; the sink must outlive it (or be set back to null).
class KeyTriggers {
 public:
  // The triggers in their evaluation order.
  enum Index : std::size_t {
    kForce,
    kXHigh,
    kXLow,
    kYHigh,
    kYLow,
    kZHigh,
    kZLow,
    kTriggerCount,
  };

  explicit KeyTriggers(KeySink& sink, const KeyActivationValues& values = {});
  // Keys go nowhere until a sink is set.
  explicit KeyTriggers(const KeyActivationValues& values = {});

  // Where the presses and releases go from now on (nowhere while null). A key held on the old
  // sink is released there first, so that none stays down.
  void setSink(KeySink* sink);

  // Copies new working values into the triggers (the page's applyFields). A trigger whose key
  // code changes while it holds its key releases the old key first, so no key is left stuck; a
  // value still beyond its limit then presses the new key at the next notification.
  void applyValues(const KeyActivationValues& values);
  const KeyActivationValues& values() const { return values_; }

  // "Key Activation On/Off". Switching off releases every held key (see releaseAll).
  void setActive(bool active);
  bool active() const { return active_; }

  // One measurement notification (UpdateKeyActivation): decides the indicators' colour, then,
  // only while active, evaluates the seven triggers in order.
  KeyIndicator update(double force1Grams, int accelX, int accelY, int accelZ);

  // Releases every key a trigger holds, in evaluation order, and clears its flag. For switching
  // activation off, closing the window and termination: a key left down stays down on the desktop.
  void releaseAll();

  const KeyTrigger& trigger(Index index) const { return triggers_[index]; }
  // How many triggers hold their key now.
  int heldCount() const;

 private:
  void applyValue(Index index, std::int32_t limit, std::uint8_t key);

  NullKeySink nowhere_;
  KeySink* sink_ = &nowhere_;
  KeyActivationValues values_;
  bool active_ = false;
  std::array<KeyTrigger, kTriggerCount> triggers_{};
};

}  // namespace kelvaro
