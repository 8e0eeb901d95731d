#pragma once

#include <functional>

#include <QString>

#include "link/BgapiPacket.h"

namespace kelvaro {

class ConsoleLog;
class FurtherBelts;
struct LinkState;
class ScanList;

// What the dispatcher changes on the "Connection" page; the window implements it.
class ScanView {
 public:
  virtual ~ScanView() = default;
  // EditMac: overwritten by every scan response.
  virtual void setDeviceIdText(const QString& deviceId) = 0;
  // StringGridScan's row count, the heading row included.
  virtual void setRowCount(int rows) = 0;
  // Columns 2 ("Device ID") and 3 ("Signal [dB]") of grid row `row` (1 = first device).
  virtual void setRow(int row, const QString& deviceId, const QString& signal) = 0;
  // ButtonConnect and ButtonLastIDt2.
  virtual void setConnectButtonsEnabled(bool enabled) = 0;
};

// Receives every attribute-value event (the belt's notifications) in place in the receive
// buffer, whatever its length: payload bytes past packet.length are stale, so the sink checks the
// length before it decodes.
// A scan list nobody looks at.
class NullScanView final : public ScanView {
 public:
  void setDeviceIdText(const QString&) override {}
  void setRowCount(int) override {}
  void setRow(int, const QString&, const QString&) override {}
  void setConnectButtonsEnabled(bool) override {}
};

class MeasurementSink {
 public:
  virtual ~MeasurementSink() = default;
  virtual void handleMeasurementNotification(const BgapiPacket& packet) = 0;
};

// Turns the dongle's answers into LinkState flags, keeps the scan list and its grid, hands
// notifications on and traces every other packet. A packet shorter than the payload positions
// its branch reads gets the generic trace instead and changes nothing, so no decision is ever made
// from the stale bytes of an earlier packet.
//
// With further belts set, the answers go by connection handle: the connection-status,
// procedure-completed and disconnected events of a further belt's connection go to the further
// belts (not to LinkState, not to the disconnected handler), and so do the connect-direct response
// while a further belt awaits one and the system_get_connections response. Every packet is traced
// as before; notifications all go to the measurement sink, whatever their connection.
class Dispatcher final : public PacketSink {
 public:
  Dispatcher(LinkState& link, ScanList& scanList, ConsoleLog& console, ScanView& view,
             MeasurementSink& measurements);

  void dispatchPacket(const BgapiPacket& packet) override;

  // Told of every disconnected event (its reason code), which is traced all the same.
  void setDisconnectedHandler(std::function<void(std::uint16_t reason)> handler) {
    disconnected_ = std::move(handler);
  }
  // Null: everything goes to the first belt, as with one belt.
  void setFurtherBelts(FurtherBelts* furtherBelts) { furtherBelts_ = furtherBelts; }

 private:
  bool dispatchEvent(const BgapiPacket& packet);
  bool dispatchResponse(const BgapiPacket& packet);
  void scanResponse(const BgapiPacket& packet);
  // The connection is a further belt's.
  bool further(std::uint8_t handle) const;

  LinkState& link_;
  ScanList& scanList_;
  ConsoleLog& console_;
  ScanView& view_;
  MeasurementSink& measurements_;
  std::function<void(std::uint16_t)> disconnected_;
  FurtherBelts* furtherBelts_ = nullptr;
};

}  // namespace kelvaro
