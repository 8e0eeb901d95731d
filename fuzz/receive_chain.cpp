// Feeds arbitrary bytes along the whole receive path as the program wires it: the headless core's
// framer, dispatcher, scan list, decoder and the rest of the road of one measurement down to the
// live graph's model, with further belts behind the dispatcher. Every third input byte moves the
// clock (and looks at the further belts, or adds or disconnects one), so time-outs, stale bytes in
// the receive buffer, a full scan list and every phase of a further belt are all reachable; the
// log and freeze switches change as notifications arrive.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "link/Dispatcher.h"
#include "link/FurtherBelts.h"
#include "monitor/MonitorCore.h"
#include "platform/SerialTransport.h"

namespace {

class CountingScanView : public kelvaro::ScanView {
 public:
  void setDeviceIdText(const QString& id) override {
    if (id.size() != 12) std::abort();
  }
  void setRowCount(int rows) override {
    if (rows < 1 || rows > 102) std::abort();
    rows_ = rows;
  }
  void setRow(int row, const QString&, const QString&) override {
    if (row < 1 || row >= rows_) std::abort();
  }
  void setConnectButtonsEnabled(bool) override {}

 private:
  int rows_ = 1;
};

class CheckingDisplay : public kelvaro::MonitorDisplay {
 public:
  kelvaro::MonitorSwitches* switches = nullptr;
  void showReadings(const kelvaro::NotificationOutcome& out,
                    const kelvaro::MeasurementState&) override {
    if (out.forceBarPosition < 0 || out.forceBarPosition > 250) std::abort();
    if (out.batteryShown && (out.batteryGauge < 0 || out.batteryGauge > 100)) std::abort();
    ++shown_;
    switches->log = (shown_ & 1) != 0;
    switches->freeze = (shown_ % 7) == 3;
  }
  void samplePlotted(int slot) override {
    if (slot < 0 || slot > kelvaro::livegraph::kLastPoint) std::abort();
  }

 private:
  unsigned shown_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvaro::ManualTickSource ticks(0x7FFFFF00u);
  kelvaro::NoEventLoop pump;
  kelvaro::NullSerialTransport port;
  CountingScanView view;
  CheckingDisplay display;
  kelvaro::MonitorCore core(ticks, pump, port, view, display);
  display.switches = &core.switches();
  core.graph().createPoints();
  kelvaro::FurtherBelts belts(core.commands(), ticks, core.console());
  belts.setFirstBeltConnected(true, QStringLiteral("000780000000"));
  core.dispatcher().setFurtherBelts(&belts);

  for (std::size_t i = 0; i < size; ++i) {
    if (i % 3 == 2) {
      ticks.advance(data[i] > 0xF0 ? 600u : data[i] & 0x0Fu);
      belts.tick();
      if ((data[i] & 0x30) == 0x30) belts.add(QStringLiteral("00078000000%1").arg(data[i] & 7));
      if ((data[i] & 0x70) == 0x40) belts.disconnect(data[i] & 3);
      if (belts.streaming().size() >= kelvaro::FurtherBelts::kMaxBelts) std::abort();
      if (belts.msUntilDue().value_or(0) > 3000) std::abort();
      continue;
    }
    core.feed(&data[i], 1);
    if (core.scanList().ScanCount() > 101) std::abort();
    const int slot = core.graph().graphSlot();
    if (slot < 0 || slot > kelvaro::livegraph::kLastPoint) std::abort();
  }
  if (core.console().count() > 4 * static_cast<int>(size) + 4) std::abort();
  return 0;
}
