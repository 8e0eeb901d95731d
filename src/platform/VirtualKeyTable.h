#pragma once

#include <vector>

namespace kelvaro {

// One Windows virtual-key code and the key it stands for on Linux: the evdev KEY_* code the uinput
// keyboard sends and the X keysym whose keycode XTest presses (the unshifted symbol of a US
// layout).
struct VirtualKeyMapping {
  int virtualKey;
  int evdevCode;
  unsigned long keysym;
  const char* name;  // the Windows constant, for console lines
};

// Every virtual-key code that has a keyboard equivalent, ascending by code. Codes missing here
// (the mouse buttons 1..6 among them) send nothing.
const std::vector<VirtualKeyMapping>& virtualKeyTable();

// Null when the code has no keyboard equivalent.
const VirtualKeyMapping* findVirtualKey(int virtualKey);

}  // namespace kelvaro
