#pragma once

#include <QByteArray>
#include <cstddef>

namespace kelvaro {

// The head of one HTTP/1.x request (request line and header fields, up to the empty line), read
// byte by byte as it arrives. It owns no input or output and never holds more than kMaxBytes:
// a head that grows past that is TooLarge, and bytes that cannot belong to an HTTP request (a
// method that is not upper-case letters, control characters, a bare line feed, a folded field,
// a second Host or Origin) make it Malformed at once, so a client that speaks something else
// is turned away on its first bytes. Only the fields the bridge looks at are kept.
class HttpRequestHead {
 public:
  static constexpr std::size_t kMaxBytes = 8 * 1024;
  static constexpr int kMaxTarget = 2048;
  static constexpr int kMaxMethod = 16;
  static constexpr int kMaxFields = 64;

  enum class State { Incomplete, Complete, Malformed, TooLarge };

  HttpRequestHead();

  // Takes bytes until the head is complete or refused; returns how many it took (bytes after
  // the head's end belong to what follows it and are left).
  std::size_t feed(const char* data, std::size_t size);
  State state() const { return state_; }
  // Bytes of the head taken so far, its final empty line included once complete.
  std::size_t size() const { return size_; }

  // Set once the request line has been read.
  const QByteArray& method() const { return method_; }
  const QByteArray& target() const { return target_; }
  // The target without its query ("/belt" of "/belt?x=1").
  QByteArray path() const;
  int minorVersion() const { return minor_; }  // HTTP/1.0 or HTTP/1.1

  // The fields' values, blanks around them removed; empty when the field was not sent.
  // Connection fields sent more than once are joined with ",".
  const QByteArray& host() const { return host_; }
  const QByteArray& origin() const { return origin_; }
  const QByteArray& upgrade() const { return upgrade_; }
  const QByteArray& connection() const { return connection_; }
  const QByteArray& webSocketKey() const { return webSocketKey_; }
  const QByteArray& webSocketVersion() const { return webSocketVersion_; }
  bool hasHost() const { return hasHost_; }
  bool hasOrigin() const { return hasOrigin_; }
  // A body was announced (a Content-Length other than 0, or a Transfer-Encoding).
  bool announcesBody() const { return announcesBody_; }

 private:
  bool take(char c);
  bool endLine();
  bool requestLine();
  bool fieldLine();
  void refuse() { state_ = State::Malformed; }

  State state_ = State::Incomplete;
  std::size_t size_ = 0;
  QByteArray line_;
  bool carriageReturn_ = false;
  bool haveRequestLine_ = false;
  int fields_ = 0;

  QByteArray method_;
  QByteArray target_;
  int minor_ = 1;
  QByteArray host_;
  QByteArray origin_;
  QByteArray upgrade_;
  QByteArray connection_;
  QByteArray webSocketKey_;
  QByteArray webSocketVersion_;
  bool hasHost_ = false;
  bool hasOrigin_ = false;
  bool hasUpgrade_ = false;
  bool hasKey_ = false;
  bool announcesBody_ = false;
};

}  // namespace kelvaro
