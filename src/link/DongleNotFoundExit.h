#pragma once

#include <functional>

namespace kelvaro {

class ConsoleLog;
class SettingsFile;

// The end of a run without a dongle: the dialog that says what to check, then automatic port
// discovery switched off in the settings file at once, then the end of the process with the
// given code (4 nothing found, 2 the port does not open, 3 the dongle stopped answering). The
// normal close sequence is skipped, so AutoComPort is the only setting written.
class DongleNotFoundExit {
 public:
  // showDialog shows the dongle-not-found dialog modally and returns when it is closed.
  // endProcess ends the process with the code; the program's version does not return.
  using ShowDialog = std::function<void()>;
  using EndProcess = std::function<void(int exitCode)>;

  static constexpr int kNothingFound = 4;
  static constexpr int kOpenFailed = 2;
  static constexpr int kNoAnswer = 3;

  DongleNotFoundExit(SettingsFile& settings, ConsoleLog& console, ShowDialog showDialog,
                     EndProcess endProcess);

  void run(int exitCode);

 private:
  SettingsFile& settings_;
  ConsoleLog& console_;
  ShowDialog showDialog_;
  EndProcess endProcess_;
};

}  // namespace kelvaro
