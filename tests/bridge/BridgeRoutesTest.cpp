// What each request gets from the bridge.
#include <gtest/gtest.h>

#include <string>

#include "bridge/BridgeRoutes.h"
#include "bridge/HttpRequestHead.h"
#include "bridge/OriginList.h"

namespace kelvaro {
namespace {

const char* kUpgradeFields =
    "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";

TEST(BridgeRoutes, EachRequestGetsItsAnswer) {
  const OriginList origins = OriginList::parse(OriginList::defaultText(8000));
  const std::string upgrade = kUpgradeFields;
  const struct {
    const char* what;
    std::string request;
    BridgeAnswer answer;
    bool headOnly;
  } cases[] = {
      {"the extension", "GET /kelvaro-belt.js HTTP/1.1\r\nHost: localhost:8000\r\n",
       BridgeAnswer::Script, false},
      {"its head", "HEAD /kelvaro-belt.js?v=2 HTTP/1.1\r\nHost: 127.0.0.1:8000\r\n",
       BridgeAnswer::Script, true},
      {"the page", "GET / HTTP/1.1\r\nHost: [::1]:8000\r\n", BridgeAnswer::Page, false},
      {"HTTP/1.0 with a host", "GET / HTTP/1.0\r\nHost: localhost\r\n", BridgeAnswer::Page, false},
      {"the belt",
       "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\nOrigin: https://turbowarp.org\r\n" + upgrade,
       BridgeAnswer::Upgrade, false},
      {"the belt for the desktop editor",
       "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\nOrigin: tw-editor://.\r\n" + upgrade,
       BridgeAnswer::Upgrade, false},
      {"another page",
       "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\nOrigin: https://evil.example\r\n" + upgrade,
       BridgeAnswer::OriginRefused, false},
      {"no page", "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\n" + upgrade,
       BridgeAnswer::OriginRefused, false},
      {"the belt without an upgrade", "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\n",
       BridgeAnswer::UpgradeRequired, false},
      {"another WebSocket version",
       "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\nOrigin: https://turbowarp.org\r\n"
       "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 8\r\n"
       "Sec-WebSocket-Key: a\r\n",
       BridgeAnswer::UpgradeRequired, false},
      {"an upgrade without its key",
       "GET /belt HTTP/1.1\r\nHost: localhost:8000\r\nOrigin: https://turbowarp.org\r\n"
       "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n",
       BridgeAnswer::BadRequest, false},
      {"the belt over HTTP/1.0",
       "GET /belt HTTP/1.0\r\nHost: localhost:8000\r\nOrigin: https://turbowarp.org\r\n" + upgrade,
       BridgeAnswer::UpgradeRequired, false},
      {"a rebound name", "GET /kelvaro-belt.js HTTP/1.1\r\nHost: evil.example:8000\r\n",
       BridgeAnswer::HostRefused, false},
      {"another port", "GET / HTTP/1.1\r\nHost: localhost:9000\r\n", BridgeAnswer::HostRefused,
       false},
      {"no host", "GET / HTTP/1.1\r\n", BridgeAnswer::BadRequest, false},
      {"a body", "GET / HTTP/1.1\r\nHost: localhost\r\nContent-Length: 3\r\n",
       BridgeAnswer::BadRequest, false},
      {"a post", "POST /kelvaro-belt.js HTTP/1.1\r\nHost: localhost\r\n", BridgeAnswer::NotAllowed,
       false},
      {"a head of the belt", "HEAD /belt HTTP/1.1\r\nHost: localhost\r\n", BridgeAnswer::NotAllowed,
       false},
      {"anything else", "GET /etc/passwd HTTP/1.1\r\nHost: localhost\r\n", BridgeAnswer::NotFound,
       false},
      {"a file beside it", "GET /kelvaro-belt.json HTTP/1.1\r\nHost: localhost\r\n",
       BridgeAnswer::NotFound, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HttpRequestHead head;
    const std::string bytes = c.request + "\r\n";
    head.feed(bytes.data(), bytes.size());
    ASSERT_EQ(head.state(), HttpRequestHead::State::Complete);
    const BridgeRoute route = routeRequest(head, origins, 8000);
    EXPECT_EQ(route.answer, c.answer);
    EXPECT_EQ(route.headOnly, c.headOnly);
  }
}

TEST(BridgeRoutes, StatusLinesSayWhatTheyMean) {
  EXPECT_EQ(statusCode(BridgeAnswer::Script), 200);
  EXPECT_EQ(statusCode(BridgeAnswer::OriginRefused), 403);
  EXPECT_EQ(statusText(BridgeAnswer::OriginRefused), "Forbidden");
  EXPECT_EQ(statusCode(BridgeAnswer::HostRefused), 403);
  EXPECT_EQ(statusCode(BridgeAnswer::NotFound), 404);
  EXPECT_EQ(statusCode(BridgeAnswer::NotAllowed), 405);
  EXPECT_EQ(statusCode(BridgeAnswer::UpgradeRequired), 426);
  EXPECT_EQ(statusCode(BridgeAnswer::BadRequest), 400);
}

}  // namespace
}  // namespace kelvaro
