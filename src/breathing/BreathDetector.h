#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace kelvaro {

namespace breathing {
// The apnea limit: a breath missing for longer than this raises the apnea state.
constexpr int kDefaultApneaSeconds = 10;  // the clinical definition of an apnea
constexpr int kMinApneaSeconds = 5;
constexpr int kMaxApneaSeconds = 60;
// The rate is the median of this many of the latest breath-to-breath intervals...
constexpr int kRateIntervals = 5;
// ... and is shown from this many breaths on, counted since the start or the last apnea.
constexpr int kRateMinBreaths = 3;
// Notifications further apart than this are a gap in the data: the filters start afresh and the
// time of the gap does not count towards an apnea.
constexpr std::uint32_t kGapMs = 2000;
// A second peak closer than this to the last breath belongs to that breath.
constexpr std::uint32_t kRefractoryMs = 1000;
}  // namespace breathing

// What one notification's force gives: the breath it confirmed, if any, and the state after it.
struct BreathUpdate {
  // A breath was confirmed by this sample. It peaked earlier: peakSamplesAgo samples before this
  // one (0 would be this one), at the notification time peakTickMs. The chart puts its mark there.
  bool breath = false;
  std::uint32_t peakTickMs = 0;
  std::uint32_t peakSamplesAgo = 0;

  std::uint64_t breaths = 0;            // breaths since the last reset
  std::optional<double> ratePerMinute;  // none: shown as "---"
  // Time with data since the last breath peaked (or since the data began, before the first); a
  // breath being held after breathing in peaked at its top.
  std::uint32_t msSinceBreath = 0;
  // No breath seen for longer than the limit. A breath is seen about a second after it peaked
  // (once breathing out is under way), so the state rises about a second after the limit has
  // passed since the last peak; msSinceBreath then says how long it really is.
  bool apnea = false;
  bool apneaBegan = false;  // ... from this sample on
  bool apneaEnded = false;  // this sample's breath ended an apnea
  // Breathing in: the band has risen from its last trough and not yet fallen from a peak (a breath
  // held after breathing in stays here). False while breathing out, and before the first trough.
  bool inhaling = false;
};

// Finds breaths in the force of channel 1 (grams, one value per decoded notification, with the
// notification's time) and derives the breathing rate and the apnea state.
//
// The force is freed of isolated spikes (a median of three), smoothed to the breathing band (three
// 180 ms low-passes, which take most of a motion burst's 1.5-3 Hz shaking out) and freed of its
// baseline (the band's 6 s mean, which follows posture and belt tension). A breath is a trough,
// a peak and the fall after it: the band must rise and then fall by a hysteresis that adapts to
// the breathing's own level (its mean deviation over the last seconds) and to the shaking of the
// moment (scaled to what of it the low-passes let through), with a small floor for a still belt.
// The mark is set back by the band's lag, so it sits where the force peaked. Every filter steps by
// the real time between notifications, so a changing rate or a lost notification bends nothing;
// the detector is made for about 4 to 40 breaths a minute.
//
// Breathing may stop at any point of a breath, and the chest then rests wherever it was: at the top
// of a breath held after breathing in as often as at the end of breathing out. The baseline, a
// mean, would creep towards where it rests, and the band freed of it would show a slow fall or
// rise that passes the hysteresis. So a rise or a fall counts only if the band itself moved by a
// share of the hysteresis too (a larger share once it has been quiet for a moment), and once the
// band has lain still (its range small against the latest breaths' depth for about a third of a
// breath) the baseline moves with it: the freed band stands still, nothing turns, and a slow drift
// of a resting chest is no breath. The stillness ends when the band moves as breathing does, even
// breathing grown much shallower: by a share of the depth within half a breath, or there and back
// within a breath; a rise or a fall is then measured from where the band rested. A breath held
// after breathing in (an inhale about as deep as the latest breaths, within an inhale's time of its
// trough) is counted when it is breathed out, but the apnea clock and msSinceBreath run from its
// top while it is held: its air went in there.
//
// Per sample the work is constant and nothing is allocated.
class BreathDetector {
 public:
  explicit BreathDetector(int apneaLimitSeconds = breathing::kDefaultApneaSeconds);

  // One decoded notification: its calibrated force 1 and the program's tick when it arrived.
  BreathUpdate addSample(double force1Grams, std::uint32_t tickMs);

  // No belt: forget the signal, the breaths, the rate and the apnea state.
  void reset();
  // The force's zero moved (a zeroing of the offsets): the filters start afresh at the next sample,
  // so the jump is not taken for a breath. Breaths, rate and the apnea clock carry on.
  void restartSignal();

  // Clamped to kMinApneaSeconds..kMaxApneaSeconds; takes effect at the next sample.
  void setApneaLimitSeconds(int seconds);
  int apneaLimitSeconds() const { return apneaLimitSeconds_; }

  std::uint64_t breaths() const { return breaths_; }
  std::optional<double> ratePerMinute() const { return rate_; }
  std::uint32_t msSinceBreath() const;
  bool apnea() const { return apnea_; }
  // Samples since the last reset.
  std::uint64_t samples() const { return samples_; }

 private:
  enum class Phase { SeekTrough, SeekPeak };

  // A sample as the detector remembers it.
  struct Moment {
    std::uint64_t sample = 0;
    std::uint32_t tick = 0;
    std::uint64_t ms = 0;  // observed time since the reset
  };
  // The smoothed band lags the force by about this much; a breath's mark is set back by it.
  static constexpr std::uint64_t kBandDelayMs = 500;
  // Moments kept for that, one per 20 ms at most: over a second at any rate.
  static constexpr std::size_t kHistory = 64;
  static constexpr std::uint64_t kHistoryStepMs = 20;

  void seed(double force);
  void filter(double x, std::uint32_t dtMs);
  void watchStillness(double dtMs);
  void detect(BreathUpdate& update);
  void turn(BreathUpdate& update);
  void findHeldTop();
  void countBreath(BreathUpdate& update, double depth, bool rested);
  void remember(const Moment& moment);
  void followDelayed();
  void pushInterval(std::uint32_t ms);
  void updateRate();

  int apneaLimitSeconds_;

  // Time.
  std::uint64_t samples_ = 0;
  bool haveTick_ = false;
  std::uint32_t lastTick_ = 0;
  std::uint64_t observedMs_ = 0;  // time with data since the reset, gaps left out

  // The median of three: the two samples before this one and their moments.
  bool restart_ = true;
  int filled_ = 0;  // samples since the restart, up to three
  bool seeded_ = false;
  double before1_ = 0.0, before2_ = 0.0;
  Moment centre_, newest_;  // of the sample the filters last took and of the one before this
  std::array<Moment, kHistory> history_{};
  std::size_t historyNext_ = 0, historyCount_ = 0;
  // The latest remembered moment at least the band's lag before the centre (the oldest while none
  // is that old), found by walking on from the last one: the mark of a peak at this sample.
  std::uint64_t delayedSlot_ = 0;  // counts every moment remembered; slot % kHistory in history_
  std::uint64_t remembered_ = 0;
  Moment delayed_;

  // Filters, and the shares of the last step (the next one is nearly always as long).
  double stepMs_ = -1.0, smoothShare_ = 0.0, envelopeShare_ = 0.0, fadeShare_ = 0.0;
  double smooth1_ = 0.0, smooth2_ = 0.0, smooth3_ = 0.0;  // the breathing band
  double baseline_ = 0.0;
  double shakeLow_ = 0.0;    // the high band's own low-pass, for a second high-pass
  double shaking_ = 0.0;     // mean of the high band, rising fast and falling slowly
  double levelMean_ = 0.0;   // the detrended band's mean
  double level_ = 0.0;       // its mean absolute deviation from that
  double baselineMs_ = 0.0;  // time the baseline has averaged since it was seeded
  double levelMs_ = 0.0;     // time the level has averaged since the reset
  double detrended_ = 0.0;
  // Stillness: the band's range over about the last half second (an envelope each way), how long
  // it has stayed small against the breathing's depth, and whether the band is taken as still.
  double bandHigh_ = 0.0, bandLow_ = 0.0;
  double quietMs_ = 0.0;
  bool still_ = false;
  bool restedSinceTurn_ = false;  // the band lay still since the last trough or peak
  // While still: time since it began, and the band's swings (up or down by a share of the depth
  // from where it turned), to tell a chest breathing shallowly from one lying still.
  double stillMs_ = 0.0;
  int swingDirection_ = 0;                   // 1 rising, -1 falling, 0 neither yet
  double swingHigh_ = 0.0, swingLow_ = 0.0;  // before the first move, and when they were
  double swingHighMs_ = 0.0, swingLowMs_ = 0.0;
  double swingFrom_ = 0.0, swingFromMs_ = 0.0;        // where the move under way turned
  double swingExtreme_ = 0.0, swingExtremeMs_ = 0.0;  // ... and how far it has gone
  double swingFade_ = 1.0;                            // how much of the depth a swing must still be

  // The breath being looked for.
  Phase phase_ = Phase::SeekTrough;
  // The lowest point while seeking a trough, the highest while seeking a peak (since the band last
  // lay still), and the band's own, the baseline left on.
  double extreme_ = 0.0;
  double bandExtreme_ = 0.0;
  double troughLevel_ = 0.0;    // the detrended trough this rise started from
  double topLevel_ = 0.0;       // ... and the highest it has reached since
  std::uint64_t troughMs_ = 0;  // observed time of the trough (the band's, not set back)
  bool deepInhale_ = false;     // this rise is a breath's: as deep, as soon after the trough
  // Observed time of the top of a breath being held after breathing in (0: none).
  std::uint64_t heldTopMs_ = 0;
  Moment peakMark_;  // where the force peaked: the highest point since the trough, set
                     // back by the band's lag

  // Breaths.
  std::uint64_t breaths_ = 0;
  bool anyBreath_ = false;
  std::uint64_t lastBreathMs_ = 0;  // observed time of the last breath's peak, or of the start
  std::uint64_t lastSeenMs_ = 0;    // ... and when it counts as seen (the apnea clock's start)
  double seenLagMs_ = 0.0;          // breaths are seen about this long after their peaks
  double depth_ = 0.0;              // trough to peak of the latest breaths, detrended
  double breathMs_ = 0.0;          // their length: the median interval when the rate was last shown
  std::uint64_t inhaleMs_ = 0;     // ... the longest inhale of one
  std::uint64_t heldLagMs_ = 0;    // a held breath is taken as seen this long after its top
  std::uint64_t apneaFromMs_ = 0;  // observed time the apnea began
  bool haveLastPeak_ = false;      // the last peak can start an interval (no gap, no apnea since)
  int runBreaths_ = 0;             // breaths since the start or the last apnea
  std::array<std::uint32_t, breathing::kRateIntervals> intervals_{};
  int intervalCount_ = 0;
  int intervalNext_ = 0;
  std::optional<double> rate_;
  bool apnea_ = false;
};

}  // namespace kelvaro
