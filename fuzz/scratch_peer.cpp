// Feeds arbitrary bytes from a Scratch peer to the Scratch client over a real loopback
// connection, in the pieces the first byte asks for, and runs the link test until every byte
// has been shown. The checks hold for any peer: each test shows a line of what arrived, in
// order, nothing is lost or made up, and the client stays connected.
#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "base/ConsoleLog.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "scratch/ScratchClient.h"
#include "scratch/SensorUpdate.h"

namespace {

using namespace kelvaro;

struct Rig {
  Rig() {
    static int argc = 1;
    static char name[] = "fuzz_scratch_peer";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QCoreApplication>(argc, argv);
    if (!server.listen(QHostAddress::LocalHost)) std::abort();
    client = std::make_unique<ScratchClient>(console, ticks, pump, server.serverPort());
    client->connectTo(QStringLiteral("127.0.0.1"));
    while (client->isConnecting() || !server.hasPendingConnections()) pump.waitForEvents(10);
    peer = server.nextPendingConnection();
    if (!client->isConnected() || peer == nullptr) std::abort();
  }

  std::unique_ptr<QCoreApplication> app;
  QTcpServer server;
  ConsoleLog console;
  SteadyTickSource ticks;
  QtEventPump pump;
  std::unique_ptr<ScratchClient> client;
  QTcpSocket* peer = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  if (size < 2) return 0;
  const std::size_t piece = std::max<std::size_t>(1, data[0]) * 8;
  const QByteArray sent(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  for (qsizetype at = 0; at < sent.size(); at += static_cast<qsizetype>(piece)) {
    rig.peer->write(sent.mid(at, static_cast<qsizetype>(piece)));
    rig.peer->flush();
  }

  // Each test shows what arrived since the last one, up to 1000 bytes of it.
  qsizetype shown = 0;
  while (shown < sent.size()) {
    rig.console.clear();
    rig.client->testLink();
    if (rig.console.count() != 2 || rig.console.lines()[1] != QStringLiteral("OK ")) std::abort();
    const QString line = rig.console.lines()[0];
    bool matched = false;
    for (qsizetype count = 1; count <= ScratchClient::kTestReceiveBytes; ++count) {
      if (shown + count > sent.size()) break;
      if (receivedDataLine(sent.mid(shown, count)) == line) {
        shown += count;
        matched = true;
        break;
      }
    }
    if (!matched) std::abort();
  }
  // The empty frames of the tests went the other way; the peer reads and drops them.
  rig.peer->readAll();
  if (!rig.client->isConnected()) std::abort();
  return 0;
}
