// Feeds arbitrary bytes to the bridge's request head, whole and in the pieces the first byte asks
// for, and routes what completes. The checks hold for any client: the pieces give the same head
// as the whole, no head grows past its bound, a refused head takes no more bytes, and every
// complete head gets one of the bridge's answers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "bridge/BridgeRoutes.h"
#include "bridge/HttpRequestHead.h"
#include "bridge/OriginList.h"

using namespace kelvaro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = std::size_t(data[0] % 16) + 1;
  const auto* bytes = reinterpret_cast<const char*>(data + 1);
  const std::size_t length = size - 1;

  HttpRequestHead whole;
  const std::size_t taken = whole.feed(bytes, length);
  if (taken > length || whole.size() > HttpRequestHead::kMaxBytes) std::abort();

  HttpRequestHead pieces;
  std::size_t at = 0;
  while (at < length && pieces.state() == HttpRequestHead::State::Incomplete) {
    const std::size_t n = piece < length - at ? piece : length - at;
    at += pieces.feed(bytes + at, n);
  }
  if (pieces.state() != whole.state() || pieces.size() != whole.size()) std::abort();
  if (whole.state() != HttpRequestHead::State::Incomplete && whole.feed("x", 1) != 0) std::abort();

  if (whole.state() == HttpRequestHead::State::Complete) {
    if (pieces.origin() != whole.origin() || pieces.target() != whole.target()) std::abort();
    static const OriginList origins = OriginList::parse(OriginList::defaultText(8000));
    const BridgeRoute route = routeRequest(whole, origins, 8000);
    const int code = statusCode(route.answer);
    if (code < 100 || code > 599 || statusText(route.answer).isEmpty()) std::abort();
    // Only an allowed origin is let through to the WebSocket.
    if (route.answer == BridgeAnswer::Upgrade && !origins.allows(whole.origin())) std::abort();
  }
  // Whatever the origins' text, parsing it and asking it never fails.
  const OriginList any = OriginList::parse(QString::fromLatin1(bytes, qsizetype(length)));
  (void)any.allows(QByteArray(bytes, qsizetype(length)));
  return 0;
}
