#pragma once

#include <QObject>
#include <cstdint>

#include "scratch/ScratchClient.h"

namespace kelvaro {

class ConsoleLog;
class EventPump;
class TickSource;

class SpecSettingPage;

// The Scratch link's controls on "Spec. Setting": "TCP Connect" to the host in EditIP, "TCP
// Disconnect", "Send force" with SpinEdit1's value and "Test spoj". "TCP Connect" stays disabled
// while an attempt runs, "Test spoj" while the test waits for its answer.
class ScratchPanel : public QObject {
  Q_OBJECT

 public:
  ScratchPanel(SpecSettingPage& page, ConsoleLog& console, const TickSource& ticks, EventPump& pump,
               std::uint16_t port, QObject* parent = nullptr);

  ScratchClient& client() { return client_; }

 private:
  void showState();

  SpecSettingPage& page_;
  ScratchClient client_;
};

}  // namespace kelvaro
