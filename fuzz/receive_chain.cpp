// Feeds arbitrary bytes along the whole receive path: framer, dispatcher, scan list and the
// measurement decoder, as the program wires them. Every third input byte moves the clock, so
// time-outs, stale bytes in the receive buffer and a full scan list are all reachable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "measure/MeasurementDecoder.h"
#include "measure/MeasurementState.h"

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

class DecodingSink : public kelvaro::MeasurementSink {
 public:
  explicit DecodingSink(kelvaro::ConsoleLog& console) : console_(console) {}
  void handleMeasurementNotification(const kelvaro::BgapiPacket& packet) override {
    const auto out = kelvaro::handleMeasurementNotification(
        packet.payload.data(), packet.length, state_, calibration_, {log_, false}, console_);
    if (out.forceBarPosition < 0 || out.forceBarPosition > 250) std::abort();
    if (out.batteryShown && (out.batteryGauge < 0 || out.batteryGauge > 100)) std::abort();
    log_ = !log_;
  }

 private:
  kelvaro::ConsoleLog& console_;
  kelvaro::MeasurementState state_;
  kelvaro::Calibration calibration_;
  bool log_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvaro::ManualTickSource ticks(0x7FFFFF00u);
  kelvaro::ConsoleLog console;
  kelvaro::LinkState link;
  kelvaro::ScanList scanList;
  CountingScanView view;
  DecodingSink sink(console);
  kelvaro::Dispatcher dispatcher(link, scanList, console, view, sink);
  kelvaro::RxFramer framer(ticks, console, dispatcher);

  for (std::size_t i = 0; i < size; ++i) {
    if (i % 3 == 2) {
      ticks.advance(data[i] > 0xF0 ? 600u : data[i] & 0x0Fu);
      continue;
    }
    framer.FeedRxByte(data[i]);
    if (scanList.ScanCount() > 101) std::abort();
  }
  if (console.count() > 4 * static_cast<int>(size) + 4) std::abort();
  return 0;
}
