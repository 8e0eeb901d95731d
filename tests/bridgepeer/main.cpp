// The bridge on the simulated belt, for the extension's test in Node: the simulated dongle and
// belt on a virtual clock that runs `--speed` times as fast as the wall clock, through the core's
// road to a bridge on the loopback interface. With --belts 2 or more, further simulated belts
// stream on the dongle's further connections, each attached to the core as a further belt and
// named "Belt2", "Belt3", ... Prints "port N" once it serves, then runs until it is terminated.
//
//   kelvaro-bridge-peer [--port N] [--speed K] [--scenario TIMELINE] [--belts N]
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "base/ConsoleLog.h"
#include "base/EventPump.h"
#include "breathing/BreathTestSupport.h"
#include "bridge/BeltBridge.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "platform/SerialTransport.h"

namespace kelvaro {
namespace {

class SimulatedBelt final : public breathtest::SimWire {
 public:
  explicit SimulatedBelt(const SimOptions& options)
      : SimWire(options),
        core_(ticks(), pump_, port_, scanView_, display_),
        bridge(core_.console(), core_) {
    core_.graph().createPoints();
    core_.addConsumer(bridge);
    connect();
    core_.linkConnected(dongle().beltDeviceId(0));
    for (int b = 1; b < options.belts; ++b) {
      const auto handle = static_cast<std::uint8_t>(b);
      connectFurther(b, handle);
      const QString id = dongle().beltDeviceId(b);
      const int slot = core_.attachBelt(id, handle);
      if (slot > 0) core_.setBeltName(slot, QStringLiteral("Belt%1").arg(b + 1));
    }
  }

 private:
  void arrived(const std::uint8_t* bytes, std::size_t size) override { core_.feed(bytes, size); }

  NoEventLoop pump_;
  NullSerialTransport port_;
  NullScanView scanView_;
  NullMonitorDisplay display_;
  MonitorCore core_;

 public:
  BeltBridge bridge;
};

}  // namespace
}  // namespace kelvaro

int main(int argc, char** argv) {
  using namespace kelvaro;
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("port"),
                                      QStringLiteral("N"), QStringLiteral("0"));
  const QCommandLineOption speedOption(QStringLiteral("speed"), QStringLiteral("speed"),
                                       QStringLiteral("K"), QStringLiteral("4"));
  const QCommandLineOption scenarioOption(QStringLiteral("scenario"), QStringLiteral("timeline"),
                                          QStringLiteral("TIMELINE"), QStringLiteral("breathing"));
  const QCommandLineOption beltsOption(QStringLiteral("belts"), QStringLiteral("belts"),
                                       QStringLiteral("N"), QStringLiteral("1"));
  parser.addOptions({portOption, speedOption, scenarioOption, beltsOption});
  parser.process(app);
  const auto timeline = ScenarioTimeline::parse(parser.value(scenarioOption));
  if (!timeline) {
    std::fprintf(stderr, "no such timeline\n");
    return 2;
  }
  SimOptions options = breathtest::world("breathing", 7);
  options.timeline = *timeline;
  options.belts = std::clamp(parser.value(beltsOption).toInt(), 1, MonitorCore::kMaxBelts);
  options.maxConnections = std::max(options.maxConnections, options.belts);
  SimulatedBelt belt(options);
  if (!belt.bridge.start(static_cast<std::uint16_t>(parser.value(portOption).toUInt()),
                         OriginList::parse(OriginList::defaultText(BeltBridge::kDefaultPort)))) {
    std::fprintf(stderr, "%s\n", qPrintable(belt.bridge.problem()));
    return 1;
  }
  std::printf("port %u\n", static_cast<unsigned>(belt.bridge.port()));
  std::fflush(stdout);
  const auto speed = static_cast<std::uint32_t>(std::max(1u, parser.value(speedOption).toUInt()));
  QTimer step;
  QObject::connect(&step, &QTimer::timeout, [&] { belt.run(10 * speed); });
  step.start(10);
  std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
  return app.exec();
}
