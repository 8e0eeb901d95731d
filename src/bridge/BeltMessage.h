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

// One reading as a JSON object on one line, for example
//
//   {"n":7,"force":12.3,"force2":0.0,"GX":100,"GY":-5,"GZ":4000,"breathsPerMinute":15.2,
//    "phase":"in","apnea":false,"activity":3.25,"connected":true}
//
// Forces and the rate with one decimal, the activity with two, "." whatever the locale; no
// breathing rate is null, no phase yet is null; a value that is not a finite number is 0. The
// builder keeps its buffer: building allocates nothing.
class BeltMessage {
 public:
  static constexpr std::size_t kCapacity = 320;

  void build(const BeltReading& reading);
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
