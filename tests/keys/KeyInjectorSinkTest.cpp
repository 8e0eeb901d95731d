#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/KeyInjectorSink.h"

namespace kelvaro {
namespace {

class RecordingInjector final : public KeyInjector {
 public:
  void keyDown(int virtualKey) override { events.push_back("down " + std::to_string(virtualKey)); }
  void keyUp(int virtualKey) override { events.push_back("up " + std::to_string(virtualKey)); }
  QString name() const override { return QStringLiteral("recording"); }
  std::vector<std::string> events;
};

TEST(KeyInjectorSink, TriggersReachTheInjectorWithTheirVirtualKeyCodes) {
  RecordingInjector injector;
  KeyInjectorSink sink(injector);
  KeyTriggers triggers(sink);
  triggers.setActive(true);
  triggers.update(201.0, 0, -502, 0);
  triggers.setActive(false);
  EXPECT_EQ(injector.events, (std::vector<std::string>{"down 39", "down 2", "up 39", "up 2"}));
}

}  // namespace
}  // namespace kelvaro
