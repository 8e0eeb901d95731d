#include "link/ScanList.h"

#include "base/Formats.h"

namespace kelvaro {

QString DeviceId(const DeviceAddress& address) {
  QString text;
  text.reserve(2 * static_cast<int>(address.size()));
  for (auto it = address.rbegin(); it != address.rend(); ++it) text += fmt::hexByte(*it);
  return text;
}

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
