#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "activity/ActivityMonitor.h"
#include "breathing/BreathDetector.h"
#include "keys/KeyTriggers.h"
#include "link/LinkGuard.h"
#include "measure/CalibrationFields.h"
#include "measure/LiveGraphModel.h"
#include "measure/MeasurementState.h"
#include "measure/Recorder.h"
#include "platform/AppendFile.h"

namespace kelvaro {

// What a belt's link guard has done, told with the belt it watches.
class BeltLinkActions {
 public:
  virtual ~BeltLinkActions() = default;
  virtual void beltLinkLost(int belt, const QString& deviceId, const QString& reason) = 0;
  virtual void beltLinkBack(int belt, const QString& deviceId) = 0;
  virtual bool beltReconnect(int belt, const QString& deviceId) = 0;
};

// One belt's measurement: everything the road of its notifications reads and changes, from its
// decoded values and calibration to its breathing, activity, recording, keys and the guard of its
// link. Belt 0 is the first belt (connection 0); the further belts each have the connection
// handle the dongle gave them. Nothing here is shared with another belt.
class BeltRoad final : private LinkGuardActions {
 public:
  BeltRoad(int index, const TickSource& ticks, ConsoleLog& console, BeltLinkActions& actions)
      : guard(ticks, console, *this), index_(index), actions_(actions) {}
  BeltRoad(const BeltRoad&) = delete;
  BeltRoad& operator=(const BeltRoad&) = delete;

  int index() const { return index_; }

  // The connection the dongle gave the belt; its notifications carry it.
  std::uint8_t handle = 0;
  // The belt's DeviceId (12 hexadecimal digits) and its short name; empty while none.
  QString deviceId;
  QString name;

  MeasurementState measurement;
  Calibration calibration;
  livegraph::LiveGraphModel graph;
  PosixAppendFile recordFile;
  Recorder recorder{recordFile};
  ActivityMonitor activity;
  BreathDetector breath;
  KeyTriggers keys;
  LinkGuard guard;

  // The notifications numbered as they come (from 1), and the one each slot of the sweep shows,
  // so that a breath confirmed later (a held one when it is breathed out) finds the slot of its
  // peak for as long as the sweep shows it, and none once the slot has been written again.
  std::uint64_t notifications = 0;
  std::array<std::uint64_t, livegraph::kPointCount> slotShows{};
  // The apnea under way: since when (the last breath's peak), and the latest notification's tick.
  bool apneaOpen = false;
  std::uint32_t apneaSince = 0;
  std::uint32_t lastNotificationTick = 0;

 private:
  void linkLost(const QString& id, const QString& reason) override {
    actions_.beltLinkLost(index_, id, reason);
  }
  void linkBack(const QString& id) override { actions_.beltLinkBack(index_, id); }
  bool reconnect(const QString& id) override { return actions_.beltReconnect(index_, id); }

  int index_;
  BeltLinkActions& actions_;
};

}  // namespace kelvaro
