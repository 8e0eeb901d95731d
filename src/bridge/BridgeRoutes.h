#pragma once

#include <QByteArray>
#include <cstdint>

namespace kelvaro {

class HttpRequestHead;
class OriginList;

// What a complete request head gets from the bridge.
enum class BridgeAnswer {
  Script,           // 200, the extension
  Page,             // 200, the short page at "/" that says how to load it
  Upgrade,          // the WebSocket at "/belt", from an allowed origin
  OriginRefused,    // 403: a WebSocket from a page not on the allow-list (or from no page)
  HostRefused,      // 403: addressed by a name that is not this computer's loopback
  NotFound,         // 404
  NotAllowed,       // 405: a method other than GET (or HEAD, but for the WebSocket)
  UpgradeRequired,  // 426: "/belt" without a WebSocket upgrade, or of another version
  BadRequest,       // 400: no Host, a body, an upgrade that lacks its key
};

struct BridgeRoute {
  BridgeAnswer answer = BridgeAnswer::BadRequest;
  bool headOnly = false;  // HEAD: the answer's head without its body
};

// The bridge serves nothing but the extension, the page at "/" and the WebSocket at "/belt",
// to requests addressed to this computer's loopback by name or address ("localhost",
// "127.0.0.1", "[::1]", with the port served or none): a page that renamed itself to reach the
// bridge (DNS rebinding) is refused whatever it asks for.
BridgeRoute routeRequest(const HttpRequestHead& head, const OriginList& origins,
                         std::uint16_t port);

// The status line's code and words of an answer.
int statusCode(BridgeAnswer answer);
QByteArray statusText(BridgeAnswer answer);

}  // namespace kelvaro
