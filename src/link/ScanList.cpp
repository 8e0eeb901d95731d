#include "link/ScanList.h"

namespace kelvaro {

int ScanList::find(const DeviceAddress& address) const {
  for (int i = 0; i < count_; ++i) {
    if (entries_[i] == address) return i;
  }
  return -1;
}

int ScanList::add(const DeviceAddress& address) {
  if (full()) return -1;
  entries_[count_] = address;
  return count_++;
}

void ScanList::clear() {
  count_ = 0;
  overflowNoticed_ = false;
}

bool ScanList::takeOverflowNotice() {
  if (overflowNoticed_) return false;
  overflowNoticed_ = true;
  return true;
}

}  // namespace kelvaro
