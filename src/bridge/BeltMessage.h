#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvaro {

// Where the last breath is: none seen since the belt connected, breathing in, breathing out.
enum class BreathPhase { Unknown, In, Out };

// What one message tells the editor: the values the Scratch 1.4 frame carries, under its sensor
// names, and the breathing and the belt's state beside them.
struct BeltReading {
  std::uint64_t sequence = 0;  // counts the messages of one run, from 1
  double force1 = 0.0;         // grams
  double force2 = 0.0;
  int accelX = 0;
  int accelY = 0;
  int accelZ = 0;
  std::optional<double> breathsPerMinute;  // none while the rate is "---"
  BreathPhase phase = BreathPhase::Unknown;
  bool apnea = false;
  double activity = 0.0;  // "Current Belt Activity"
  bool connected = false;
};

// The belt a message is about, as the JSON members that end the message:
//
//   ,"belt":1,"name":"Anna"
//
// its slot (0: the first belt, 1.. the further belts) and its short name, of at most
// kMaxNameUnits UTF-16 code units (a longer one is cut, a character never halved), escaped as
// JSON escapes a string, everything outside printable ASCII as \uXXXX. Made when a belt is
// named, so that a message only copies it. A label of no belt is empty.
class BeltLabel {
 public:
  static constexpr std::size_t kMaxNameUnits = 32;
  static constexpr std::size_t kCapacity = 32 + 6 * kMaxNameUnits;

  BeltLabel() = default;
  BeltLabel(int belt, std::u16string_view name);

  bool isEmpty() const { return size_ == 0; }
  std::string_view json() const { return {text_.data(), size_}; }

 private:
  void put(std::string_view s);

  std::array<char, kCapacity> text_{};
  std::size_t size_ = 0;
};

// One reading as a JSON object on one line, for example
//
//   {"n":7,"force":12.3,"force2":0.0,"GX":100,"GY":-5,"GZ":4000,"breathsPerMinute":15.2,
//    "phase":"in","apnea":false,"activity":3.25,"connected":true}
//
// Forces and the rate with one decimal, the activity with two, "." whatever the locale; no
// breathing rate is null, no phase yet is null; a value that is not a finite number is 0. The
// builder keeps its buffer: building allocates nothing. The bridge's messages end with the belt's
// label (BeltLabel) before the closing brace.
class BeltMessage {
 public:
  static constexpr std::size_t kCapacity = 320 + BeltLabel::kCapacity;

  void build(const BeltReading& reading);
  void build(const BeltReading& reading, const BeltLabel& belt);
  const char* data() const { return text_.data(); }
  std::size_t size() const { return size_; }
  std::string_view text() const { return {text_.data(), size_}; }

 private:
  void put(std::string_view s);
  void putFixed(double value, int decimals);
  void putInteger(long long value);

  std::array<char, kCapacity> text_{};
  std::size_t size_ = 0;
};

}  // namespace kelvaro
