#pragma once

namespace kelvaro {

// Writes key events in the kernel's input_event format to a file descriptor (a uinput device, or
// a pipe in the tests). Does not own the descriptor.
class UinputWriter {
 public:
  explicit UinputWriter(int fd) : fd_(fd) {}
  // One EV_KEY event (value 1 down, 0 up) and the SYN_REPORT that delivers it, in one write.
  // False when the write fails.
  bool writeKey(int evdevCode, bool down);
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace kelvaro
