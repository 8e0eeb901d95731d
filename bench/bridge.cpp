// The Scratch 3 bridge on the road: the simulated belt's notifications fed to the headless core
// with the bridge registered, editors on real loopback WebSockets.
//   - BM_NotificationToMessage: from the moment a notification's bytes reach the core to the
//     moment its message has arrived whole at an editor's socket, one notification at a time;
//     reports p50 and p99 in microseconds.
//   - BM_EditorsAtFlood/N: the core fed at the wire's flood (460.8 notifications a second) for
//     10 s with N editors reading in another process (so that their reading is not counted);
//     reports the CPU of this process as a share of one core, and the messages the editors got.
//     N = 0 is the road alone, for comparison.
// Run it with `bench_bridge`; the editors' process is this program, started with --editors.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "activity/ActivityMonitor.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "bridge/BeltBridge.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "platform/SerialTransport.h"
#include "sim/BeltModel.h"
#include "sim/Scenario.h"
#include "support/AllocationCount.h"
#include "support/NotificationPackets.h"

namespace {

using namespace kelvaro;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kNotificationBytes = 25;
constexpr double kFloodPerSecond = 460.8;

std::vector<std::uint8_t> recordedStream(int count) {
  BeltModel belt(1, 0);
  const ScenarioTimeline timeline = ScenarioTimeline::standard();
  std::vector<std::uint8_t> stream;
  BeltModel::Value value{};
  for (int i = 0; i < count; ++i) {
    belt.nextValue(timeline, value);
    const auto packet = kelvaro::testing::notificationPacket(value.data(), value.size());
    stream.insert(stream.end(), packet.begin(), packet.end());
  }
  return stream;
}

// An editor as a plain blocking socket: the handshake, then whole frames read as they come.
class RawEditor {
 public:
  explicit RawEditor(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    const std::string request =
        "GET /belt HTTP/1.1\r\nHost: localhost:" + std::to_string(port) +
        "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nOrigin: https://turbowarp.org\r\n\r\n";
    ok_ = ::send(fd_, request.data(), request.size(), 0) == ssize_t(request.size());
  }
  ~RawEditor() { ::close(fd_); }
  bool ok() const { return ok_; }
  int fd() const { return fd_; }

  // Takes what is waiting (without blocking when `waitMs` is 0); returns whole messages read.
  int take(int waitMs) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) return 0;
    char chunk[65536];
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n <= 0) {
      closed_ = n == 0;
      return 0;
    }
    buffer_.append(chunk, std::size_t(n));
    return frames();
  }
  bool closed() const { return closed_; }

 private:
  int frames() {
    int count = 0;
    if (!handshaken_) {
      const auto end = buffer_.find("\r\n\r\n");
      if (end == std::string::npos) return 0;
      buffer_.erase(0, end + 4);
      handshaken_ = true;
    }
    for (;;) {
      if (buffer_.size() < 2) break;
      std::size_t length = std::uint8_t(buffer_[1]) & 0x7F;
      std::size_t header = 2;
      if (length == 126) {
        if (buffer_.size() < 4) break;
        length = (std::size_t(std::uint8_t(buffer_[2])) << 8) | std::uint8_t(buffer_[3]);
        header = 4;
      }
      if (buffer_.size() < header + length) break;
      buffer_.erase(0, header + length);
      ++count;
    }
    return count;
  }

  int fd_ = -1;
  bool ok_ = false;
  bool handshaken_ = false;
  bool closed_ = false;
  std::string buffer_;
};

struct Rig {
  Rig() : core(ticks, pump, port, scanView, display), bridge(core.console(), core.activity()) {
    core.graph().createPoints();
    core.measurement().notificationCount = 100;  // past the zeroing: every notification plotted
    core.addConsumer(bridge);
    bridge.start(0, OriginList::parse(OriginList::defaultText(8000)));
  }
  void waitForEditors(int count) {
    QElapsedTimer clock;
    clock.start();
    while (bridge.editorCount() < count && clock.elapsed() < 5000) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  ManualTickSource ticks{1000};
  NoEventLoop pump;
  NullSerialTransport port;
  NullScanView scanView;
  NullMonitorDisplay display;
  MonitorCore core;
  BeltBridge bridge;
};

double percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const auto at = std::size_t(share * double(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

void BM_NotificationToMessage(benchmark::State& state) {
  static const std::vector<std::uint8_t> stream = recordedStream(2000);
  Rig rig;
  RawEditor editor(rig.bridge.port());
  rig.waitForEditors(1);
  // The greeting.
  while (editor.take(0) == 0) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  std::vector<double> micros;
  micros.reserve(stream.size() / kNotificationBytes);
  long allocations = 0;
  for (auto _ : state) {
    micros.clear();
    for (std::size_t at = 0; at < stream.size(); at += kNotificationBytes) {
      const auto start = Clock::now();
      const long before = allocationCount();
      rig.core.feed(stream.data() + at, kNotificationBytes);
      allocations += allocationCount() - before;
      // The message is handed to the system at once; the loop turns only if it was not.
      int got = editor.take(0);
      while (got == 0) {
        QCoreApplication::processEvents();
        got = editor.take(1);
      }
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      rig.ticks.advance(50);
    }
  }
  state.counters["p50_us"] = percentile(micros, 0.50);
  state.counters["p99_us"] = percentile(micros, 0.99);
  state.counters["max_us"] = percentile(micros, 1.0);
  state.counters["dropped"] = double(rig.bridge.droppedMessages());
  // The core's road and the bridge's message to one editor (Qt WebSockets frames each message).
  state.counters["allocs_per_notification"] = double(allocations) / double(micros.size());
}

double cpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void BM_EditorsAtFlood(benchmark::State& state) {
  const int editors = int(state.range(0));
  static const std::vector<std::uint8_t> stream = recordedStream(4608);
  Rig rig;
  QProcess readers;
  if (editors > 0) {
    readers.start(QCoreApplication::applicationFilePath(),
                  {QStringLiteral("--editors"), QString::number(editors),
                   QString::number(rig.bridge.port())});
    rig.waitForEditors(editors);
    if (rig.bridge.editorCount() != editors) {
      state.SkipWithError("the editors did not connect");
      return;
    }
  }
  double cpuShare = 0.0;
  for (auto _ : state) {
    QElapsedTimer clock;
    std::size_t fed = 0;
    const std::size_t total = stream.size() / kNotificationBytes;
    QTimer feeder;
    feeder.setTimerType(Qt::PreciseTimer);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
      const auto due = std::size_t(double(clock.elapsed()) * kFloodPerSecond / 1000.0);
      while (fed < due && fed < total) {
        rig.core.feed(stream.data() + fed * kNotificationBytes, kNotificationBytes);
        rig.ticks.advance(2);
        ++fed;
      }
      if (fed == total) QCoreApplication::exit();
    });
    const double cpuStart = cpuSeconds();
    clock.start();
    feeder.start(5);
    QCoreApplication::exec();
    feeder.stop();
    cpuShare = (cpuSeconds() - cpuStart) / (double(clock.elapsed()) / 1000.0);
  }
  rig.bridge.stop(false);
  int received = 0;
  if (editors > 0) {
    readers.waitForFinished(10000);
    received = QString::fromLatin1(readers.readAllStandardOutput()).trimmed().toInt();
  }
  state.counters["cpu_percent_of_a_core"] = cpuShare * 100.0;
  state.counters["messages_per_editor"] = editors > 0 ? double(received) / editors : 0.0;
  state.counters["dropped"] = double(rig.bridge.droppedMessages());
}

BENCHMARK(BM_NotificationToMessage)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorsAtFlood)->Arg(0)->Arg(3)->Iterations(1)->Unit(benchmark::kMillisecond);

// The editors' process: N editors that read everything until the bridge closes them, then the
// messages they got together on standard output.
int readEditors(int count, std::uint16_t port) {
  std::vector<std::unique_ptr<RawEditor>> editors;
  for (int i = 0; i < count; ++i) editors.push_back(std::make_unique<RawEditor>(port));
  int received = 0;
  std::vector<pollfd> fds;
  for (const auto& e : editors) fds.push_back({e->fd(), POLLIN, 0});
  for (;;) {
    if (::poll(fds.data(), fds.size(), 20000) <= 0) break;
    bool open = false;
    for (const auto& e : editors) {
      received += e->take(0);
      open = open || !e->closed();
    }
    if (!open) break;
  }
  std::printf("%d\n", received);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--editors") == 0) {
    return readEditors(std::atoi(argv[2]), std::uint16_t(std::atoi(argv[3])));
  }
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
