#include <pulse/pulseaudio.h>

#include <chrono>
#include <cmath>

#include "platform/MasterVolume.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kConnectBudget = std::chrono::milliseconds(500);
constexpr auto kOperationBudget = std::chrono::milliseconds(250);
const char* const kDefaultSink = "@DEFAULT_SINK@";

// A private, non-threaded main loop iterated only while one of our requests is outstanding, so
// libpulse never runs a thread of its own and nothing outlives a call.
class PulseMasterVolume final : public MasterVolume {
 public:
  PulseMasterVolume() {
    loop_ = pa_mainloop_new();
    if (!loop_) return;
    context_ = pa_context_new(pa_mainloop_get_api(loop_), "KELVARO monitor");
    if (!context_) return;
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return;
    const auto deadline = Clock::now() + kConnectBudget;
    while (Clock::now() < deadline) {
      const auto state = pa_context_get_state(context_);
      if (state == PA_CONTEXT_READY) {
        ready_ = true;
        return;
      }
      if (!PA_CONTEXT_IS_GOOD(state)) return;
      iterate(deadline);
    }
  }

  ~PulseMasterVolume() override {
    if (context_) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
    if (loop_) pa_mainloop_free(loop_);
  }

  PulseMasterVolume(const PulseMasterVolume&) = delete;
  PulseMasterVolume& operator=(const PulseMasterVolume&) = delete;

  bool available() const override { return ready_; }

  std::optional<float> level() override {
    if (!ready_) return std::nullopt;
    SinkQuery query;
    if (!fetchSink(query)) return std::nullopt;
    // The loudest channel is what the desktop's slider shows and what pa_cvolume_scale in
    // setLevel() sets, so setLevel(level()) changes nothing even when the balance is uneven.
    return static_cast<float>(pa_cvolume_max(&query.volume)) / static_cast<float>(PA_VOLUME_NORM);
  }

  bool setLevel(float scalar) override {
    if (!ready_ || !std::isfinite(scalar)) return false;
    SinkQuery query;
    if (!fetchSink(query)) return false;
    const float clamped = scalar < 0.f ? 0.f : (scalar > 1.f ? 1.f : scalar);
    pa_cvolume volume = query.volume;
    pa_cvolume_scale(&volume, static_cast<pa_volume_t>(std::lround(clamped * PA_VOLUME_NORM)));
    bool success = false;
    auto* op = pa_context_set_sink_volume_by_name(
        context_, kDefaultSink, &volume,
        [](pa_context*, int ok, void* user) { *static_cast<bool*>(user) = ok != 0; }, &success);
    return wait(op) && success;
  }

 private:
  struct SinkQuery {
    pa_cvolume volume{};
    bool found = false;
  };

  bool fetchSink(SinkQuery& query) {
    auto* op = pa_context_get_sink_info_by_name(
        context_, kDefaultSink,
        [](pa_context*, const pa_sink_info* info, int eol, void* user) {
          auto* q = static_cast<SinkQuery*>(user);
          if (eol == 0 && info) {
            q->volume = info->volume;
            q->found = true;
          }
        },
        &query);
    return wait(op) && query.found && query.volume.channels > 0;
  }

  // Runs the loop until the operation is done, for at most the operation budget.
  bool wait(pa_operation* op) {
    if (!op) return false;
    const auto deadline = Clock::now() + kOperationBudget;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING && Clock::now() < deadline) {
      iterate(deadline);
    }
    const bool done = pa_operation_get_state(op) == PA_OPERATION_DONE;
    if (!done) pa_operation_cancel(op);
    pa_operation_unref(op);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) ready_ = false;
    return done;
  }

  void iterate(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    if (pa_mainloop_prepare(loop_, static_cast<int>(left.count())) < 0) return;
    if (pa_mainloop_poll(loop_) < 0) return;
    pa_mainloop_dispatch(loop_);
  }

  pa_mainloop* loop_ = nullptr;
  pa_context* context_ = nullptr;
  bool ready_ = false;
};

}  // namespace

std::unique_ptr<MasterVolume> openSystemMasterVolume() {
  auto pulse = std::make_unique<PulseMasterVolume>();
  if (pulse->available()) return pulse;
  return std::make_unique<NullMasterVolume>();
}

}  // namespace kelvaro
