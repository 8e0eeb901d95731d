// The request head as the bridge reads it: whole, split at every byte, and every way a client
// that does not speak HTTP (or speaks too much of it) is refused.
#include <gtest/gtest.h>

#include <string>

#include "bridge/HttpRequestHead.h"

namespace kelvaro {
namespace {

using State = HttpRequestHead::State;

const std::string kUpgrade =
    "GET /belt?x=1 HTTP/1.1\r\n"
    "Host: localhost:8000\r\n"
    "Connection: keep-alive\r\n"
    "Connection: Upgrade\r\n"
    "Upgrade: websocket\r\n"
    "Origin:  https://turbowarp.org \r\n"
    "Sec-WebSocket-Version: 13\r\n"
    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
    "\r\n";

HttpRequestHead fed(const std::string& bytes) {
  HttpRequestHead head;
  head.feed(bytes.data(), bytes.size());
  return head;
}

TEST(HttpRequestHead, ReadsTheFieldsTheBridgeDecidesBy) {
  const HttpRequestHead head = fed(kUpgrade + "trailing bytes");
  ASSERT_EQ(head.state(), State::Complete);
  EXPECT_EQ(head.size(), kUpgrade.size()) << "what follows the head is not taken";
  EXPECT_EQ(head.method(), "GET");
  EXPECT_EQ(head.target(), "/belt?x=1");
  EXPECT_EQ(head.path(), "/belt");
  EXPECT_EQ(head.minorVersion(), 1);
  EXPECT_EQ(head.host(), "localhost:8000");
  EXPECT_EQ(head.origin(), "https://turbowarp.org");
  EXPECT_EQ(head.upgrade(), "websocket");
  EXPECT_EQ(head.connection(), "keep-alive,Upgrade");
  EXPECT_EQ(head.webSocketVersion(), "13");
  EXPECT_EQ(head.webSocketKey(), "dGhlIHNhbXBsZSBub25jZQ==");
  EXPECT_FALSE(head.announcesBody());
}

TEST(HttpRequestHead, ArrivingInAnyPiecesGivesTheSameHead) {
  for (std::size_t cut = 0; cut <= kUpgrade.size(); ++cut) {
    SCOPED_TRACE(cut);
    HttpRequestHead head;
    EXPECT_EQ(head.feed(kUpgrade.data(), cut), cut);
    if (cut < kUpgrade.size()) {
      EXPECT_EQ(head.state(), State::Incomplete);
    }
    head.feed(kUpgrade.data() + cut, kUpgrade.size() - cut);
    ASSERT_EQ(head.state(), State::Complete);
    EXPECT_EQ(head.origin(), "https://turbowarp.org");
    EXPECT_EQ(head.webSocketKey(), "dGhlIHNhbXBsZSBub25jZQ==");
  }
}

TEST(HttpRequestHead, RefusesWhatIsNotAnHttpRequest) {
  const struct {
    const char* what;
    std::string bytes;
    std::size_t refusedAfter;  // bytes taken when it was refused (0: whole)
  } cases[] = {
      {"TLS client hello", std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03", 11), 1},
      {"lower-case method", "get / HTTP/1.1\r\n\r\n", 1},
      {"a blank first", " GET / HTTP/1.1\r\n\r\n", 1},
      {"a method too long", "GETGETGETGETGETGETGET / HTTP/1.1\r\n\r\n", 17},
      {"Scratch 1.4's frame", std::string("\x00\x00\x00\x05hello", 9), 1},
      {"a bare line feed", "GET / HTTP/1.1\nHost: x\n\n", 15},
      {"a carriage return alone", "GET / HTTP/1.1\rHost: x\r\n\r\n", 16},
      {"no version", "GET /\r\n\r\n", 0},
      {"HTTP/2", "PRI * HTTP/2.0\r\n\r\nSM\r\n\r\n", 0},
      {"two blanks", "GET  / HTTP/1.1\r\n\r\n", 0},
      {"a blank in the target", "GET /a b HTTP/1.1\r\n\r\n", 0},
      {"a control character", "GET / HTTP/1.1\r\nHost: a\x01\r\n\r\n", 0},
      {"a folded field", "GET / HTTP/1.1\r\nHost: a\r\n  b\r\n\r\n", 0},
      {"a field without a colon", "GET / HTTP/1.1\r\nHost\r\n\r\n", 0},
      {"a blank in a field's name", "GET / HTTP/1.1\r\nHo st: a\r\n\r\n", 0},
      {"an empty field name", "GET / HTTP/1.1\r\n: a\r\n\r\n", 0},
      {"two Origins", "GET / HTTP/1.1\r\nOrigin: a\r\norigin: b\r\n\r\n", 0},
      {"two Hosts", "GET / HTTP/1.1\r\nHost: a\r\nHOST: b\r\n\r\n", 0},
      {"two keys", "GET / HTTP/1.1\r\nSec-WebSocket-Key: a\r\nSec-WebSocket-Key: b\r\n\r\n", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HttpRequestHead head;
    const std::size_t taken = head.feed(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(head.state(), State::Malformed);
    if (c.refusedAfter > 0) {
      EXPECT_EQ(taken, c.refusedAfter);
    }
    // Nothing more is taken once refused.
    EXPECT_EQ(head.feed("x", 1), 0u);
  }
}

TEST(HttpRequestHead, AHeadIsBoundedInSizeAndInFields) {
  std::string endless = "GET / HTTP/1.1\r\nX-Filler: ";
  endless.append(HttpRequestHead::kMaxBytes, 'a');
  HttpRequestHead head;
  EXPECT_EQ(head.feed(endless.data(), endless.size()), HttpRequestHead::kMaxBytes);
  EXPECT_EQ(head.state(), State::TooLarge);

  // Exactly the limit, its end included, is still a head.
  std::string full = "GET / HTTP/1.1\r\nX-Filler: ";
  full.append(HttpRequestHead::kMaxBytes - full.size() - 4, 'a');
  full += "\r\n\r\n";
  ASSERT_EQ(full.size(), HttpRequestHead::kMaxBytes);
  EXPECT_EQ(fed(full).state(), State::Complete);

  std::string many = "GET / HTTP/1.1\r\n";
  for (int i = 0; i <= HttpRequestHead::kMaxFields; ++i) many += "X: 1\r\n";
  EXPECT_EQ(fed(many + "\r\n").state(), State::Malformed);

  std::string longTarget =
      "GET /" + std::string(HttpRequestHead::kMaxTarget, 'a') + " HTTP/1.1\r\n";
  EXPECT_EQ(fed(longTarget + "\r\n").state(), State::Malformed);
}

TEST(HttpRequestHead, TellsABodyAndTheVersion) {
  EXPECT_TRUE(fed("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\n").announcesBody());
  EXPECT_TRUE(fed("GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n").announcesBody());
  EXPECT_FALSE(fed("GET / HTTP/1.1\r\nContent-Length: 0\r\n\r\n").announcesBody());
  const HttpRequestHead old = fed("GET / HTTP/1.0\r\n\r\n");
  EXPECT_EQ(old.state(), State::Complete);
  EXPECT_EQ(old.minorVersion(), 0);
  EXPECT_FALSE(old.hasHost());
  EXPECT_EQ(fed("GET / HTTP/1.1\r\nHost:\r\n\r\n").hasHost(), true);
}

}  // namespace
}  // namespace kelvaro
