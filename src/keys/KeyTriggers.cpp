#include "keys/KeyTriggers.h"

#include <cmath>

namespace kelvaro {

namespace {

constexpr std::uint32_t kWindowsRed = 255;
constexpr std::uint32_t kWindowsGreen = 65280;

}  // namespace

void KeyTrigger::evaluate(double value, KeySink& sink) {
  const bool beyond = direction == KeyDirection::kAbove ? value > limit : value < limit;
  const bool back = direction == KeyDirection::kAbove ? value < limit : value > limit;
  if (!pressed && beyond) {
    pressed = true;
    sink.keyDown(key);
  } else if (pressed && back) {
    pressed = false;
    sink.keyUp(key);
  }
}

void KeyTrigger::release(KeySink& sink) {
  if (pressed) {
    pressed = false;
    sink.keyUp(key);
  }
}

KeyIndicator keyIndicatorFor(double force1Grams, std::int32_t forceThreshold) {
  return force1Grams <= forceThreshold ? KeyIndicator::kRed : KeyIndicator::kGreen;
}

std::uint32_t windowsColour(KeyIndicator indicator) {
  return indicator == KeyIndicator::kGreen ? kWindowsGreen : kWindowsRed;
}

std::uint8_t keyCodeFromField(int fieldValue) {
  return static_cast<std::uint8_t>(static_cast<unsigned>(fieldValue) & 0xFFu);
}

int keySelectionIndexFromStored(int storedIndex) {
  if (storedIndex > kKeySelectionCount - 1) {
    return kKeySelectionCount - 1;
  }
  return storedIndex < -1 ? -1 : storedIndex;
}

int keyCodeForSelection(int index) {
  if (index < 0 || index >= kKeySelectionCount) {
    return -1;
  }
  return kKeySelectionCodes[static_cast<std::size_t>(index)];
}

KeyTriggers::KeyTriggers(KeySink& sink, const KeyActivationValues& values) : KeyTriggers(values) {
  sink_ = &sink;
}

KeyTriggers::KeyTriggers(const KeyActivationValues& values) {
  triggers_[kForce].direction = KeyDirection::kAbove;
  triggers_[kXHigh].direction = KeyDirection::kAbove;
  triggers_[kXLow].direction = KeyDirection::kBelow;
  triggers_[kYHigh].direction = KeyDirection::kAbove;
  triggers_[kYLow].direction = KeyDirection::kBelow;
  triggers_[kZHigh].direction = KeyDirection::kAbove;
  triggers_[kZLow].direction = KeyDirection::kBelow;
  applyValues(values);
}

void KeyTriggers::setSink(KeySink* sink) {
  for (KeyTrigger& trigger : triggers_) trigger.release(*sink_);
  sink_ = sink != nullptr ? sink : &nowhere_;
}

void KeyTriggers::applyValue(Index index, std::int32_t limit, std::uint8_t key) {
  KeyTrigger& trigger = triggers_[index];
  if (trigger.key != key) {
    trigger.release(*sink_);
  }
  trigger.limit = limit;
  trigger.key = key;
}

void KeyTriggers::applyValues(const KeyActivationValues& values) {
  values_ = values;
  applyValue(kForce, values.forceThreshold, values.forceKey);
  applyValue(kXHigh, values.x.highLimit, values.x.highKey);
  applyValue(kXLow, values.x.lowLimit, values.x.lowKey);
  applyValue(kYHigh, values.y.highLimit, values.y.highKey);
  applyValue(kYLow, values.y.lowLimit, values.y.lowKey);
  applyValue(kZHigh, values.z.highLimit, values.z.highKey);
  applyValue(kZLow, values.z.lowLimit, values.z.lowKey);
}

void KeyTriggers::setActive(bool active) {
  active_ = active;
  if (!active) {
    releaseAll();
  }
}

KeyIndicator KeyTriggers::update(double force1Grams, int accelX, int accelY, int accelZ) {
  const KeyIndicator indicator = keyIndicatorFor(force1Grams, values_.forceThreshold);
  if (!active_) {
    return indicator;
  }
  triggers_[kForce].evaluate(force1Grams, *sink_);
  triggers_[kXHigh].evaluate(accelX, *sink_);
  triggers_[kXLow].evaluate(accelX, *sink_);
  triggers_[kYHigh].evaluate(accelY, *sink_);
  triggers_[kYLow].evaluate(accelY, *sink_);
  triggers_[kZHigh].evaluate(accelZ, *sink_);
  triggers_[kZLow].evaluate(accelZ, *sink_);
  return indicator;
}

void KeyTriggers::releaseAll() {
  for (KeyTrigger& trigger : triggers_) {
    trigger.release(*sink_);
  }
}

int KeyTriggers::heldCount() const {
  int held = 0;
  for (const KeyTrigger& trigger : triggers_) {
    held += trigger.pressed ? 1 : 0;
  }
  return held;
}

}  // namespace kelvaro
