#pragma once

#include <QString>
#include <cstdint>
#include <memory>

#include "sim/RecordedBelt.h"
#include "sim/SimOptions.h"

namespace kelvaro {

// How far a playback has got: the position on the recorded belt's streaming clock (within the
// current pass when it loops) and the whole length.
struct PlaybackProgress {
  std::uint64_t positionUs = 0;
  std::uint64_t durationUs = 0;
  std::uint64_t notifications = 0;  // sent so far, all passes
  bool finished = false;            // played to its end; the belt is out of reach for good
};

// "×1", "×0.5", "×10", "×flood": the speed as the status bar shows it.
QString playbackSpeedText(const PlaybackPace& pace);

// The recorded belt's events in order, on the belt's streaming clock scaled by the pace: the
// clock runs only while the belt streams (resume .. pause), so that what the program does in
// between (a reconnect) takes its own time and the belt goes on where it stopped. After the last
// event comes the end (the rest of the recording's streaming time), then the first event again
// when the playback loops.
class BeltPlayback {
 public:
  enum class Step { Notification, LinkLoss, End };
  struct Taken {
    Step step = Step::End;
    const RecordedBelt::Event* event = nullptr;  // Notification, LinkLoss
  };

  BeltPlayback(std::shared_ptr<const RecordedBelt> belt, const PlaybackPace& pace);

  const RecordedBelt& belt() const { return *belt_; }
  const PlaybackPace& pace() const { return pace_; }

  // The belt streams from nowNs on / stops streaming at nowNs.
  void resume(std::uint64_t nowNs);
  void pause(std::uint64_t nowNs);
  bool streaming() const { return streaming_; }
  // When the next step is due (while streaming; flood: as soon as the wire is free).
  std::uint64_t dueNs() const { return dueNs_; }
  // Takes the step that is due and schedules the next one.
  Taken take();
  bool finished() const { return finished_; }
  // The recorded duration `us` at the pace (0 at flood); kForever stays kForever.
  std::uint64_t paced(std::uint64_t us) const;

  PlaybackProgress progress() const;

 private:
  std::uint64_t nextAfterUs() const;

  std::shared_ptr<const RecordedBelt> belt_;
  PlaybackPace pace_;
  std::size_t next_ = 0;  // events().size(): the end is next
  bool streaming_ = false;
  bool finished_ = false;
  std::uint64_t dueNs_ = 0;
  std::uint64_t remainingNs_ = 0;  // while paused: what was left of the wait for the next step
  std::uint64_t positionUs_ = 0;
  std::uint64_t notifications_ = 0;
};

}  // namespace kelvaro
