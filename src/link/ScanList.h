#pragma once

#include <array>
#include <cstdint>

#include "link/DeviceAddress.h"

namespace kelvaro {

// The devices heard during discovery, in the order they were first heard. A fixed array, so that
// scanning allocates nothing; entries are never removed one by one, only all at once.
class ScanList {
 public:
  static constexpr int kCapacity = 101;

  std::int32_t ScanCount() const { return count_; }
  bool full() const { return count_ >= kCapacity; }
  // Entry `index`, 0 <= index < ScanCount().
  const DeviceAddress& entry(int index) const { return entries_.at(index); }

  // Index of the entry equal to `address` in all six bytes, or -1.
  int find(const DeviceAddress& address) const;
  // Appends `address` and returns its index, or -1 when the list is full.
  int add(const DeviceAddress& address);
  void clear();

  // True the first time it is asked after the list was last emptied, false after that: an
  // overflow is reported once per full list instead of at every scan response that does not fit.
  bool takeOverflowNotice();

 private:
  std::array<DeviceAddress, kCapacity> entries_{};
  std::int32_t count_ = 0;
  bool overflowNoticed_ = false;
};

}  // namespace kelvaro
