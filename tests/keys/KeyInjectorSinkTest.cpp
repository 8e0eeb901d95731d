#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/KeyInjectorSink.h"
#include "support/RecordingKeyInjector.h"

namespace kelvaro {
namespace {

using testing::RecordingKeyInjector;

TEST(KeyInjectorSink, TriggersReachTheInjectorWithTheirVirtualKeyCodes) {
  RecordingKeyInjector injector;
  KeyInjectorSink sink(injector);
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(201.0, 0, -502, 0);
  triggers.setActive(false);
  EXPECT_EQ(injector.events, (QStringList{"down 39", "down 2", "up 39", "up 2"}));
}

}  // namespace
}  // namespace kelvaro
