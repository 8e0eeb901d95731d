#include "platform/VirtualKeyTable.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <algorithm>

namespace kelvaro {

namespace {

std::vector<VirtualKeyMapping> buildTable() {
  std::vector<VirtualKeyMapping> t = {
      {0x08, KEY_BACKSPACE, XK_BackSpace, "VK_BACK"},
      {0x09, KEY_TAB, XK_Tab, "VK_TAB"},
      {0x0C, KEY_CLEAR, XK_Clear, "VK_CLEAR"},
      {0x0D, KEY_ENTER, XK_Return, "VK_RETURN"},
      {0x10, KEY_LEFTSHIFT, XK_Shift_L, "VK_SHIFT"},
      {0x11, KEY_LEFTCTRL, XK_Control_L, "VK_CONTROL"},
      {0x12, KEY_LEFTALT, XK_Alt_L, "VK_MENU"},
      {0x13, KEY_PAUSE, XK_Pause, "VK_PAUSE"},
      {0x14, KEY_CAPSLOCK, XK_Caps_Lock, "VK_CAPITAL"},
      {0x1B, KEY_ESC, XK_Escape, "VK_ESCAPE"},
      {0x20, KEY_SPACE, XK_space, "VK_SPACE"},
      {0x21, KEY_PAGEUP, XK_Page_Up, "VK_PRIOR"},
      {0x22, KEY_PAGEDOWN, XK_Page_Down, "VK_NEXT"},
      {0x23, KEY_END, XK_End, "VK_END"},
      {0x24, KEY_HOME, XK_Home, "VK_HOME"},
      {0x25, KEY_LEFT, XK_Left, "VK_LEFT"},
      {0x26, KEY_UP, XK_Up, "VK_UP"},
      {0x27, KEY_RIGHT, XK_Right, "VK_RIGHT"},
      {0x28, KEY_DOWN, XK_Down, "VK_DOWN"},
      {0x29, KEY_SELECT, XK_Select, "VK_SELECT"},
      {0x2C, KEY_SYSRQ, XK_Print, "VK_SNAPSHOT"},
      {0x2D, KEY_INSERT, XK_Insert, "VK_INSERT"},
      {0x2E, KEY_DELETE, XK_Delete, "VK_DELETE"},
      {0x2F, KEY_HELP, XK_Help, "VK_HELP"},
      {0x5B, KEY_LEFTMETA, XK_Super_L, "VK_LWIN"},
      {0x5C, KEY_RIGHTMETA, XK_Super_R, "VK_RWIN"},
      {0x5D, KEY_COMPOSE, XK_Menu, "VK_APPS"},
      {0x5F, KEY_SLEEP, XF86XK_Sleep, "VK_SLEEP"},
      {0x6A, KEY_KPASTERISK, XK_KP_Multiply, "VK_MULTIPLY"},
      {0x6B, KEY_KPPLUS, XK_KP_Add, "VK_ADD"},
      {0x6C, KEY_KPCOMMA, XK_KP_Separator, "VK_SEPARATOR"},
      {0x6D, KEY_KPMINUS, XK_KP_Subtract, "VK_SUBTRACT"},
      {0x6E, KEY_KPDOT, XK_KP_Decimal, "VK_DECIMAL"},
      {0x6F, KEY_KPSLASH, XK_KP_Divide, "VK_DIVIDE"},
      {0x90, KEY_NUMLOCK, XK_Num_Lock, "VK_NUMLOCK"},
      {0x91, KEY_SCROLLLOCK, XK_Scroll_Lock, "VK_SCROLL"},
      {0xA0, KEY_LEFTSHIFT, XK_Shift_L, "VK_LSHIFT"},
      {0xA1, KEY_RIGHTSHIFT, XK_Shift_R, "VK_RSHIFT"},
      {0xA2, KEY_LEFTCTRL, XK_Control_L, "VK_LCONTROL"},
      {0xA3, KEY_RIGHTCTRL, XK_Control_R, "VK_RCONTROL"},
      {0xA4, KEY_LEFTALT, XK_Alt_L, "VK_LMENU"},
      {0xA5, KEY_RIGHTALT, XK_Alt_R, "VK_RMENU"},
      {0xA6, KEY_BACK, XF86XK_Back, "VK_BROWSER_BACK"},
      {0xA7, KEY_FORWARD, XF86XK_Forward, "VK_BROWSER_FORWARD"},
      {0xA8, KEY_REFRESH, XF86XK_Refresh, "VK_BROWSER_REFRESH"},
      {0xA9, KEY_STOP, XF86XK_Stop, "VK_BROWSER_STOP"},
      {0xAA, KEY_SEARCH, XF86XK_Search, "VK_BROWSER_SEARCH"},
      {0xAB, KEY_BOOKMARKS, XF86XK_Favorites, "VK_BROWSER_FAVORITES"},
      {0xAC, KEY_HOMEPAGE, XF86XK_HomePage, "VK_BROWSER_HOME"},
      {0xAD, KEY_MUTE, XF86XK_AudioMute, "VK_VOLUME_MUTE"},
      {0xAE, KEY_VOLUMEDOWN, XF86XK_AudioLowerVolume, "VK_VOLUME_DOWN"},
      {0xAF, KEY_VOLUMEUP, XF86XK_AudioRaiseVolume, "VK_VOLUME_UP"},
      {0xB0, KEY_NEXTSONG, XF86XK_AudioNext, "VK_MEDIA_NEXT_TRACK"},
      {0xB1, KEY_PREVIOUSSONG, XF86XK_AudioPrev, "VK_MEDIA_PREV_TRACK"},
      {0xB2, KEY_STOPCD, XF86XK_AudioStop, "VK_MEDIA_STOP"},
      {0xB3, KEY_PLAYPAUSE, XF86XK_AudioPlay, "VK_MEDIA_PLAY_PAUSE"},
      {0xB4, KEY_MAIL, XF86XK_Mail, "VK_LAUNCH_MAIL"},
      {0xB5, KEY_MEDIA, XF86XK_AudioMedia, "VK_LAUNCH_MEDIA_SELECT"},
      {0xB6, KEY_PROG1, XF86XK_Launch0, "VK_LAUNCH_APP1"},
      {0xB7, KEY_CALC, XF86XK_Calculator, "VK_LAUNCH_APP2"},
      // The OEM codes name the keys of a US layout by their unshifted symbol.
      {0xBA, KEY_SEMICOLON, XK_semicolon, "VK_OEM_1"},
      {0xBB, KEY_EQUAL, XK_equal, "VK_OEM_PLUS"},
      {0xBC, KEY_COMMA, XK_comma, "VK_OEM_COMMA"},
      {0xBD, KEY_MINUS, XK_minus, "VK_OEM_MINUS"},
      {0xBE, KEY_DOT, XK_period, "VK_OEM_PERIOD"},
      {0xBF, KEY_SLASH, XK_slash, "VK_OEM_2"},
      {0xC0, KEY_GRAVE, XK_grave, "VK_OEM_3"},
      {0xDB, KEY_LEFTBRACE, XK_bracketleft, "VK_OEM_4"},
      {0xDC, KEY_BACKSLASH, XK_backslash, "VK_OEM_5"},
      {0xDD, KEY_RIGHTBRACE, XK_bracketright, "VK_OEM_6"},
      {0xDE, KEY_APOSTROPHE, XK_apostrophe, "VK_OEM_7"},
      {0xE2, KEY_102ND, XK_less, "VK_OEM_102"},
  };

  // Digits and letters: the evdev codes follow the keyboard rows, not the alphabet.
  static const char* const digitNames[] = {"VK_0", "VK_1", "VK_2", "VK_3", "VK_4",
                                           "VK_5", "VK_6", "VK_7", "VK_8", "VK_9"};
  static const int digitCodes[] = {KEY_0, KEY_1, KEY_2, KEY_3, KEY_4,
                                   KEY_5, KEY_6, KEY_7, KEY_8, KEY_9};
  for (int i = 0; i < 10; ++i) {
    t.push_back({0x30 + i, digitCodes[i], static_cast<unsigned long>(XK_0 + i), digitNames[i]});
  }
  static const char* const letterNames[] = {"VK_A", "VK_B", "VK_C", "VK_D", "VK_E", "VK_F", "VK_G",
                                            "VK_H", "VK_I", "VK_J", "VK_K", "VK_L", "VK_M", "VK_N",
                                            "VK_O", "VK_P", "VK_Q", "VK_R", "VK_S", "VK_T", "VK_U",
                                            "VK_V", "VK_W", "VK_X", "VK_Y", "VK_Z"};
  static const int letterCodes[] = {KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I,
                                    KEY_J, KEY_K, KEY_L, KEY_M, KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R,
                                    KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z};
  for (int i = 0; i < 26; ++i) {
    t.push_back({0x41 + i, letterCodes[i], static_cast<unsigned long>(XK_a + i), letterNames[i]});
  }
  static const char* const keypadNames[] = {"VK_NUMPAD0", "VK_NUMPAD1", "VK_NUMPAD2", "VK_NUMPAD3",
                                            "VK_NUMPAD4", "VK_NUMPAD5", "VK_NUMPAD6", "VK_NUMPAD7",
                                            "VK_NUMPAD8", "VK_NUMPAD9"};
  static const int keypadCodes[] = {KEY_KP0, KEY_KP1, KEY_KP2, KEY_KP3, KEY_KP4,
                                    KEY_KP5, KEY_KP6, KEY_KP7, KEY_KP8, KEY_KP9};
  for (int i = 0; i < 10; ++i) {
    t.push_back(
        {0x60 + i, keypadCodes[i], static_cast<unsigned long>(XK_KP_0 + i), keypadNames[i]});
  }
  static const char* const functionNames[] = {
      "VK_F1",  "VK_F2",  "VK_F3",  "VK_F4",  "VK_F5",  "VK_F6",  "VK_F7",  "VK_F8",
      "VK_F9",  "VK_F10", "VK_F11", "VK_F12", "VK_F13", "VK_F14", "VK_F15", "VK_F16",
      "VK_F17", "VK_F18", "VK_F19", "VK_F20", "VK_F21", "VK_F22", "VK_F23", "VK_F24"};
  static const int functionCodes[] = {KEY_F1,  KEY_F2,  KEY_F3,  KEY_F4,  KEY_F5,  KEY_F6,
                                      KEY_F7,  KEY_F8,  KEY_F9,  KEY_F10, KEY_F11, KEY_F12,
                                      KEY_F13, KEY_F14, KEY_F15, KEY_F16, KEY_F17, KEY_F18,
                                      KEY_F19, KEY_F20, KEY_F21, KEY_F22, KEY_F23, KEY_F24};
  for (int i = 0; i < 24; ++i) {
    t.push_back(
        {0x70 + i, functionCodes[i], static_cast<unsigned long>(XK_F1 + i), functionNames[i]});
  }

  std::sort(t.begin(), t.end(), [](const VirtualKeyMapping& a, const VirtualKeyMapping& b) {
    return a.virtualKey < b.virtualKey;
  });
  return t;
}

}  // namespace

const std::vector<VirtualKeyMapping>& virtualKeyTable() {
  static const std::vector<VirtualKeyMapping> table = buildTable();
  return table;
}

const VirtualKeyMapping* findVirtualKey(int virtualKey) {
  const auto& table = virtualKeyTable();
  auto it =
      std::lower_bound(table.begin(), table.end(), virtualKey,
                       [](const VirtualKeyMapping& m, int code) { return m.virtualKey < code; });
  return it != table.end() && it->virtualKey == virtualKey ? &*it : nullptr;
}

}  // namespace kelvaro
